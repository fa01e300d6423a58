#pragma once

#include "chat/ColorCodes.h"

#include <QString>

class TRegistry;

// The plug-in's settings: HKEY_LOCAL_MACHINE "Software\Talvik_Software\Zentrel",
// every value a string; Booleans "1" and "0", numbers decimal text. Loaded
// once when the plug-in starts, written when the user confirms its settings
// dialog.
namespace Zentrel {

struct TZentrelSettings
{
    QString IRCPort = QStringLiteral("6667");
    bool UseSock = false;
    int SockLevel = 0; // 0: SOCKS 4, otherwise SOCKS 5
    QString Sock5User;
    QString Sock5PW; // kept as plain text in the registry file (mode 0600)
    QString Sock5Address;
    QString SockPort;
    TColor ChatBKColor = 0xFFFFFF;
    QString ChatFontName = QStringLiteral("Ms Sans Serif");
    TColor ChatFontColor = 0;
    bool ChatWordWrap = false;
    QString DCCDirectory; // empty until the plug-in starts: see ApplyDCCDirectoryDefault
    int DCCBlock = 1024;  // always within 1-65536
    bool DCCAutoReceive = false;

    TChatAppearance Appearance() const { return {ChatFontColor, ChatBKColor, ChatFontName}; }
    bool operator==(const TZentrelSettings&) const = default;
};

// The settings the whole library shares.
TZentrelSettings& Settings();

QString BoolToConfigStr(bool value);
// A DCC block size within 1-65536 (a stored 0 or a huge value must neither
// stall nor flood a send).
int ClampDCCBlock(qint64 value);
// The block size typed in the settings dialog: decimal text, clamped; false
// (and *block untouched) for anything else, so that the dialog can refuse it
// before it stores any field.
bool DCCBlockFromText(const QString& text, int* block);

// Reads the values over the defaults in `settings`. When
// "Software\Talvik_Software" is missing nothing is read (and the key
// "Zentrel" is not made); a value that is missing, empty, of another type or
// not decimal text where a number belongs keeps its default. Returns whether
// the key could be opened. Never throws.
bool LoadConfig(TZentrelSettings& settings, TRegistry& registry);
bool LoadConfig(TZentrelSettings& settings);
// Writes all fourteen values in their order, in one replacement of the
// registry file: either all of them reach it or none does. NoKey (nothing
// written, nothing to tell) when "Software\Talvik_Software" is missing;
// Failed when the file could not be replaced (*error says why; the registry
// keeps the change for its next write that succeeds). Never throws.
enum class TSaveResult { Written, NoKey, Failed };
TSaveResult SaveConfig(const TZentrelSettings& settings, TRegistry& registry,
                       QString* error = nullptr);
TSaveResult SaveConfig(const TZentrelSettings& settings, QString* error = nullptr);

// The size of a file in bytes, or -1 when it cannot be opened for reading.
qint64 FileSizeByName(const QString& fileName);

} // namespace Zentrel
