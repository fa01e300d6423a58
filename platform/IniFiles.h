#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

// Settings stores addressed by section and identifier: ini files of our own
// reading and writing, and the same interface over a registry key whose
// sub-keys are the sections and whose values are the identifiers.
//
// Both keep the changes of one use in memory and write them in one go with
// UpdateFile, so a section erased and written again is never seen erased.

class EIniFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TCustomIniFile
{
public:
    virtual ~TCustomIniFile() = default;

    virtual QString ReadString(const QString& Section, const QString& Ident,
                               const QString& Default) = 0;
    virtual void WriteString(const QString& Section, const QString& Ident,
                             const QString& Value) = 0;
    // A value that is not a decimal number reads as the default.
    virtual int ReadInteger(const QString& Section, const QString& Ident, int Default);
    virtual void WriteInteger(const QString& Section, const QString& Ident, int Value);
    // True for any non-zero number.
    bool ReadBool(const QString& Section, const QString& Ident, bool Default);
    void WriteBool(const QString& Section, const QString& Ident, bool Value);
    // Removes the section with all its values.
    virtual void EraseSection(const QString& Section) = 0;
    // The identifiers of the section, in stored order.
    virtual QStringList ReadSection(const QString& Section) = 0;
    virtual bool SectionExists(const QString& Section) = 0;
    // Writes what changed since the store was opened (nothing when nothing
    // did). Raises on failure; the stored copy then stays as it was.
    virtual void UpdateFile() = 0;
};

// The text of an ini file: sections in square brackets, "identifier=value"
// lines, everything else (comments, blank lines, lines of other programs)
// kept as it stands. Sections and identifiers compare without regard to
// case; where a file repeats a section, lookups go through its copies in
// file order and a new value joins the first. Lines end at CR LF, LF or a
// lone CR; lines that nothing changed are written back byte for byte, each
// with its own line end, and new lines take the first line's.
class IniDocument
{
public:
    // Text in code page 874; never fails.
    static IniDocument parse(const QByteArray& bytes);
    QByteArray serialize() const;

    // The raw value (trimmed, quotes kept); false when absent.
    bool value(const QString& section, const QString& ident, QString* value) const;
    void setValue(const QString& section, const QString& ident, const QString& value);
    void eraseSection(const QString& section);
    QStringList identifiers(const QString& section) const;
    bool hasSection(const QString& section) const;
    QStringList sections() const;

    // Raises EIniFileError for names and values that would not read back as
    // written: a line break anywhere, "]" in a section, "=" in an identifier,
    // or an identifier that reads as a section or a comment.
    static void checkEntry(const QString& section, const QString& ident, const QString& value);

private:
    struct Line
    {
        enum Kind { Other, Header, Entry } kind = Other;
        QString text; // as read, without its line end
        QString name; // section or identifier, trimmed
        QString value;
        QByteArray end; // its line end; none only on a last line without one
    };
    Line newLine(Line::Kind kind, const QString& text, const QString& name = {}) const;
    qsizetype findEntry(const QString& section, const QString& ident) const;

    QList<Line> lines_;
    QByteArray prefix_; // a byte-order mark, kept
    QByteArray eol_ = "\r\n";
};

// An ini file. The file is read when the object is made; an existing file
// that cannot be read is never written over. A name without a folder is
// taken as it is: callers resolve it first.
class TIniFile : public TCustomIniFile
{
public:
    explicit TIniFile(const QString& FileName);

    QString FileName() const { return fileName_; }
    // False when the file exists but could not be read.
    bool Readable() const { return readable_; }

    // Reading strips one pair of enclosing double quotes or apostrophes.
    QString ReadString(const QString& Section, const QString& Ident,
                       const QString& Default) override;
    // Raises EIniFileError for a value with a line break (IniDocument::checkEntry).
    void WriteString(const QString& Section, const QString& Ident, const QString& Value) override;
    void EraseSection(const QString& Section) override;
    QStringList ReadSection(const QString& Section) override;
    bool SectionExists(const QString& Section) override;
    // Replaces the file atomically when something changed.
    void UpdateFile() override;

private:
    QString fileName_;
    IniDocument document_;
    bool readable_ = true;
    bool modified_ = false;
};

// A registry key read and written like an ini file. Integers are DWORD
// values; strings and numbers read either way. Changes wait for UpdateFile,
// which carries them out in the order they were made in one replacement of
// the registry file, so a section erased and written again is never seen
// erased.
class TRegIniFile : public TCustomIniFile
{
public:
    // `readOnly` opens for reading only: nothing is created and UpdateFile
    // refuses changes.
    TRegIniFile(const QString& KeyPath, RegRoot Root, bool ReadOnly,
                const QString& RegistryFile = TRegistry::defaultFileName());

    QString KeyPath() const { return keyPath_; }
    RegRoot Root() const { return root_; }

    QString ReadString(const QString& Section, const QString& Ident,
                       const QString& Default) override;
    void WriteString(const QString& Section, const QString& Ident, const QString& Value) override;
    int ReadInteger(const QString& Section, const QString& Ident, int Default) override;
    void WriteInteger(const QString& Section, const QString& Ident, int Value) override;
    void EraseSection(const QString& Section) override;
    QStringList ReadSection(const QString& Section) override;
    bool SectionExists(const QString& Section) override;
    void UpdateFile() override;

private:
    struct Change
    {
        bool erase = false;
        QString section;
        QString ident;
        bool integer = false;
        QString text;
        int number = 0;
    };
    // The latest pending change for the value: a write, an erase of its
    // section, or null.
    const Change* pending(const QString& section, const QString& ident) const;
    bool pendingErase(const QString& section) const;
    QString sectionPath(const QString& section) const;
    void checkWritable() const;

    QString keyPath_;
    RegRoot root_;
    bool readOnly_;
    TRegistry registry_;
    QList<Change> changes_;
};
