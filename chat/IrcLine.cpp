#include "chat/IrcLine.h"

#include "chat/IrcText.h"

namespace Zentrel {

QByteArray TIrcLine::DefaultDisplay() const
{
    return '<' + Nick + "> " + CommandAsReceived + ' ' + Params;
}

TIrcLine ParseLine(QByteArrayView received)
{
    TIrcLine p;
    p.Line = TrimControls(received);
    const QByteArrayView line = p.Line;
    const qsizetype firstSpace = line.indexOf(' ');
    QByteArrayView rest;
    if (line.startsWith(':'))
        p.Prefix = (firstSpace < 0 ? line.sliced(1) : line.sliced(1, firstSpace - 1)).toByteArray();
    else
        p.Prefix = (firstSpace < 0 ? line : line.first(firstSpace)).toByteArray();
    if (firstSpace >= 0)
        rest = line.sliced(firstSpace + 1);
    const qsizetype secondSpace = rest.indexOf(' ');
    if (secondSpace < 0) {
        p.CommandAsReceived = rest.toByteArray();
    } else {
        p.CommandAsReceived = rest.first(secondSpace).toByteArray();
        QByteArrayView params = rest.sliced(secondSpace + 1);
        if (params.startsWith(':'))
            params = params.sliced(1);
        p.Params = params.toByteArray();
    }
    p.Command = AsciiUpper(p.CommandAsReceived);
    const qsizetype bang = p.Prefix.indexOf('!');
    p.Nick = bang < 0 ? p.Prefix : p.Prefix.left(bang);
    p.UserPart = bang < 0 ? p.Prefix : p.Prefix.mid(bang + 1);
    return p;
}

QByteArray GuardLine(QByteArrayView line)
{
    QByteArray out;
    out.reserve(qMin(line.size(), kMaxSendLine));
    for (const char c : line) {
        if (c == '\r' || c == '\n' || c == '\0')
            continue;
        if (out.size() == kMaxSendLine)
            break;
        out.append(c);
    }
    return out;
}

QByteArray WireLine(QByteArrayView line)
{
    return GuardLine(line) + "\r\n";
}

std::optional<QByteArray> PingReply(QByteArrayView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= 0x20)
        --end;
    while (begin < end && static_cast<unsigned char>(line[begin]) <= 0x20)
        ++begin;
    QByteArrayView rest = line.sliced(begin, end - begin);
    if (rest.startsWith(':')) {
        const qsizetype space = rest.indexOf(' ');
        if (space < 0)
            return std::nullopt;
        rest = rest.sliced(space + 1);
        while (rest.startsWith(' '))
            rest = rest.sliced(1);
    }
    const qsizetype space = rest.indexOf(' ');
    const QByteArrayView command = space < 0 ? rest : rest.first(space);
    if (!EqualsNoCase(command, "PING"))
        return std::nullopt;
    if (space < 0)
        return QByteArrayLiteral("PONG");
    QByteArrayView token = rest.sliced(space + 1);
    while (token.startsWith(' '))
        token = token.sliced(1);
    return "PONG " + token.toByteArray();
}

QList<TReceiveBuffer::Item> TReceiveBuffer::Feed(QByteArrayView data)
{
    QList<Item> items;
    while (!data.isEmpty()) {
        const qsizetype lf = data.indexOf('\n');
        if (discarding_) {
            if (lf < 0)
                break;
            discarding_ = false;
            data = data.sliced(lf + 1);
            continue;
        }
        const qsizetype take = lf < 0 ? data.size() : lf;
        if (held_.size() + take >= Capacity) {
            // No LF within the buffer's reach: this line cannot be handled.
            items.append(Item{Item::Overlong, {}});
            held_.clear();
            if (lf < 0) {
                discarding_ = true;
                break;
            }
            data = data.sliced(lf + 1);
            continue;
        }
        held_.append(data.first(take));
        if (lf < 0)
            break;
        items.append(Item{Item::Line, held_});
        held_.clear();
        data = data.sliced(lf + 1);
    }
    return items;
}

void TReceiveBuffer::Clear()
{
    held_.clear();
    discarding_ = false;
}

QByteArray OverlongLineNotice()
{
    return QByteArrayLiteral(
        "*** A received line of 1023 bytes or more had no line end: discarded up to the next one");
}

} // namespace Zentrel
