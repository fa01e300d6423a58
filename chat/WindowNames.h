#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The window-name rules of the chat plug-in: a child window is addressed by
// its caption, matched without regard to case.
namespace Zentrel {

enum class TWindowKind {
    Channel,   // caption beginning "#" or "&": nick list shown
    Query,     // any other caption: a private conversation named after the nick
    DccChat,   // "DCC-CHAT (" nick ")"
    Encrypted, // caption beginning "$" (the unfinished encrypted mode)
};

// The caption's first word (the text before the first space) without a
// leading "*" (the unread mark).
QByteArray CaptionName(QByteArrayView caption);
// CaptionName with, in addition, up to two leading "$" removed: the IRC
// target of the window.
QByteArray CaptionTarget(QByteArrayView caption);
// The kind of a caption (an unread mark in front does not change it).
TWindowKind WindowKindOf(QByteArrayView caption);
bool IsChannelName(QByteArrayView name);
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
    QByteArray Line; // "JOIN " and the link text from its "#" (when Join)
};
TLinkAction LinkClick(QByteArrayView link);

} // namespace Zentrel
