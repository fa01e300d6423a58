#pragma once

#include <QByteArray>

// The fixed texts of the chat plug-in that more than one unit sends or
// shows. The web addresses are this client's own pages.
namespace Zentrel::Texts {

inline constexpr char Version[] = "0.98 BETA (20010428)";
inline constexpr char PluginName[] = "IRC Plugin 0.98 BETA (20010428)";
inline constexpr char MenuGroup[] = "IRC 0.98 BETA (20010428)";

// The client's home page (QUIT on disconnect, CLIENTINFO, the bare ME), the
// page a chat window's bare QUIT names, and the one the server window's does.
inline constexpr char HomePage[] = "http://brevant.example/";
inline constexpr char ChatPage[] = "http://brevant.example/zentrel/";
inline constexpr char ServerPage[] = "http://brevant.example/zentrel/irc/";

inline QByteArray VersionReply()
{
    return QByteArrayLiteral("IRC Plugin 0.98 BETA (20010428) (based on Velmic)");
}
inline QByteArray ClientInfoReply()
{
    return QByteArrayLiteral("Brevant IRC Plugins 0.98 BETA (20010428) (Based on Velmic. Find "
                             "lastest Velmic version at ") +
           HomePage + ')';
}
// Sent by the disconnect button.
inline QByteArray DisconnectQuit()
{
    return "QUIT " + ClientInfoReply();
}
// Sent when the server window closes.
inline QByteArray CloseQuit()
{
    return QByteArrayLiteral("QUIT IRC Plugins (Brevant++)");
}

} // namespace Zentrel::Texts
