#include "platform/IniFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Cp874.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

// ---- TCustomIniFile ----

int TCustomIniFile::ReadInteger(const QString& Section, const QString& Ident, int Default)
{
    bool ok = false;
    const int value = ReadString(Section, Ident, QString()).trimmed().toInt(&ok);
    return ok ? value : Default;
}

void TCustomIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value)
{
    WriteString(Section, Ident, QString::number(Value));
}

bool TCustomIniFile::ReadBool(const QString& Section, const QString& Ident, bool Default)
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value)
{
    WriteInteger(Section, Ident, Value ? 1 : 0);
}

// ---- IniDocument ----

IniDocument IniDocument::parse(const QByteArray& input)
{
    IniDocument doc;
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.prefix_ = bytes.left(3);
        bytes.remove(0, 3);
    }
    bool endSeen = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        // The line runs to the next CR or LF; CR LF is one line end.
        qsizetype stop = start;
        while (stop < bytes.size() && bytes.at(stop) != '\r' && bytes.at(stop) != '\n')
            ++stop;
        qsizetype next = stop;
        if (next < bytes.size())
            next += bytes.at(next) == '\r' && next + 1 < bytes.size() && bytes.at(next + 1) == '\n'
                        ? 2
                        : 1;
        Line line;
        line.text = Cp874::toUnicode(bytes.mid(start, stop - start));
        line.end = bytes.mid(stop, next - stop);
        if (!endSeen && !line.end.isEmpty()) {
            doc.eol_ = line.end; // new lines end as the first line does
            endSeen = true;
        }
        const QString t = line.text.trimmed();
        if (t.startsWith(u'[')) {
            const qsizetype close = t.indexOf(u']');
            if (close > 0) {
                line.kind = Line::Header;
                line.name = t.mid(1, close - 1).trimmed();
            }
        } else if (!t.isEmpty() && !t.startsWith(u';')) {
            const qsizetype eq = t.indexOf(u'=');
            if (eq > 0) {
                line.name = t.left(eq).trimmed();
                line.value = t.mid(eq + 1).trimmed();
                line.kind = line.name.isEmpty() ? Line::Other : Line::Entry;
            }
        }
        doc.lines_.append(std::move(line));
        start = next;
    }
    return doc;
}

QByteArray IniDocument::serialize() const
{
    QByteArray out = prefix_;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        out += Cp874::fromUnicode(line.text);
        // A last line without an end that lines now follow gets one.
        out += line.end.isEmpty() && i + 1 < lines_.size() ? eol_ : line.end;
    }
    return out;
}

IniDocument::Line IniDocument::newLine(Line::Kind kind, const QString& text,
                                       const QString& name) const
{
    Line line;
    line.kind = kind;
    line.text = text;
    line.name = name;
    line.end = eol_;
    return line;
}

qsizetype IniDocument::findEntry(const QString& section, const QString& ident) const
{
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Header)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Line::Entry && sameName(line.name, ident))
            return i;
    }
    return -1;
}

bool IniDocument::value(const QString& section, const QString& ident, QString* value) const
{
    const qsizetype i = findEntry(section.trimmed(), ident.trimmed());
    if (i < 0)
        return false;
    if (value)
        *value = lines_[i].value;
    return true;
}

void IniDocument::setValue(const QString& sectionName, const QString& identName,
                           const QString& value)
{
    const QString section = sectionName.trimmed();
    const QString ident = identName.trimmed();
    const qsizetype found = findEntry(section, ident);
    if (found >= 0) {
        // The first spelling and the line's own end stay.
        Line& line = lines_[found];
        line.text = line.name + u'=' + value;
        line.value = value.trimmed();
        return;
    }
    Line entry = newLine(Line::Entry, ident + u'=' + value, ident);
    entry.value = value.trimmed();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Line::Header || !sameName(lines_[i].name, section))
            continue;
        // After the section's last line that is not blank.
        qsizetype last = i;
        for (qsizetype j = i + 1; j < lines_.size() && lines_[j].kind != Line::Header; ++j)
            if (!lines_[j].text.trimmed().isEmpty())
                last = j;
        lines_.insert(last + 1, entry);
        return;
    }
    if (!lines_.isEmpty() && !lines_.last().text.trimmed().isEmpty())
        lines_.append(newLine(Line::Other, QString()));
    lines_.append(newLine(Line::Header, u'[' + section + u']', section));
    lines_.append(entry);
}

