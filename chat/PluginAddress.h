#pragma once

#include "chat/U_GlobalConfig.h"

#include <QByteArray>
#include <QString>

// The rules of the plug-in's exports that need no window: which addresses it
// claims, how an "irc:" address splits, the name it reports, and its DCC
// receive folder.
namespace Zentrel {

// True exactly when the address, upper-cased, holds "IRC:" anywhere.
bool ISNavigate(const QString& address);

struct TNavigateAddress
{
    bool Claimed = false; // false: no "irc:" in the address, nothing to do
    QString Nick;         // before "@" (empty: ask for one when joining)
    QString Server;       // the server box text: host, optionally ":" port
    QString Channel;      // after the first "#", without it, up to a comma, a
                          // blank or a control character (empty: none)
    QString Host;         // Server split as connecting does (SplitServerText)
    QString Port;         // empty when the server text names none
};
// Splits "irc:[nick@]server[#channel]", and the common form
// "irc://[nick@]host[:port]/#chan": the "//" after the scheme and a "/" at
// the end of the server text are dropped. Letter case is kept.
TNavigateAddress SplitNavigateAddress(const QString& address);

struct TServerText
{
    QString Host;          // the text before the first ":" (all of it without one)
    QString Port;          // after the ":", when it stands after the first character
                           // and before the last; otherwise the default port
    bool PortValid = true; // false when that port is not a number 1-65535
};
TServerText SplitServerText(const QString& serverText, const QString& defaultPort);

// The 32 bytes the Name export writes into the caller's buffer: the length
// byte 31, then "IRC Plugin 0.98 BETA (20010428)".
QByteArray PluginNameBytes();
void WritePluginName(unsigned char* buffer);

// The program folder + "DCCReceived".
QString DefaultDCCDirectory();
// When DCCDirectory is empty, it becomes the default and that folder is made
// (a failure is ignored); a folder from the registry is used unchanged.
void ApplyDCCDirectoryDefault(TZentrelSettings& settings);
// The folder received files go to: the DCCDirectory setting, or, when it
// has been emptied since (in the settings dialog), the default folder,
// made when missing; a relative setting is taken in the program folder.
// Never the file system's root or the current directory.
QString DccReceiveFolder(const TZentrelSettings& settings);

} // namespace Zentrel
