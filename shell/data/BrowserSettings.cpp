#include "shell/data/BrowserSettings.h"

#include "platform/ProgramFolder.h"
#include "platform/Registry.h"

#include <QUrl>
#include <QtEndian>

QString MakerHomePage()
{
    return QUrl::fromLocalFile(ProgramFolder() + QStringLiteral("/pages/index.html")).toString();
}

QString MakerStartPage()
{
    return QUrl::fromLocalFile(ProgramFolder() + QStringLiteral("/pages/start.html")).toString();
}

QString EngineHomePage(TRegistry& reg)
{
    QString page;
    try {
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        if (reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main"), false))
            page = reg.ReadString(QStringLiteral("Start Page")).trimmed();
    } catch (const ERegistryException&) {
        page.clear();
    }
    return page.isEmpty() ? MakerHomePage() : page;
}

namespace {

const QString kBool[2] = {QStringLiteral("0"), QStringLiteral("1")};

// Reads one string value: empty when missing, empty or not a string.
QString readText(TRegistry& reg, const QString& name)
{
    try {
        return reg.ReadString(name);
    } catch (const ERegistryException&) {
        return QString();
    }
}

void readValue(TRegistry& reg, const QString& name, QString& target)
{
    const QString text = readText(reg, name);
    if (!text.isEmpty())
        target = text;
}

void readValue(TRegistry& reg, const QString& name, bool& target)
{
    const QString text = readText(reg, name);
    if (!text.isEmpty())
        target = text == QLatin1String("1");
}

void readValue(TRegistry& reg, const QString& name, int& target)
{
    const QString text = readText(reg, name);
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (ok)
        target = value;
}

} // namespace

bool OpenSettingsKey(TRegistry& reg)
{
    reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
    reg.CloseKey();
    try {
        return reg.OpenKey(QStringLiteral("Software"), false) &&
               reg.OpenKey(QStringLiteral("Talvik_Software"), true) &&
               reg.OpenKey(QStringLiteral("Korvisto"), true);
    } catch (const ERegistryException&) {
        return false;
    }
}

void LoadSettings(TRegistry& reg, TBrowserSettings& s)
{
    if (!OpenSettingsKey(reg))
        return;
    readValue(reg, QStringLiteral("Favorite"), s.Favorite);
    readValue(reg, QStringLiteral("StartMode"), s.StartMode);
    readValue(reg, QStringLiteral("StartURL"), s.StartURL);
    readValue(reg, QStringLiteral("UseSpash"), s.UseSpash);
    readValue(reg, QStringLiteral("UseBanner"), s.UseBanner);
    readValue(reg, QStringLiteral("UseCC"), s.UseCC);
    readValue(reg, QStringLiteral("OpenFav"), s.OpenFav);
    readValue(reg, QStringLiteral("UseTelnet"), s.UseTelnet);
    readValue(reg, QStringLiteral("TCols"), s.TCols);
    readValue(reg, QStringLiteral("TRows"), s.TRows);
    readValue(reg, QStringLiteral("TFont"), s.TFont);
    readValue(reg, QStringLiteral("TFontSize"), s.TFontSize);
    readValue(reg, QStringLiteral("MaxURLSave"), s.MaxURLSave);
    readValue(reg, QStringLiteral("NewWindowMaximize"), s.NewWindowMaximize);
    readValue(reg, QStringLiteral("DefaultThaiCodePage"), s.DefaultThaiCodePage);
    readValue(reg, QStringLiteral("FontSize"), s.FontSize);
    readValue(reg, QStringLiteral("TVURLSize"), s.TVURLSize);
    readValue(reg, QStringLiteral("ToolBarButton"), s.ToolBarButton);
    // The alignment is taken as read, an empty text included; a value that
    // is not a string keeps the default.
    try {
        s.ToolBarAlign = reg.ReadString(QStringLiteral("ToolBarAlign"));
    } catch (const ERegistryException&) {
    }
    readValue(reg, QStringLiteral("ToolBarVisible"), s.ToolBarVisible);
    readValue(reg, QStringLiteral("FavoriteBarVisible"), s.FavoriteBarVisible);
    readValue(reg, QStringLiteral("WindowBarVisible"), s.WindowBarVisible);
    readValue(reg, QStringLiteral("FormMaximize"), s.FormMaximize);
    readValue(reg, QStringLiteral("FormX"), s.FormX);
    readValue(reg, QStringLiteral("FormY"), s.FormY);
    readValue(reg, QStringLiteral("FormWidth"), s.FormWidth);
    readValue(reg, QStringLiteral("FormHeight"), s.FormHeight);
    readValue(reg, QStringLiteral("ToolBarX"), s.ToolBarX);
    readValue(reg, QStringLiteral("ToolBarY"), s.ToolBarY);
}

TStartOnlySettings LoadStartOnlySettings(TRegistry& reg)
{
    TStartOnlySettings s;
    if (!OpenSettingsKey(reg))
        return s;
    s.ToolBarStretch = readText(reg, QStringLiteral("ToolBarStretch")) == QLatin1String("1");
    s.ToolBarBackground = readText(reg, QStringLiteral("ToolBarBackground"));
    if (!readText(reg, QStringLiteral("StartUp")).isEmpty()) {
        s.FirstStart = true;
        try {
            reg.DeleteValue(QStringLiteral("StartUp"));
        } catch (const ERegistryException&) {
            // The marker stays; the next start is a first start again.
        }
    }
    return s;
}

void SaveSettings(TRegistry& reg, const TBrowserSettings& s)
{
    if (!OpenSettingsKey(reg))
        return;
    reg.WriteString(QStringLiteral("Favorite"), s.Favorite);
    reg.WriteString(QStringLiteral("StartMode"), QString::number(s.StartMode));
    reg.WriteString(QStringLiteral("StartURL"), s.StartURL);
    reg.WriteString(QStringLiteral("UseSpash"), kBool[s.UseSpash]);
    reg.WriteString(QStringLiteral("UseBanner"), kBool[s.UseBanner]);
    reg.WriteString(QStringLiteral("UseCC"), kBool[s.UseCC]);
    reg.WriteString(QStringLiteral("OpenFav"), kBool[s.OpenFav]);
    reg.WriteString(QStringLiteral("UseTelnet"), kBool[s.UseTelnet]);
    reg.WriteString(QStringLiteral("TCols"), QString::number(s.TCols));
    reg.WriteString(QStringLiteral("TRows"), QString::number(s.TRows));
    reg.WriteString(QStringLiteral("TFont"), s.TFont);
    reg.WriteString(QStringLiteral("TFontSize"), QString::number(s.TFontSize));
    reg.WriteString(QStringLiteral("MaxURLSave"), QString::number(s.MaxURLSave));
    reg.WriteString(QStringLiteral("NewWindowMaximize"), kBool[s.NewWindowMaximize]);
    reg.WriteString(QStringLiteral("DefaultThaiCodePage"), kBool[s.DefaultThaiCodePage]);
    reg.WriteString(QStringLiteral("FontSize"), QString::number(s.FontSize));
    reg.WriteString(QStringLiteral("TVURLSize"), QString::number(s.TVURLSize));
}

void SaveLayout(TRegistry& reg, const TBrowserSettings& s)
{
    if (!OpenSettingsKey(reg))
        return;
    reg.WriteString(QStringLiteral("ToolbarAlign"), s.ToolBarAlign == QLatin1String("bottom")
                                                        ? QStringLiteral("bottom")
                                                        : QStringLiteral("top"));
    reg.WriteString(QStringLiteral("ToolbarButton"), s.ToolBarButton);
    reg.WriteString(QStringLiteral("ToolbarVisible"), kBool[s.ToolBarVisible]);
    reg.WriteString(QStringLiteral("FavoriteBarVisible"), kBool[s.FavoriteBarVisible]);
    reg.WriteString(QStringLiteral("WindowBarVisible"), kBool[s.WindowBarVisible]);
    reg.WriteString(QStringLiteral("FormMaximize"), kBool[s.FormMaximize]);
    reg.WriteString(QStringLiteral("FormX"), QString::number(s.FormX));
    reg.WriteString(QStringLiteral("FormY"), QString::number(s.FormY));
    reg.WriteString(QStringLiteral("FormWidth"), QString::number(s.FormWidth));
    reg.WriteString(QStringLiteral("FormHeight"), QString::number(s.FormHeight));
    reg.WriteString(QStringLiteral("ToolBarX"), QString::number(s.ToolBarX));
    reg.WriteString(QStringLiteral("ToolBarY"), QString::number(s.ToolBarY));
}

void SetIECodepage(TRegistry& reg, int codePage)
{
    QByteArray data(4, '\0');
    qToLittleEndian<quint32>(quint32(codePage), data.data());
    for (RegRoot root : {RegRoot::HKEY_CURRENT_USER, RegRoot::HKEY_LOCAL_MACHINE}) {
        reg.RootKey = root;
        reg.CloseKey();
        if (reg.OpenKey(QStringLiteral("Software"), false) &&
            reg.OpenKey(QStringLiteral("Microsoft"), false) &&
            reg.OpenKey(QStringLiteral("Internet Explorer"), false) &&
            reg.OpenKey(QStringLiteral("International"), false))
            reg.WriteBinaryData(QStringLiteral("Default_Codepage"), data);
    }
    reg.CloseKey();
}
