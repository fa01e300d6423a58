#include "chat/DccTransfer.h"

#include "chat/IrcText.h"

namespace Zentrel {

int TDccTransfers::Add(Role role, quint16 port, QByteArrayView nick, quint64 fileSize,
                       quint64 position)
{
    Entry e;
    e.Id = nextId_++;
    e.role = role;
    e.Port = port;
    e.Nick = nick.toByteArray();
    e.FileSize = fileSize;
    e.Position = position;
    entries_.append(e);
    return e.Id;
}

void TDccTransfers::StopMatching(int id)
{
    for (Entry& e : entries_)
        if (e.Id == id)
            e.Port = 0;
}

void TDccTransfers::Finish(int id)
{
    entries_.removeIf([id](const Entry& e) { return e.Id == id; });
}

void TDccTransfers::Clear()
{
    entries_.clear();
}

const TDccTransfers::Entry* TDccTransfers::Find(int id) const
{
    for (const Entry& e : entries_)
        if (e.Id == id)
            return &e;
    return nullptr;
}

TDccTransfers::Entry* TDccTransfers::live(Role role, quint16 port, QByteArrayView nick)
{
    if (port == 0)
        return nullptr;
    for (Entry& e : entries_)
        if (e.role == role && e.Port == port && EqualsNoCase(e.Nick, nick))
            return &e;
    return nullptr;
}

TDccTransfers::Match TDccTransfers::MatchResume(quint16 port, QByteArrayView nick, quint64 position)
{
    Entry* e = live(Role::Sending, port, nick);
    if (!e)
        return {0, "no transfer waits on that port"};
    if (position > e->FileSize)
        return {0, "position beyond the end of the file"};
    e->Port = 0;
    e->Position = position;
    return {e->Id, {}};
}

TDccTransfers::Match TDccTransfers::MatchAccept(quint16 port, QByteArrayView nick, quint64 position)
{
    Entry* e = live(Role::Receiving, port, nick);
    if (!e)
        return {0, "no resume was asked on that port"};
    if (position != e->Position)
        return {0, "not the position asked for"};
    e->Port = 0;
    return {e->Id, {}};
}

TDccTransfers& DCCTransfers()
{
    static TDccTransfers table;
    return table;
}

void TDccUnfinished::Started(QByteArrayView offeredName, quint64 size, const QString& path)
{
    entries_.removeIf([&](const Entry& e) { return e.Path == path; });
    // Bounded: the oldest go first.
    constexpr qsizetype kMaxEntries = 256;
    while (entries_.size() >= kMaxEntries)
        entries_.removeFirst();
    entries_.append({offeredName.toByteArray(), size, path, true});
}

void TDccUnfinished::Stopped(const QString& path)
{
    for (Entry& e : entries_)
        if (e.Path == path)
            e.Writing = false;
}

void TDccUnfinished::Completed(const QString& path)
{
    entries_.removeIf([&](const Entry& e) { return e.Path == path; });
}

QList<TDccUnfinished::Entry> TDccUnfinished::Resumable(QByteArrayView offeredName,
                                                       quint64 size) const
{
    QList<Entry> out;
    for (auto it = entries_.crbegin(); it != entries_.crend(); ++it)
        if (!it->Writing && it->Size == size && it->OfferedName == offeredName)
            out << *it;
    return out;
}

bool TDccUnfinished::Writing(const QString& path) const
{
    for (const Entry& e : entries_)
        if (e.Writing && e.Path == path)
            return true;
    return false;
}

TDccUnfinished& DccUnfinished()
{
    static TDccUnfinished table;
    return table;
}

QByteArray DccAcknowledgement(quint64 transferred)
{
    const auto v = quint32(transferred);
    QByteArray out(4, Qt::Uninitialized);
    out[0] = char(v >> 24);
    out[1] = char(v >> 16);
    out[2] = char(v >> 8);
    out[3] = char(v);
    return out;
}

QList<quint32> TDccAckReader::Feed(QByteArrayView data)
{
    QList<quint32> acks;
    for (const char c : data) {
        bytes_[fill_++] = static_cast<unsigned char>(c);
        if (fill_ == 4) {
            acks.append(quint32(bytes_[0]) << 24 | quint32(bytes_[1]) << 16 |
                        quint32(bytes_[2]) << 8 | quint32(bytes_[3]));
            fill_ = 0;
        }
    }
    return acks;
}

quint64 ExpandAcknowledgement(quint32 ack, quint64 sent)
{
    const quint32 behind = quint32(sent) - ack; // modulo 2^32
    return behind > sent ? 0 : sent - behind;
}

int DccPercent(quint64 done, quint64 size)
{
    if (size == 0)
        return 0;
    if (done >= size)
        return 100;
    return int((unsigned __int128)done * 100 / size);
}

TDccSendProgress::TDccSendProgress(quint64 size, quint32 blockSize)
    : size_(size), block_(qBound<quint32>(1, blockSize, 65536))
{}

void TDccSendProgress::Seek(quint64 position)
{
    sent_ = qMin(position, size_);
    acked_ = sent_;
}

quint64 TDccSendProgress::NextBlock() const
{
    return qMin<quint64>(block_, size_ - sent_);
}

bool TDccSendProgress::MaySend() const
{
    return sent_ < size_ && sent_ - acked_ < block_;
}

void TDccSendProgress::BlockSent(quint64 length)
{
    sent_ = qMin(size_, sent_ + length);
}

TDccSendProgress::Ack TDccSendProgress::OnAck(quint32 ack)
{
    Ack r;
    acked_ = qMax(acked_, ExpandAcknowledgement(ack, sent_));
    r.Acknowledged = acked_;
    r.Complete = acked_ >= size_ && sent_ >= size_;
    r.SendNext = !r.Complete && MaySend();
    return r;
}

TDccReceiveProgress::TDccReceiveProgress(quint64 size, quint64 start)
    : TDccReceiveProgress(size, start, size > 0)
{}

TDccReceiveProgress::TDccReceiveProgress(quint64 size, quint64 start, bool sized)
    : size_(size), transferred_(sized ? qMin(start, size) : start), sized_(sized)
{}

quint64 TDccReceiveProgress::Accept(quint64 length)
{
    quint64 take = length;
    if (sized_)
        take = transferred_ >= size_ ? 0 : qMin(length, size_ - transferred_);
    excess_ += length - take;
    transferred_ += take;
    return take;
}

QByteArray DccByteText(quint64 done, quint64 size)
{
    return QByteArray::number(done) + '/' + QByteArray::number(size);
}

QByteArray DccRowCaption(bool receiving, QByteArrayView fileName)
{
    return (receiving ? "<-- " : "--> ") + fileName.toByteArray();
}

QByteArray DccPercentText(int percent)
{
    return QByteArray::number(percent) + '%';
}

QByteArray DccWindowCaption(int percent)
{
    return (percent == 0 ? QByteArray("(uncount)") : QByteArray::number(percent)) +
           "% DCC Transfer Module";
}

QByteArray DccSendCaption()
{
    return QByteArrayLiteral("DCC Transfer Module (Send)");
}

} // namespace Zentrel