void IniDocument::eraseSection(const QString& sectionName)
{
    const QString section = sectionName.trimmed();
    bool inSection = false;
    QList<Line> kept;
    kept.reserve(lines_.size());
    for (Line& line : lines_) {
        if (line.kind == Line::Header)
            inSection = sameName(line.name, section);
        if (!inSection)
            kept.append(std::move(line));
    }
    lines_ = std::move(kept);
}

QStringList IniDocument::identifiers(const QString& sectionName) const
{
    const QString section = sectionName.trimmed();
    QStringList names;
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Line::Header)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Line::Entry &&
                 !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

bool IniDocument::hasSection(const QString& section) const
{
    return sections().contains(section.trimmed(), Qt::CaseInsensitive);
}

QStringList IniDocument::sections() const
{
    QStringList names;
    for (const Line& line : lines_)
        if (line.kind == Line::Header && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    return names;
}

void IniDocument::checkEntry(const QString& section, const QString& ident, const QString& value)
{
    const QString s = section.trimmed();
    const QString i = ident.trimmed();
    if (s.isEmpty() || hasLineBreak(s) || s.contains(u']'))
        throw EIniFileError("Ini file: unusable section name \"" + section.toStdString() + '"');
    if (i.isEmpty() || hasLineBreak(i) || i.contains(u'=') || i.startsWith(u'[') ||
        i.startsWith(u';'))
        throw EIniFileError("Ini file: unusable identifier \"" + ident.toStdString() +
                            "\" in section [" + s.toStdString() + ']');
    if (hasLineBreak(value))
        throw EIniFileError("Ini file: the value of \"" + i.toStdString() + "\" in section [" +
                            s.toStdString() + "] holds a line break");
}

// ---- TIniFile ----

TIniFile::TIniFile(const QString& FileName) : fileName_(FileName)
{
    const QFileInfo info(fileName_);
    if (!info.exists() && !info.isSymLink())
        return; // a new file
    QFile file(fileName_);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        readable_ = false;
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        readable_ = false;
        return;
    }
    document_ = IniDocument::parse(bytes);
}

QString TIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default)
{
    QString value;
    return document_.value(Section, Ident, &value) ? unquoted(value) : Default;
}

void TIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    IniDocument::checkEntry(Section, Ident, Value);
    document_.setValue(Section, Ident, Value);
    modified_ = true;
}

void TIniFile::EraseSection(const QString& Section)
{
    if (!document_.hasSection(Section))
        return;
    document_.eraseSection(Section);
    modified_ = true;
}

QStringList TIniFile::ReadSection(const QString& Section)
{
    return document_.identifiers(Section);
}

bool TIniFile::SectionExists(const QString& Section)
{
    return document_.hasSection(Section);
}

void TIniFile::UpdateFile()
{
    if (!modified_)
        return;
    if (!readable_)
        throw EIniFileError("Ini file " + fileName_.toStdString() +
                            " could not be read, so it is not written over");
    mode_t mode = 0644;
    struct stat st
    {};
    if (::stat(QFile::encodeName(fileName_).constData(), &st) == 0)
        mode = st.st_mode & 07777;
    QString error;
    if (!AtomicFile::write(fileName_, document_.serialize(), mode, &error))
        throw EIniFileError("Ini file: " + error.toStdString());
    modified_ = false;
}

// ---- TRegIniFile ----

TRegIniFile::TRegIniFile(const QString& KeyPath, RegRoot Root, bool ReadOnly,
                         const QString& RegistryFile)
    : keyPath_(KeyPath), root_(Root), readOnly_(ReadOnly), registry_(RegistryFile)
{
    registry_.RootKey = Root;
}

QString TRegIniFile::sectionPath(const QString& section) const
{
    return u'\\' + keyPath_ + u'\\' + section;
}

namespace {

// Whether an erase of `erased` takes `section` with it (itself or a key
// below it).
bool covers(const QString& erased, const QString& section)
{
    return sameName(erased, section) || section.startsWith(erased + u'\\', Qt::CaseInsensitive);
}

} // namespace

const TRegIniFile::Change* TRegIniFile::pending(const QString& section, const QString& ident) const
{
    for (qsizetype i = changes_.size() - 1; i >= 0; --i) {
        const Change& c = changes_[i];
        if (c.erase ? covers(c.section, section)
                    : sameName(c.section, section) && sameName(c.ident, ident))
            return &c;
    }
    return nullptr;
}

bool TRegIniFile::pendingErase(const QString& section) const
{
    for (const Change& c : changes_)
        if (c.erase && covers(c.section, section))
            return true;
    return false;
}

