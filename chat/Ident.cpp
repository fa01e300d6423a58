#include "chat/Ident.h"

#include "chat/IrcLine.h"
#include "chat/IrcText.h"

namespace Zentrel {

std::optional<TIdentQuery> ParseIdentQuery(QByteArrayView query)
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
    return TIdentQuery{quint16(*first), quint16(*second), trimmed};
}

QByteArray IdentReply(const TIdentQuery& query, const std::optional<QByteArray>& nick)
{
    if (!nick)
        return WireLine(query.Text + ":ERROR:NO-USER");
    return WireLine(query.Text + ":USERID:UNIX:" + *nick);
}

TIdentReader::State TIdentReader::Feed(QByteArrayView data, const TIdentLookup& lookup,
                                       QByteArray* reply)
{
    const qsizetype lf = data.indexOf('\n');
    line_.append(lf < 0 ? data : data.first(lf));
    if (line_.size() > kMaxIdentQuery)
        return State::Refuse;
    if (lf < 0)
        return State::NeedMore;
    const auto query = ParseIdentQuery(line_);
    if (!query)
        return State::Refuse;
    if (reply)
        *reply = IdentReply(*query, lookup ? lookup(query->Ours, query->Theirs) : std::nullopt);
    return State::Reply;
}

void TIdentTable::Add(const Entry& entry)
{
    Remove(entry.Owner);
    entries_ << entry;
}

void TIdentTable::Remove(int owner)
{
    entries_.removeIf([owner](const Entry& e) { return e.Owner == owner; });
}

int TIdentTable::Find(QByteArrayView address, quint16 localPort, quint16 serverPort) const
{
    for (const Entry& e : entries_)
        if (e.Address == address && e.LocalPort == localPort && e.ServerPort == serverPort)
            return e.Owner;
    return 0;
}

bool TIdentTable::Uses(QByteArrayView address) const
{
    for (const Entry& e : entries_)
        if (e.Address == address)
            return true;
    return false;
}

} // namespace Zentrel
