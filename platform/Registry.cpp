#include "platform/Registry.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
// leaves `pos` after the closing quote.
QString unescapeText(const QString& line, qsizetype& pos)
{
    QString out;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == '"')
            return out;
        if (c != '\\' || pos >= line.size()) {
            out += c;
            continue;
        }
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
        case 'x': {
            bool ok = false;
            const int code = line.mid(pos, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                pos += 2;
            }
            break;
        }
        default:
            out += e;
        }
    }
    return out;
}

void serializeKey(QByteArray& out, const RegistryStore::Key& key, const QString& path)
{
    out += '[' + path.toUtf8() + "]\n";
    for (const auto& v : key.values) {
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
        if (sameName(v.name, n))
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
    const QStringList lines = QString::fromUtf8(bytes).split('\n');
    for (QString line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('[')) {
            const qsizetype close = line.lastIndexOf(']');
            QStringList path =
                line.mid(1, close > 0 ? close - 1 : -1).split('\\', Qt::SkipEmptyParts);
            current = nullptr;
            if (path.isEmpty())
                continue;
            const QString hive = path.takeFirst();
            for (RegRoot r : {RegRoot::HKEY_LOCAL_MACHINE, RegRoot::HKEY_CURRENT_USER})
                if (sameName(hive, rootName(r)))
                    current = store.create(r, path);
            continue;
        }
        if (!current || line.isEmpty())
            continue;
        Value v;
        qsizetype pos = 0;
        if (line.startsWith('@')) {
            pos = 1;
        } else if (line.startsWith('"')) {
            pos = 1;
            v.name = unescapeText(line, pos);
        } else {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        ++pos;
        const QString data = line.mid(pos);
        if (data.startsWith('"')) {
            qsizetype p = 1;
            v.type = RegDataType::rdString;
            v.text = unescapeText(data, p);
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            bool ok = false;
            v.dword = data.mid(6).toUInt(&ok, 16);
            if (!ok)
                continue;
            v.type = RegDataType::rdInteger;
        } else if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            v.type = RegDataType::rdBinary;
            v.binary = QByteArray::fromHex(data.mid(4).remove(',').toLatin1());
        } else {
            continue;
        }
        if (Value* existing = current->value(v.name))
            *existing = v;
        else
            current->values.append(v);
    }
    return store;
}

QByteArray RegistryStore::serialize() const
{
    QByteArray out = "REGEDIT4\n\n";
    for (const Key& r : roots_)
        for (const auto& sub : r.subkeys)
            serializeKey(out, *sub, r.name + '\\' + sub->name);
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

const RegistryStore& TRegistry::store()
{
    // Re-read only when the file changed since the last look.
    struct stat st
    {};
    QByteArray stamp;
    if (::stat(QFile::encodeName(fileName_).constData(), &st) == 0)
        stamp = QByteArray::number(qulonglong(st.st_ino)) + ':' +
                QByteArray::number(qlonglong(st.st_size)) + ':' +
                QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' +
                QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
    if (stamp != cacheStamp_ || stamp.isEmpty()) {
        QFile file(fileName_);
        cache_ =
            file.open(QIODevice::ReadOnly) ? RegistryStore::parse(file.readAll()) : RegistryStore();
        cacheStamp_ = stamp;
    }
    return cache_;
}

template <typename Change> void TRegistry::modify(Change change)
{
    const QString dir = QFileInfo(fileName_).absolutePath();
    if (!QDir().mkpath(dir))
        throw ERegistryException("cannot create the registry folder " + dir.toStdString());
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    // The lock lives in a file of its own: the registry file itself is
    // replaced by every write, so a lock on it would not be shared.
    const QByteArray lockName = QFile::encodeName(fileName_ + QStringLiteral(".lock"));
    const int lockFd = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        throw ERegistryException("cannot lock the registry file " + fileName_.toStdString());
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    cacheStamp_.clear();
    RegistryStore fresh = store();
    change(fresh);
    QString error;
    const bool ok = AtomicFile::write(fileName_, fresh.serialize(), 0600, &error);
    cacheStamp_.clear();
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    if (!ok)
        throw ERegistryException("cannot write the registry: " + error.toStdString());
}

bool TRegistry::OpenKey(const QString& key, bool canCreate)
{
    const QStringList path = resolve(key);
    if (!store().find(RootKey, path)) {
        if (!canCreate)
            return false;
        const RegRoot root = RootKey;
        modify([&](RegistryStore& s) { s.create(root, path); });
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
    modify([&](RegistryStore& s) {
        RegistryStore::Key* key = s.create(root, path);
        if (RegistryStore::Value* existing = key->value(value.name)) {
            value.name = existing->name; // the first spelling stays
            *existing = value;
        } else {
            key->values.append(value);
        }
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
    bool removed = false;
    modify([&](RegistryStore& s) {
        if (RegistryStore::Key* key = s.find(root, path))
            removed =
                key->values.removeIf([&](const auto& v) { return sameName(v.name, name); }) > 0;
    });
    return removed;
}

bool TRegistry::DeleteKey(const QString& key)
{
    const QStringList path = resolve(key);
    if (path.isEmpty() || !store().find(RootKey, path))
        return false;
    const RegRoot root = RootKey;
    bool removed = false;
    modify([&](RegistryStore& s) { removed = s.remove(root, path); });
    return removed;
}

void TRegistry::Update(const std::function<void(RegistryStore&)>& edit)
{
    modify([&](RegistryStore& s) { edit(s); });
}
