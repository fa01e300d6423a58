// Random arguments of a CTCP DCC request. A parsed offer has its fields in
// range; a refused one says why; the file name a SEND would be saved under is
// a plain base name; and the lines we would send for an offer parse back to
// the same numbers. The same bytes, read as the acknowledgements of a peer
// we send to, cut into pieces of 1 to 4 bytes: the collector reads the same
// numbers as from the whole, and the sender never counts more acknowledged
// than sent nor gets two blocks ahead.
#include "chat/DccFiles.h"
#include "chat/DccOffer.h"
#include "chat/DccTransfer.h"

#include <cstdlib>
#include <limits>

using namespace Zentrel;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

TDccOffer reparse(const QByteArray& line)
{
    // The CTCP text of "PRIVMSG nick :\x01DCC ...\x01".
    const qsizetype start = line.indexOf("\x01"
                                         "DCC ");
    check(start >= 0 && line.endsWith('\x01'));
    const QByteArray arguments = line.mid(start + 5, line.size() - start - 6);
    const TDccParse p = ParseDccOffer(arguments);
    check(p.Offer.has_value());
    return *p.Offer;
}

void acknowledgements(const QByteArray& bytes)
{
    TDccAckReader whole;
    const QList<quint32> expected = whole.Feed(bytes);
    check(whole.Pending() == int(bytes.size() % 4));
    TDccAckReader pieces;
    QList<quint32> got;
    qsizetype at = 0;
    for (qsizetype i = 0; at < bytes.size(); ++i) {
        const qsizetype n = qMin<qsizetype>(1 + (quint8(bytes[i % bytes.size()]) & 3),
                                            bytes.size() - at);
        got += pieces.Feed(QByteArrayView(bytes).sliced(at, n));
        at += n;
    }
    check(got == expected);

    // A file a little over 4 GiB, sent from near its end in small blocks.
    const quint64 fileSize = 0x1'0000'0000ull + quint64(bytes.size()) * 7;
    TDccSendProgress s(fileSize, 1 + quint32(bytes.size() % 4096));
    s.Seek(fileSize - qMin<quint64>(fileSize, quint64(bytes.size()) * 97));
    quint64 last = s.Acknowledged();
    for (const quint32 ack : expected) {
        while (s.MaySend())
            s.BlockSent(s.NextBlock());
        const TDccSendProgress::Ack r = s.OnAck(ack);
        check(r.Acknowledged >= last && r.Acknowledged <= s.Sent() && s.Sent() <= fileSize);
        check(s.Sent() - s.Acknowledged() < 2ull * s.BlockSize());
        check(!r.Complete || (s.Acknowledged() == fileSize && s.Sent() == fileSize));
        check(s.Percent() >= 0 && s.Percent() <= 100);
        last = r.Acknowledged;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray arguments(reinterpret_cast<const char*>(data), qsizetype(size));
    acknowledgements(arguments);
    const TDccParse p = ParseDccOffer(arguments);
    if (!p.Offer) {
        check(!p.Reason.isEmpty());
        return 0;
    }
    const TDccOffer& o = *p.Offer;
    check(o.Port != 0);
    check(o.Size <= quint64(std::numeric_limits<qint64>::max()));
    check(o.Position <= quint64(std::numeric_limits<qint64>::max()));
    switch (o.Kind) {
    case TDccKind::Chat: {
        check(o.Address != 0);
        const TDccOffer back = reparse(DccChatOfferLine("bob", o.Address, o.Port));
        check(back.Kind == TDccKind::Chat && back.Address == o.Address && back.Port == o.Port);
        break;
    }
    case TDccKind::Send: {
        check(o.Address != 0 && !o.FileName.isEmpty());
        check(o.HasSize || o.Size == 0);
        const TReceivedName name = ReceivedFileName(o.FileName);
        if (name.ok()) {
            check(!name.Name.contains(u'/') && !name.Name.contains(u'\\'));
            check(!name.Name.startsWith(u'.') && name.Name != u"..");
            for (const QChar c : name.Name)
                check(c.unicode() >= 0x20 && c.unicode() != 0x7F);
            check(name.Name.toUtf8().size() <= 240);
        } else {
            check(!name.Reason.isEmpty());
        }
        // Our own offer of a file of that name (blanks become "_").
        if (!o.FileName.contains('"')) {
            const TDccOffer back =
                reparse(DccSendOfferLine("bob", o.FileName, o.Address, o.Port, o.Size));
            check(back.Kind == TDccKind::Send && back.Address == o.Address && back.Port == o.Port &&
                  back.Size == o.Size && back.HasSize);
        }
        break;
    }
    case TDccKind::Resume:
    case TDccKind::Accept: {
        check(!o.FileName.isEmpty());
        if (!o.FileName.contains('"')) {
            const TDccOffer back = reparse(DccResumeLine("bob", o.FileName, o.Port, o.Position));
            check(back.Kind == TDccKind::Resume && back.Port == o.Port &&
                  back.Position == o.Position && back.FileName == o.FileName);
        }
        const TDccOffer accept = reparse(DccAcceptLine("bob", o.Port, o.Position));
        check(accept.Kind == TDccKind::Accept && accept.Port == o.Port &&
              accept.Position == o.Position);
        break;
    }
    }
    return 0;
}
