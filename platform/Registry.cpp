#include "platform/Registry.h"

#include "platform/AtomicFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isHexDigit(QChar c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString escapeText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

// Reads a quoted text starting at `pos` (just after the opening quote);
// leaves `pos` after the closing quote. False when the text is not one the
// writer could have made (no closing quote, an unknown escape).
bool unescapeText(const QString& line, qsizetype& pos, QString& out)
{
    out.clear();
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        const QChar e = line[pos++];
        switch (e.unicode()) {
        case 'n':
            out += QChar('\n');
            break;
        case 'r':
            out += QChar('\r');
            break;
        case 't':
            out += QChar('\t');
            break;
        case '\\':
        case '"':
            out += e;
            break;
        case 'x': {
            bool ok = false;
            const QStringView hex = QStringView(line).mid(pos, 2);
            const int code = hex.size() == 2 ? hex.toInt(&ok, 16) : 0;
            if (!ok || !isHexDigit(hex[0]) || !isHexDigit(hex[1]))
                return false;
            out += QChar(code);
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool isHexText(QStringView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    for (QChar c : text)
        if (!isHexDigit(c))
            return false;
    return true;
}

// A value line as the writer writes it, or nothing. `named` tells whether
// the line at least began with a name and "=".
std::optional<RegistryStore::Value> parseValueLine(const QString& line, QString* name, bool* named)
{
    *named = false;
    RegistryStore::Value v;
    qsizetype pos = 0;
    if (line.startsWith('@')) {
        pos = 1;
    } else if (line.startsWith('"')) {
        pos = 1;
        if (!unescapeText(line, pos, v.name))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (pos >= line.size() || line[pos] != '=')
        return std::nullopt;
    *name = v.name;
    *named = true;
    const QStringView data = QStringView(line).mid(pos + 1);
    if (data.startsWith('"')) {
        qsizetype p = 1;
        const QString text = data.toString();
        if (!unescapeText(text, p, v.text) || p != text.size())
            return std::nullopt;
        v.type = RegDataType::rdString;
    } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        if (!isHexText(data.mid(6), 8))
            return std::nullopt;
        v.dword = data.mid(6).toUInt(nullptr, 16);
        v.type = RegDataType::rdInteger;
    } else if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
        const QStringView bytes = data.mid(4);
        if (!bytes.isEmpty()) {
            for (QStringView pair : bytes.split(u',')) {
                if (pair.size() != 2 || !isHexText(pair, 2))
                    return std::nullopt;
                v.binary.append(char(pair.toUInt(nullptr, 16)));
            }
        }
        v.type = RegDataType::rdBinary;
    } else {
        return std::nullopt;
    }
    return v;
}

// The line as text when it is valid UTF-8 (and reads back the same).
std::optional<QString> utf8Line(QByteArrayView line)
{
    const QString text = QString::fromUtf8(line);
    if (text.toUtf8() != line)
        return std::nullopt;
    return text;
}

void serializeKey(QByteArray& out, const RegistryStore::Key& key, const QString& path)
{
    out += '[' + path.toUtf8() + "]\n";
    for (const auto& v : key.values) {
        if (!v.raw.isEmpty()) {
            out += v.raw + '\n';
            continue;
        }
        out += v.name.isEmpty() ? QByteArray("@") : '"' + escapeText(v.name).toUtf8() + '"';
        out += '=';
        switch (v.type) {
        case RegDataType::rdInteger:
            out += "dword:" + QByteArray::number(v.dword, 16).rightJustified(8, '0');
            break;
        case RegDataType::rdBinary: {
            out += "hex:";
            out += v.binary.toHex(',');
            break;
        }
        default:
            out += '"' + escapeText(v.text).toUtf8() + '"';
        }
        out += '\n';
    }
    out += '\n';
    for (const auto& sub : key.subkeys)
        serializeKey(out, *sub, path + '\\' + sub->name);
}

} // namespace

// ---- RegistryStore ----

RegistryStore::Key& RegistryStore::Key::operator=(const Key& other)
{
    if (this == &other)
        return *this;
    name = other.name;
    values = other.values;
    subkeys.clear();
    for (const auto& sub : other.subkeys)
        subkeys.push_back(std::make_unique<Key>(*sub));
    return *this;
}

RegistryStore::Key* RegistryStore::Key::child(const QString& n) const
{
    for (const auto& k : subkeys)
        if (sameName(k->name, n))
            return k.get();
    return nullptr;
}

RegistryStore::Key* RegistryStore::Key::addChild(const QString& n)
{
    if (Key* k = child(n))
        return k;
    subkeys.push_back(std::make_unique<Key>());
    subkeys.back()->name = n;
    return subkeys.back().get();
}

RegistryStore::Value* RegistryStore::Key::value(const QString& n)
{
    for (auto& v : values)
        if (v.named && sameName(v.name, n))
            return &v;
    return nullptr;
}

const RegistryStore::Value* RegistryStore::Key::value(const QString& n) const
{
    return const_cast<Key*>(this)->value(n);
}

RegistryStore::RegistryStore()
{
    roots_[0].name = rootName(RegRoot::HKEY_LOCAL_MACHINE);
    roots_[1].name = rootName(RegRoot::HKEY_CURRENT_USER);
    // Like every machine's registry, both hives always hold "Software".
    for (Key& r : roots_)
        r.addChild(QStringLiteral("Software"));
}

QString RegistryStore::rootName(RegRoot root)
{
    return root == RegRoot::HKEY_LOCAL_MACHINE ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                               : QStringLiteral("HKEY_CURRENT_USER");
}

RegistryStore::Key* RegistryStore::find(RegRoot r, const QStringList& path) const
{
    const Key* key = root(r);
    for (const QString& part : path) {
        key = key->child(part);
        if (!key)
            return nullptr;
    }
    return const_cast<Key*>(key);
}

RegistryStore::Key* RegistryStore::create(RegRoot r, const QStringList& path)
{
    Key* key = root(r);
    for (const QString& part : path)
        key = key->addChild(part);
    return key;
}

bool RegistryStore::remove(RegRoot r, const QStringList& path)
{
    if (path.isEmpty())
        return false;
    Key* parent = find(r, path.mid(0, path.size() - 1));
    if (!parent)
        return false;
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
        if (sameName((*it)->name, path.last())) {
            parent->subkeys.erase(it);
            return true;
        }
    }
    return false;
}

