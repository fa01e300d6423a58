#include "chat/Ident.h"

#include "chat/IrcLine.h"
#include "chat/IrcText.h"

namespace Zentrel {

std::optional<QByteArray> IdentReply(QByteArrayView query, QByteArrayView nick)
{
    if (query.size() > kMaxIdentQuery)
        return std::nullopt;
    const QByteArray trimmed = TrimControls(query);
    const qsizetype comma = trimmed.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    const auto first = ParseDecimal(QByteArrayView(trimmed).first(comma), 65535);
    const auto second = ParseDecimal(QByteArrayView(trimmed).sliced(comma + 1), 65535);
    if (!first || !second || *first == 0 || *second == 0)
        return std::nullopt;
    return WireLine(trimmed + ":USERID:UNIX:" + nick.toByteArray());
}

TIdentReader::State TIdentReader::Feed(QByteArrayView data, QByteArrayView nick, QByteArray* reply)
{
    const qsizetype lf = data.indexOf('\n');
    line_.append(lf < 0 ? data : data.first(lf));
    if (line_.size() > kMaxIdentQuery)
        return State::Refuse;
    if (lf < 0)
        return State::NeedMore;
    const auto answer = IdentReply(line_, nick);
    if (!answer)
        return State::Refuse;
    if (reply)
        *reply = *answer;
    return State::Reply;
}

} // namespace Zentrel
