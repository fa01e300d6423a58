#pragma once

#include <QString>

class TRegistry;

// The browser's settings: string values in the registry key
// HKEY_LOCAL_MACHINE\Software\Talvik_Software\Korvisto, held in memory for
// the whole run. Booleans are stored as "1"/"0", numbers as decimal text.

// The maker's home page: a page shipped beside the program, so that the
// first window shows something without a network.
QString MakerHomePage();
// The page of the first start after installation, in the same folder.
QString MakerStartPage();
// The engine's own home page: the "Start Page" value under HKEY_CURRENT_USER
// "Software\Microsoft\Internet Explorer\Main" when it holds an address,
// otherwise the maker's home page shipped with the program.
QString EngineHomePage(TRegistry& reg);

struct TBrowserSettings
{
    QString Favorite = QStringLiteral("เว็บในไทย"); // the current favorites group
    int StartMode = 2; // 0 none, 1 engine home, 2 maker's home, 3 StartURL
    QString StartURL = MakerHomePage();
    bool UseSpash = true;
    bool UseBanner = true;
    bool UseCC = true;
    bool OpenFav = true;
    bool UseTelnet = true;
    int TCols = 80;
    int TRows = 25;
    QString TFont = QStringLiteral("FixedSys");
    int TFontSize = 10;
    int MaxURLSave = 1500;
    bool NewWindowMaximize = true;
    bool DefaultThaiCodePage = true;
    int FontSize = 2; // text size 0 (smallest) to 4 (biggest)
    int TVURLSize = 100;

    // Layout, written only when the user asks to keep the environment.
    QString ToolBarButton = QStringLiteral("both"); // "text", "pic" or "both"
    QString ToolBarAlign = QStringLiteral("top"); // "top" or "bottom"; anything else leaves the top
    bool ToolBarVisible = true;
    bool FavoriteBarVisible = true;
    bool WindowBarVisible = true;
    bool FormMaximize = true;
    int FormX = -1;
    int FormY = -1;
    int FormWidth = -1;
    int FormHeight = -1;
    int ToolBarX = -1;
    int ToolBarY = -1;
};

// Values read once at start and never written back.
struct TStartOnlySettings
{
    bool ToolBarStretch = false; // "ToolBarStretch" is "1"
    QString ToolBarBackground;   // wallpaper picture file, empty for none
    bool FirstStart = false;     // the one-time "StartUp" marker was found (and deleted)
};

// Opens (creating "Talvik_Software" and "Korvisto" when missing) the
// settings key; false when it cannot be opened.
bool OpenSettingsKey(TRegistry& reg);

// Reads every setting that exists and is not empty over the defaults in
// `settings`. A value that is not a decimal number, or not a string, keeps
// its default: a damaged registry never stops the program from starting.
void LoadSettings(TRegistry& reg, TBrowserSettings& settings);
// Reads the start-only values and deletes the "StartUp" marker.
TStartOnlySettings LoadStartOnlySettings(TRegistry& reg);

// Write the general values and the layout values. Each raises
// ERegistryException when the registry cannot be written.
void SaveSettings(TRegistry& reg, const TBrowserSettings& settings);
void SaveLayout(TRegistry& reg, const TBrowserSettings& settings);

// Writes the engine's default code page ("Default_Codepage", 4 bytes, little
// endian) for the current user and then the machine, each only where the
// key "Software\Microsoft\Internet Explorer\International" already exists.
void SetIECodepage(TRegistry& reg, int codePage);