RegistryStore RegistryStore::parse(const QByteArray& bytes)
{
    RegistryStore store;
    Key* current = nullptr;
    QList<QByteArray>* foreign = nullptr;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        // Lines are read without their CR; a line kept as it stood keeps it.
        const QByteArray& original = lines[n];
        QByteArray line = original;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || (n == 0 && line == "REGEDIT4"))
            continue;
        const std::optional<QString> text = utf8Line(line);
        if (text && text->startsWith('[') && text->endsWith(']')) {
            QStringList path = text->mid(1, text->size() - 2).split('\\', Qt::SkipEmptyParts);
            current = nullptr;
            foreign = nullptr;
            const QString hive = path.isEmpty() ? QString() : path.takeFirst();
            for (RegRoot r : {RegRoot::HKEY_LOCAL_MACHINE, RegRoot::HKEY_CURRENT_USER})
                if (sameName(hive, rootName(r)))
                    current = store.create(r, path);
            if (!current) {
                // Another hive, or no hive at all: the section is kept whole.
                store.foreign_.append({original});
                foreign = &store.foreign_.last();
            }
            continue;
        }
        if (foreign) {
            foreign->append(original);
            continue;
        }
        if (!current) {
            store.preamble_.append(original);
            continue;
        }
        QString name;
        bool named = false;
        std::optional<Value> v = text ? parseValueLine(*text, &name, &named) : std::nullopt;
        if (!v) {
            // Not understood: kept as it stands, under its name if it has one.
            Value raw;
            raw.type = RegDataType::rdUnknown;
            raw.raw = original;
            raw.named = named;
            raw.name = name;
            if (!named) {
                current->values.append(raw);
                continue;
            }
            v = raw;
        }
        if (Value* existing = current->value(v->name))
            *existing = *v;
        else
            current->values.append(*v);
    }
    return store;
}

