#include "chat/U_GlobalConfig.h"

#include "platform/Registry.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace Zentrel {

TZentrelSettings& Settings()
{
    static TZentrelSettings settings;
    return settings;
}

QString BoolToConfigStr(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

int ClampDCCBlock(qint64 value)
{
    return int(std::clamp<qint64>(value, 1, 65536));
}

bool DCCBlockFromText(const QString& text, int* block)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return false;
    *block = ClampDCCBlock(value);
    return true;
}

namespace {

// Opens "Software\Talvik_Software" without creating it, then "Zentrel" with.
bool openZentrelKey(TRegistry& reg)
{
    reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
    reg.CloseKey();
    if (!reg.OpenKey(QStringLiteral("\\Software"), false))
        return false;
    if (!reg.OpenKey(QStringLiteral("Talvik_Software"), false))
        return false;
    return reg.OpenKey(QStringLiteral("Zentrel"), true);
}

class Reader
{
public:
    explicit Reader(TRegistry& reg) : reg_(reg) {}

    void text(const char* name, QString& value)
    {
        const QString v = read(name);
        if (!v.isEmpty())
            value = v;
    }
    void boolean(const char* name, bool& value)
    {
        const QString v = read(name);
        if (!v.isEmpty())
            value = v == QLatin1String("1");
    }
    template <typename Int> void number(const char* name, Int& value)
    {
        const QString v = read(name).trimmed();
        bool ok = false;
        const qint64 n = v.toLongLong(&ok, 10);
        if (ok && n >= std::numeric_limits<Int>::min() && n <= std::numeric_limits<Int>::max())
            value = Int(n);
    }

private:
    QString read(const char* name)
    {
        try {
            return reg_.ReadString(QLatin1String(name));
        } catch (const std::exception&) {
            return QString(); // a value of another type keeps its default
        }
    }
    TRegistry& reg_;
};

} // namespace

bool LoadConfig(TZentrelSettings& s, TRegistry& registry)
{
    try {
        if (!openZentrelKey(registry))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    Reader r(registry);
    r.text("IRCPort", s.IRCPort);
    r.boolean("UseSock", s.UseSock);
    r.number("SockLevel", s.SockLevel);
    r.text("Sock5User", s.Sock5User);
    r.text("Sock5PW", s.Sock5PW);
    r.text("Sock5Address", s.Sock5Address);
    r.text("SockPort", s.SockPort);
    r.number("ChatBKColor", s.ChatBKColor);
    r.text("ChatFontName", s.ChatFontName);
    r.number("ChatFontColor", s.ChatFontColor);
    r.boolean("ChatWordWrap", s.ChatWordWrap);
    r.text("DCCDirectory", s.DCCDirectory);
    qint64 block = s.DCCBlock;
    r.number("DCCBlock", block);
    s.DCCBlock = ClampDCCBlock(block);
    r.boolean("DCCAutoReceive", s.DCCAutoReceive);
    return true;
}

bool LoadConfig(TZentrelSettings& settings)
{
    TRegistry registry;
    return LoadConfig(settings, registry);
}

TSaveResult SaveConfig(const TZentrelSettings& s, TRegistry& reg, QString* error)
{
    const QList<QPair<QString, QString>> values{
        {QStringLiteral("IRCPort"), s.IRCPort},
        {QStringLiteral("UseSock"), BoolToConfigStr(s.UseSock)},
        {QStringLiteral("SockLevel"), QString::number(s.SockLevel)},
        {QStringLiteral("Sock5User"), s.Sock5User},
        {QStringLiteral("Sock5PW"), s.Sock5PW},
        {QStringLiteral("Sock5Address"), s.Sock5Address},
        {QStringLiteral("SockPort"), s.SockPort},
        {QStringLiteral("ChatBKColor"), QString::number(s.ChatBKColor)},
        {QStringLiteral("ChatFontName"), s.ChatFontName},
        {QStringLiteral("ChatFontColor"), QString::number(s.ChatFontColor)},
        {QStringLiteral("ChatWordWrap"), BoolToConfigStr(s.ChatWordWrap)},
        {QStringLiteral("DCCDirectory"), s.DCCDirectory},
        {QStringLiteral("DCCBlock"), QString::number(ClampDCCBlock(s.DCCBlock))},
        {QStringLiteral("DCCAutoReceive"), BoolToConfigStr(s.DCCAutoReceive)},
    };
    const QStringList talvik{QStringLiteral("Software"), QStringLiteral("Talvik_Software")};
    try {
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        reg.CloseKey();
        if (!reg.KeyExists(QStringLiteral("\\Software\\Talvik_Software")))
            return TSaveResult::NoKey;
        // The edit holds its values: a write that fails keeps it for later.
        reg.Update([values, talvik](RegistryStore& store) {
            if (!store.find(RegRoot::HKEY_LOCAL_MACHINE, talvik))
                return; // gone meanwhile: nothing is made
            RegistryStore::Key* key = store.create(RegRoot::HKEY_LOCAL_MACHINE,
                                                   talvik + QStringList{QStringLiteral("Zentrel")});
            for (const auto& [name, text] : values) {
                RegistryStore::Value value;
                value.name = name;
                value.type = RegDataType::rdString;
                value.text = text;
                if (RegistryStore::Value* existing = key->value(name)) {
                    value.name = existing->name; // the first spelling stays
                    *existing = value;
                } else {
                    key->values.append(value);
                }
            }
        });
        return TSaveResult::Written;
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return TSaveResult::Failed;
    }
}

TSaveResult SaveConfig(const TZentrelSettings& settings, QString* error)
{
    TRegistry registry;
    return SaveConfig(settings, registry, error);
}

qint64 FileSizeByName(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.size();
}

} // namespace Zentrel
