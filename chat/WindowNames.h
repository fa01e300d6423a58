#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The window-name rules of the chat plug-in: a channel, query or
// encrypted-mode window is addressed by its caption, matched without regard
// to case. A window's kind is fixed when it is made and kept with it; a DCC
// chat window is never addressed by its caption.
namespace Zentrel {

enum class TWindowKind {
    Channel,   // made for a name beginning "#" or "&": nick list shown
    Query,     // a private conversation named after the nick
    DccChat,   // "DCC-CHAT (" nick ")", made only for a DCC chat
    Encrypted, // made for a name beginning "$" (the unfinished encrypted mode)
};

// The caption's first word (the text before the first space) without a
// leading "*" (the unread mark).
QByteArray CaptionName(QByteArrayView caption);
// CaptionName with, in addition, up to two leading "$" removed: the IRC
// target of the window.
QByteArray CaptionTarget(QByteArrayView caption);
// The kind of a window made for a name (an unread mark in front does not
// change it): a channel, an encrypted-mode window or a query. No name makes
// a DCC chat window.
TWindowKind NewWindowKind(QByteArrayView name);
bool IsChannelName(QByteArrayView name);
// A channel name taken from an address or a link ends at a comma, a blank or
// a control character: what follows would be more channels ("#a,0" parts
// every channel) or more of a line.
QByteArray CutChannelName(QByteArrayView channel);
QString CutChannelName(const QString& channel);
bool SameWindowName(QByteArrayView a, QByteArrayView b);

// A target name as routing uses it: every CR, LF and ":" removed.
QByteArray RoutingName(QByteArrayView name);

// Channel names become links: the space in front of each "#" becomes
// " http:", and so does a comma in front of "#".
QByteArray LinkifyChannels(QByteArrayView line);

// The caption of a DCC chat window with a nick, and the host's tab caption.
QByteArray DccChatCaption(QByteArrayView nick);
QByteArray DccChatTabCaption(QByteArrayView nick);

// Closing a window whose caption begins "#" or "&", or has one of them as
// its second character (behind an unread mark), sends "PART " and its target;
// an empty result means nothing is sent.
QByteArray ClosingPartLine(QByteArrayView caption);

// A clicked link in a conversation: a channel link ("http:#...") is joined,
// every other link opened in the browser.
struct TLinkAction
{
    bool Join = false;
    QByteArray Line; // "JOIN " and the channel of the link from its "#" (when Join)
};
TLinkAction LinkClick(QByteArrayView link);

} // namespace Zentrel