void TRegIniFile::checkWritable() const
{
    if (readOnly_)
        throw EIniFileError("Registry key " + keyPath_.toStdString() +
                            " was opened for reading only");
}

QString TRegIniFile::ReadString(const QString& Section, const QString& Ident,
                                const QString& Default)
{
    if (const Change* c = pending(Section, Ident))
        return c->erase ? Default : c->integer ? QString::number(c->number) : c->text;
    if (!registry_.OpenKey(sectionPath(Section), false))
        return Default;
    QString result = Default;
    switch (registry_.GetDataType(Ident)) {
    case RegDataType::rdString:
        result = registry_.ReadString(Ident);
        break;
    case RegDataType::rdInteger:
        result = QString::number(registry_.ReadInteger(Ident));
        break;
    default:
        break;
    }
    registry_.CloseKey();
    return result;
}

int TRegIniFile::ReadInteger(const QString& Section, const QString& Ident, int Default)
{
    bool ok = false;
    if (const Change* c = pending(Section, Ident)) {
        if (c->erase)
            return Default;
        if (c->integer)
            return c->number;
        const int n = c->text.trimmed().toInt(&ok);
        return ok ? n : Default;
    }
    if (!registry_.OpenKey(sectionPath(Section), false))
        return Default;
    int result = Default;
    switch (registry_.GetDataType(Ident)) {
    case RegDataType::rdInteger:
        result = registry_.ReadInteger(Ident);
        break;
    case RegDataType::rdString: {
        const int n = registry_.ReadString(Ident).trimmed().toInt(&ok);
        if (ok)
            result = n;
        break;
    }
    default:
        break;
    }
    registry_.CloseKey();
    return result;
}

void TRegIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    checkWritable();
    Change c;
    c.section = Section;
    c.ident = Ident;
    c.text = Value;
    changes_.append(c);
}

void TRegIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value)
{
    checkWritable();
    Change c;
    c.section = Section;
    c.ident = Ident;
    c.integer = true;
    c.number = Value;
    changes_.append(c);
}

void TRegIniFile::EraseSection(const QString& Section)
{
    checkWritable();
    Change c;
    c.erase = true;
    c.section = Section;
    changes_.append(c);
}

QStringList TRegIniFile::ReadSection(const QString& Section)
{
    QStringList names;
    if (!pendingErase(Section) && registry_.OpenKey(sectionPath(Section), false)) {
        names = registry_.GetValueNames();
        registry_.CloseKey();
    }
    for (const Change& c : changes_) {
        if (c.erase && covers(c.section, Section))
            names.clear();
        else if (!c.erase && sameName(c.section, Section) &&
                 !names.contains(c.ident, Qt::CaseInsensitive))
            names.append(c.ident);
    }
    return names;
}

bool TRegIniFile::SectionExists(const QString& Section)
{
    for (qsizetype i = changes_.size() - 1; i >= 0; --i) {
        const Change& c = changes_[i];
        if (!c.erase && (sameName(c.section, Section) ||
                         c.section.startsWith(Section + u'\\', Qt::CaseInsensitive)))
            return true;
        if (c.erase && covers(c.section, Section))
            return false;
    }
    return registry_.KeyExists(sectionPath(Section));
}

void TRegIniFile::UpdateFile()
{
    if (changes_.isEmpty())
        return;
    checkWritable();
    // The changes in the order they were made, on the file as it is now,
    // in one replacement: a crash leaves the old values or the new ones,
    // never an erased section.
    const QStringList key = keyPath_.split(u'\\', Qt::SkipEmptyParts);
    const QList<Change> changes = changes_;
    const RegRoot root = root_;
    registry_.Update([&](RegistryStore& store) {
        for (const Change& c : changes) {
            const QStringList path = key + c.section.split(u'\\', Qt::SkipEmptyParts);
            if (c.erase) {
                store.remove(root, path);
                continue;
            }
            RegistryStore::Value value;
            value.name = c.ident;
            if (c.integer) {
                value.type = RegDataType::rdInteger;
                value.dword = quint32(c.number);
            } else {
                value.type = RegDataType::rdString;
                value.text = c.text;
            }
            RegistryStore::Key* target = store.create(root, path);
            if (RegistryStore::Value* existing = target->value(c.ident)) {
                value.name = existing->name; // the first spelling stays
                *existing = value;
            } else {
                target->values.append(value);
            }
        }
    });
    changes_.clear();
}
