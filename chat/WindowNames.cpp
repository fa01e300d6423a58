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

TWindowKind NewWindowKind(QByteArrayView name)
{
    if (name.startsWith('*'))
        name = name.sliced(1); // the unread mark
    if (IsChannelName(name))
        return TWindowKind::Channel;
    if (name.startsWith('$'))
        return TWindowKind::Encrypted;
    return TWindowKind::Query;
}

namespace {

bool endsChannelName(char16_t c)
{
    return c == u',' || c == u' ' || c < 0x20 || c == 0x7F;
}

} // namespace

QByteArray CutChannelName(QByteArrayView channel)
{
    qsizetype end = 0;
    while (end < channel.size() && !endsChannelName(char16_t(quint8(channel[end]))))
        ++end;
    return channel.first(end).toByteArray();
}

QString CutChannelName(const QString& channel)
{
    qsizetype end = 0;
    while (end < channel.size() && !endsChannelName(channel[end].unicode()))
        ++end;
    return channel.left(end);
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
    return {true, "JOIN " + CutChannelName(link.sliced(at + 5))};
}

} // namespace Zentrel
