#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The desktop shell's DDE conversation of the browser control ("ddeexec"):
// the names it answers to and the reading of a folder command such as
// [ViewFolder("C:\path", :1234:5678, 1)]. Linux has no DDE transport, so
// nothing here is ever reached by another program; the control keeps its
// EnableDDE switch off. Every routine is a pure function of its text: a
// command is hostile input.

// The seven names, each the default value of a key under the classes root.
struct TDDENames
{
    QString htmlApplication;   // htmlfile\shell\open\ddeexec\application
    QString htmlTopic;         // htmlfile\shell\open\ddeexec\topic
    QString folderApplication; // Folder\shell\open\ddeexec\application
    QString folderTopic;       // Folder\shell\open\ddeexec\topic
    QString openCommand;       // Folder\shell\open\ddeexec, cut to its command name
    QString exploreCommand;    // Folder\shell\explore\ddeexec, cut
    QString findCommand;       // Directory\shell\find\ddeexec, cut
};

// Reads the default value of a key below HKEY_CLASSES_ROOT; an empty text
// when the key is missing. May throw.
using TClassesRootReader = std::function<QString(const QString& key)>;

// Reads the seven names through `read`. A reader that throws leaves the
// names read so far and empty ones after; the exception goes no further.
// Returns whether every read went through.
bool ReadDDENames(const TClassesRootReader& read, TDDENames& names);
// The program's own names: the registry file keeps HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER only, so every name reads empty.
TDDENames ReadDDENames();

// "[Name(arguments)]" gives "Name": the text after the first "[" and before
// the first "(" after it. Without a "[" the result is empty.
QString DDECommandName(const QString& value);

enum class TDDECommandKind { None = 0, Open = 1, Explore = 2, Find = 3 };

// Which of the three folder commands `command` names (case-sensitive). An
// empty name matches nothing, so an unconfigured name never turns a command
// into an open, explore or find.
TDDECommandKind DDECommandKind(const QString& command, const TDDENames& names);

// The text between the first double quote and the next; false when it is
// empty (also when the second quote is missing).
bool DDECommandPath(const QString& command, QString& path);

// The show command: the first character after the second comma that is a
// sign or a digit, read as one digit; 1 when there is none or it is a sign.
int DDECommandShowCmd(const QString& command);

// Where a folder command says its item-ID list lies: after the first comma
// either ":handle:process" (a block of shared memory in another process)
// or a bare number (an address in this process). Both are numbers from a
// message: this program never maps, reads or frees memory because a
// message names it, so the list itself is always refused.
struct TDDEIDListSource
{
    enum Kind { None, SharedMemory, Address };
    Kind kind = None;
    qint64 first = 0;      // the handle or the address, as written
    qint64 second = 0;     // the process id; 0 for an address
    bool overflow = false; // a number too long to hold; read as 0
};
TDDEIDListSource DDECommandIDListSource(const QString& command);
// The item-ID list of a folder command: always empty (refused), whatever
// the text names. See TDDEIDListSource.
QByteArray DDECommandIDList(const QString& command);

// A command in the HTML mode: its text is the address, less a leading
// double-quoted part's quotes ("C:\a b.htm" -x gives C:\a b.htm).
QString DDEHtmlCommandURL(const QString& command);

// Reads a folder command: the kind, and only when it is not None, the path,
// the item-ID list (always empty: refused) and the show command.
TDDECommandKind ParseDDECommand(const QString& command, const TDDENames& names, QString& path,
                                QByteArray& idList, int& showCmd);
