// Random bytes from an IRC server. The first byte chooses how the stream is
// cut into reads. The receive buffer never holds a line of 1023 bytes, every
// line it gives has no LF and parses into parts of itself, and every line the
// session would send is one guarded line: no CR, LF or NUL, at most 510 bytes.
#include "chat/IrcLine.h"
#include "chat/IrcText.h"
#include "chat/ServerSession.h"

#include <cstdlib>

using namespace Zentrel;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkParse(const QByteArray& line)
{
    check(!line.contains('\n'));
    const TIrcLine p = ParseLine(line);
    check(line.contains(p.Line));
    check(p.Line.isEmpty() || (static_cast<unsigned char>(p.Line.front()) > 0x20 &&
                               static_cast<unsigned char>(p.Line.back()) > 0x20));
    check(p.Command == AsciiUpper(p.CommandAsReceived));
    check(p.Line.contains(p.Prefix) && p.Line.contains(p.Params));
    check(p.Prefix.startsWith(p.Nick) && p.Prefix.endsWith(p.UserPart));
    const QByteArray guarded = GuardLine(line);
    check(guarded.size() <= kMaxSendLine);
    check(!guarded.contains('\r') && !guarded.contains('\n') && !guarded.contains('\0'));
    if (const auto pong = PingReply(line))
        check(pong->startsWith("PONG") && !pong->contains('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 97;
    const QByteArrayView input(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    TDccTransfers transfers;
    transfers.Add(TDccTransfers::Role::Sending, 4000, "bob", 1000);
    transfers.Add(TDccTransfers::Role::Receiving, 4001, "bob", 1000, 10);
    TServerSession session(transfers);
    session.NickBox = "me";
    session.DataFolder.clear();
    session.AutoRenameNick = true;
    session.Now = [] { return QDateTime(QDate(2024, 1, 2), QTime(23, 59, 59, 999)); };
    qint64 clock = 0;
    session.MonotonicMs = [&clock] { return clock += 7; };
    session.Locale = QLocale::c();

    TReceiveBuffer buffer;
    for (qsizetype i = 0; i < input.size(); i += chunk) {
        const QByteArrayView piece = input.sliced(i, qMin(chunk, input.size() - i));
        for (const TReceiveBuffer::Item& item : buffer.Feed(piece)) {
            if (item.kind == TReceiveBuffer::Item::Line) {
                check(item.line.size() < TReceiveBuffer::Capacity);
                checkParse(item.line);
            }
        }
        check(buffer.Held() < TReceiveBuffer::Capacity && buffer.Room() > 0);
        TEffects effects = session.Receive(piece);
        // A DCC chat request holds the lines after it: it is answered at
        // once, so that they are handled too.
        if (session.Holding())
            effects += session.ReleaseHeld(data[0] & 1);
        for (const TEffect& e : effects) {
            if (e.kind == TEffect::Send || e.kind == TEffect::DccChatText ||
                e.kind == TEffect::DccResume) {
                check(e.Text.size() <= kMaxSendLine);
                check(!e.Text.contains('\r') && !e.Text.contains('\n') && !e.Text.contains('\0'));
            }
            // Received lines only ever name windows the session holds.
            if (e.kind == TEffect::Show || e.kind == TEffect::SetCaption ||
                e.kind == TEffect::NickList || e.kind == TEffect::CreateWindow)
                check(session.Child(e.Window) != nullptr);
            if (e.kind == TEffect::DccSendOffer) {
                check(!e.LocalName.isEmpty() && !e.LocalName.contains(u'/') &&
                      !e.LocalName.startsWith(u'.'));
                check(e.Offer.Port != 0 && e.Offer.Address != 0);
            }
        }
        check(session.Buffer().Held() == buffer.Held());
    }
    return 0;
}
