#include "chat/WindowNames.h"

#include "chat/IrcText.h"

namespace Zentrel {

QByteArray CaptionName(QByteArrayView caption)
{
    QByteArray name = FirstWord(caption);
    if (name.startsWith('*'))
        name.remove(0, 1);
    return name;
}

QByteArray CaptionTarget(QByteArrayView caption)
{
    QByteArray target = CaptionName(caption);
    for (int i = 0; i < 2 && target.startsWith('$'); ++i)
        target.remove(0, 1);
    return target;
}

bool IsChannelName(QByteArrayView name)
{
    return name.startsWith('#') || name.startsWith('&');
}

TWindowKind WindowKindOf(QByteArrayView caption)
{
    if (caption.startsWith('*'))
        caption = caption.sliced(1); // the unread mark
    if (IsChannelName(caption))
        return TWindowKind::Channel;
    if (caption.startsWith('$'))
        return TWindowKind::Encrypted;
    if (caption.startsWith("DCC-CHAT (") && caption.endsWith(')'))
        return TWindowKind::DccChat;
    return TWindowKind::Query;
}

bool SameWindowName(QByteArrayView a, QByteArrayView b)
{
    return EqualsNoCase(a, b);
}

QByteArray RoutingName(QByteArrayView name)
{
    QByteArray out;
    out.reserve(name.size());
    for (const char c : name)
        if (c != '\r' && c != '\n' && c != ':')
            out.append(c);
    return out;
}

QByteArray LinkifyChannels(QByteArrayView line)
{
    QByteArray out;
    out.reserve(line.size() + 16);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if ((c == ' ' || c == ',') && i + 1 < line.size() && line[i + 1] == '#')
            out.append(" http:");
        else
            out.append(c);
    }
    return out;
}

QByteArray DccChatCaption(QByteArrayView nick)
{
    return "DCC-CHAT (" + nick.toByteArray() + ')';
}

QByteArray DccChatTabCaption(QByteArrayView nick)
{
    return "DCC-" + nick.toByteArray();
}

QByteArray ClosingPartLine(QByteArrayView caption)
{
    const bool channel =
        IsChannelName(caption) || (caption.size() > 1 && IsChannelName(caption.sliced(1)));
    return channel ? "PART " + CaptionTarget(caption) : QByteArray();
}

TLinkAction LinkClick(QByteArrayView link)
{
    const qsizetype at = link.indexOf("http:#");
    if (at < 0)
        return {};
    return {true, "JOIN " + link.sliced(at + 5).toByteArray()};
}

} // namespace Zentrel