QByteArray RegistryStore::serialize() const
{
    QByteArray out = "REGEDIT4\n\n";
    for (const QByteArray& line : preamble_)
        out += line + '\n';
    if (!preamble_.isEmpty())
        out += '\n';
    for (const Key& r : roots_) {
        if (!r.values.isEmpty()) {
            // Values right under a hive: its section without the subkeys.
            Key top;
            top.values = r.values;
            serializeKey(out, top, r.name);
        }
        for (const auto& sub : r.subkeys)
            serializeKey(out, *sub, r.name + '\\' + sub->name);
    }
    for (const QList<QByteArray>& section : foreign_) {
        for (const QByteArray& line : section)
            out += line + '\n';
        out += '\n';
    }
    return out;
}

// ---- TRegistry ----

QString TRegistry::defaultFileName()
{
    const QString named = qEnvironmentVariable("BREVANT_REGISTRY");
    if (!named.isEmpty())
        return named;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/brevant/registry.reg");
}

TRegistry::TRegistry(const QString& fileName) : fileName_(fileName) {}

QStringList TRegistry::resolve(const QString& key) const
{
    QStringList path = key.startsWith('\\') ? QStringList() : currentPath_;
    path += key.split('\\', Qt::SkipEmptyParts);
    return path;
}

namespace {

// Changes this process could not write (the file locked or not writable),
// kept for each file until a write succeeds; every reader here sees them.
struct Pending
{
    QList<TRegistry::Change> changes;
};
QHash<QString, Pending>& pendingChanges()
{
    static QHash<QString, Pending> table;
    return table;
}
quint64 pendingGeneration = 0;

QStringList& notices()
{
    static QStringList list;
    return list;
}
QSet<QString>& noticedFiles()
{
    static QSet<QString> set;
    return set;
}

void notice(const QString& key, const QString& text)
{
    if (noticedFiles().contains(key))
        return;
    noticedFiles().insert(key);
    notices().append(text);
    qWarning("%s", qPrintable(text));
}

enum class FileRead { Missing, Read, Unreadable };

// Reads the registry file; Unreadable (with the reason) for a file that is
// there and cannot be read whole.
FileRead readRegistryFile(const QString& fileName, QByteArray* bytes, QString* reason)
{
    QFile file(fileName);
    if (!file.exists() && !QFileInfo(fileName).isSymLink())
        return FileRead::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return FileRead::Unreadable;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return FileRead::Unreadable;
    }
    return FileRead::Read;
}

// Moves an unreadable file out of the way under a name of its own (moving
// needs no reading). Returns that name, or an empty text.
QString keepAside(const QString& fileName)
{
    QString backup = fileName + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(backup) || QFileInfo(backup).isSymLink(); ++n)
        backup = fileName + QStringLiteral(".bak") + QString::number(n);
    if (::rename(QFile::encodeName(fileName).constData(), QFile::encodeName(backup).constData()) !=
        0)
        return {};
    return backup;
}

// Takes the lock, waiting at most `waitMs` for another holder.
bool lockWithin(int fd, int waitMs)
{
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (deadline.hasExpired())
            return false;
        ::usleep(10000);
    }
}

} // namespace

QStringList TRegistry::TakeNotices()
{
    return std::exchange(notices(), {});
}

const RegistryStore& TRegistry::store()
{
    // Re-read only when the file (or what this process keeps for it)
    // changed since the last look.
    struct stat st
    {};
    QByteArray stamp;
    if (::stat(QFile::encodeName(fileName_).constData(), &st) == 0)
        stamp = QByteArray::number(pendingGeneration) + '/' +
                QByteArray::number(qulonglong(st.st_ino)) + ':' +
                QByteArray::number(qlonglong(st.st_size)) + ':' +
                QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' +
                QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
    if (stamp != cacheStamp_ || stamp.isEmpty()) {
        QByteArray bytes;
        QString reason;
        switch (readRegistryFile(fileName_, &bytes, &reason)) {
        case FileRead::Read:
            cache_ = RegistryStore::parse(bytes);
            break;
        case FileRead::Missing:
            cache_ = RegistryStore();
            break;
        case FileRead::Unreadable:
            cache_ = RegistryStore();
            notice(fileName_ + QStringLiteral(":read"),
                   QStringLiteral("The registry file %1 cannot be read (%2): the settings in it "
                                  "are not used, and the file is kept as it is.")
                       .arg(QDir::toNativeSeparators(fileName_), reason));
            break;
        }
        for (const Change& change : std::as_const(pendingChanges()[fileName_].changes))
            change(cache_);
        cacheStamp_ = stamp;
    }
    return cache_;
}

bool TRegistry::modify(const Change& change)
{
    Pending& pending = pendingChanges()[fileName_];
    // Nothing is lost when the write fails: the change stays in memory.
    auto keep = [&](const std::string& why) {
        pending.changes.append(change);
        ++pendingGeneration;
        cacheStamp_.clear();
        throw ERegistryException(why);
    };
    const QString dir = QFileInfo(fileName_).absolutePath();
    if (!QDir().mkpath(dir))
        keep("cannot create the registry folder " + dir.toStdString());
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    // The lock lives in a file of its own: the registry file itself is
    // replaced by every write, so a lock on it would not be shared.
    const QByteArray lockName = QFile::encodeName(fileName_ + QStringLiteral(".lock"));
    const int lockFd = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        keep("cannot lock the registry file " + fileName_.toStdString());
    if (!lockWithin(lockFd, LockWaitMs)) {
        ::close(lockFd);
        keep("the registry file " + fileName_.toStdString() +
             " is locked by another program; the change is kept until a later write");
    }
    struct Unlock
    {
        int fd;
        ~Unlock()
        {
            ::flock(fd, LOCK_UN);
            ::close(fd);
        }
    } unlock{lockFd};

    RegistryStore fresh;
    QByteArray bytes;
    QString reason;
    switch (readRegistryFile(fileName_, &bytes, &reason)) {
    case FileRead::Read:
        fresh = RegistryStore::parse(bytes);
        break;
    case FileRead::Missing:
        break;
    case FileRead::Unreadable: {
        // Never written over: the file goes aside first, whole.
        const QString backup = keepAside(fileName_);
        if (backup.isEmpty())
            keep("the registry file " + fileName_.toStdString() + " cannot be read (" +
                 reason.toStdString() + ") and is not replaced");
        notice(fileName_ + QStringLiteral(":kept"),
               QStringLiteral("The registry file %1 could not be read; it was kept as %2 and "
                              "the settings are now saved in a new file.")
                   .arg(QDir::toNativeSeparators(fileName_), QDir::toNativeSeparators(backup)));
        break;
    }
    }
    for (const Change& earlier : std::as_const(pending.changes))
        earlier(fresh);
    const bool changed = change(fresh);
    QString error;
    cacheStamp_.clear();
    if (!AtomicFile::write(fileName_, fresh.serialize(), 0600, &error))
        keep("cannot write the registry: " + error.toStdString());
    if (!pending.changes.isEmpty()) {
        pending.changes.clear();
        ++pendingGeneration;
    }
    return changed;
}

bool TRegistry::OpenKey(const QString& key, bool canCreate)
{
    const QStringList path = resolve(key);
    if (!store().find(RootKey, path)) {
        if (!canCreate)
            return false;
        const RegRoot root = RootKey;
        modify([root, path](RegistryStore& s) {
            s.create(root, path);
            return true;
        });
    }
    currentPath_ = path;
    keyOpen_ = true;
    return true;
}

void TRegistry::CloseKey()
{
    currentPath_.clear();
    keyOpen_ = false;
}

bool TRegistry::KeyExists(const QString& key)
{
    return store().find(RootKey, resolve(key)) != nullptr;
}

const RegistryStore::Value* TRegistry::currentValue(const QString& name)
{
    const RegistryStore::Key* key = store().find(RootKey, currentPath_);
    return key ? key->value(name) : nullptr;
}

bool TRegistry::ValueExists(const QString& name)
{
    return currentValue(name) != nullptr;
}

RegDataType TRegistry::GetDataType(const QString& name)
{
    const auto* v = currentValue(name);
    return v ? v->type : RegDataType::rdUnknown;
}

QStringList TRegistry::GetKeyNames()
{
    QStringList names;
    if (const auto* key = store().find(RootKey, currentPath_))
        for (const auto& sub : key->subkeys)
            names << sub->name;
    return names;
}

QStringList TRegistry::GetValueNames()
{
    QStringList names;
    if (const auto* key = store().find(RootKey, currentPath_))
        for (const auto& v : key->values)
            if (v.named)
                names << v.name;
    return names;
}

QString TRegistry::ReadString(const QString& name)
{
    const auto* v = currentValue(name);
    if (!v)
        return QString();
    if (v->type != RegDataType::rdString)
        throw ERegistryException("Invalid data type for '" + name.toStdString() + "'");
    return v->text;
}

int TRegistry::ReadInteger(const QString& name)
{
    const auto* v = currentValue(name);
    if (!v || v->type != RegDataType::rdInteger)
        throw ERegistryException("Invalid data type for '" + name.toStdString() + "'");
    return int(v->dword);
}

QByteArray TRegistry::ReadBinaryData(const QString& name)
{
    const auto* v = currentValue(name);
    if (!v || v->type != RegDataType::rdBinary)
        throw ERegistryException("Invalid data type for '" + name.toStdString() + "'");
    return v->binary;
}

void TRegistry::writeValue(RegistryStore::Value value)
{
    if (!keyOpen_)
        throw ERegistryException("Failed to set data for '" + value.name.toStdString() +
                                 "': no key open");
    const RegRoot root = RootKey;
    const QStringList path = currentPath_;
    modify([root, path, value](RegistryStore& s) {
        RegistryStore::Key* key = s.create(root, path);
        if (RegistryStore::Value* existing = key->value(value.name)) {
            const QString spelling = existing->name; // the first spelling stays
            *existing = value;
            existing->name = spelling;
        } else {
            key->values.append(value);
        }
        return true;
    });
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    RegistryStore::Value v;
    v.name = name;
    v.type = RegDataType::rdString;
    v.text = value;
    writeValue(v);
}

void TRegistry::WriteInteger(const QString& name, int value)
{
    RegistryStore::Value v;
    v.name = name;
    v.type = RegDataType::rdInteger;
    v.dword = quint32(value);
    writeValue(v);
}

void TRegistry::WriteBinaryData(const QString& name, const QByteArray& value)
{
    RegistryStore::Value v;
    v.name = name;
    v.type = RegDataType::rdBinary;
    v.binary = value;
    writeValue(v);
}

bool TRegistry::DeleteValue(const QString& name)
{
    if (!ValueExists(name))
        return false;
    const RegRoot root = RootKey;
    const QStringList path = currentPath_;
    return modify([root, path, name](RegistryStore& s) {
        RegistryStore::Key* key = s.find(root, path);
        return key && key->values.removeIf(
                          [&](const auto& v) { return v.named && sameName(v.name, name); }) > 0;
    });
}

bool TRegistry::DeleteKey(const QString& key)
{
    const QStringList path = resolve(key);
    if (path.isEmpty() || !store().find(RootKey, path))
        return false;
    const RegRoot root = RootKey;
    return modify([root, path](RegistryStore& s) { return s.remove(root, path); });
}

void TRegistry::Update(const std::function<void(RegistryStore&)>& edit)
{
    // The edit is kept by value: a write that fails keeps it for later.
    modify([edit](RegistryStore& s) {
        edit(s);
        return true;
    });
}
