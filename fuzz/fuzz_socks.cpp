// The SOCKS negotiation against a hostile proxy. The first bytes choose the
// request; the rest is what the proxy sends. The same bytes must give the
// same steps whether they are read as a socket reads them (never more than
// the negotiation wants), in random pieces, or all at once before a SOCKS 4
// target is resolved; the reply buffer stays bounded, at most one step ends
// the negotiation and nothing follows it, and every message sent is the one
// the request builders make.
#include "net/Socks.h"

#include <cstdlib>

using namespace Socks;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

constexpr quint32 Target = 0x0100007F;

struct Run
{
    Actions steps;
    QByteArray leftover;
    bool ended = false;
};

void note(TSocksNegotiation& n, Run& run, const Actions& got)
{
    for (const Action& a : got) {
        // Nothing after the step that ends the negotiation.
        check(!run.ended);
        if (a.kind == Action::Failed || a.kind == Action::Granted)
            run.ended = true;
        run.steps.append(a);
    }
    check(n.ReplySize() <= ReplyBufferSize);
    check(n.Wanted() >= 0 && n.Wanted() <= ReplyBufferSize);
    check(n.BoundAddr().size() <= MaxField);
}

Actions connect(TSocksNegotiation& n, const Request& r, bool resolveNow)
{
    n.Begin(r);
    Actions first = n.Connected();
    if (resolveNow && !first.isEmpty() && first.last().kind == Action::LookUpTarget)
        first += n.TargetResolved(Target);
    return first;
}

// As the socket reads: only what is wanted; the rest is the session's.
Run asSocket(const Request& r, QByteArrayView proxy)
{
    TSocksNegotiation n;
    Run run;
    note(n, run, connect(n, r, true));
    qsizetype pos = 0;
    while (pos < proxy.size() && !run.ended) {
        const int wanted = n.Wanted();
        check(wanted > 0);
        const qsizetype take = qMin<qsizetype>(wanted, proxy.size() - pos);
        note(n, run, n.Received(proxy.sliced(pos, take)));
        pos += take;
    }
    check(n.Leftover().isEmpty());
    if (run.ended && run.steps.last().kind == Action::Granted)
        run.leftover = proxy.sliced(pos).toByteArray();
    return run;
}

Run inPieces(const Request& r, QByteArrayView proxy, quint32 seed, bool resolveLate)
{
    TSocksNegotiation n;
    Run run;
    Actions first = connect(n, r, !resolveLate);
    const bool lookUp = resolveLate && first.last().kind == Action::LookUpTarget;
    note(n, run, first);
    qsizetype pos = 0;
    while (pos < proxy.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype take =
            lookUp ? proxy.size() : qMin<qsizetype>(1 + (seed >> 16) % 9, proxy.size() - pos);
        note(n, run, n.Received(proxy.sliced(pos, take)));
        pos += take;
    }
    if (lookUp)
        note(n, run, n.TargetResolved(Target));
    run.leftover = n.TakeLeftover();
    return run;
}

void checkMessages(const Request& r, const Actions& steps)
{
    for (const Action& a : steps) {
        if (a.kind != Action::Send)
            continue;
        const QByteArray& b = a.bytes;
        check(!b.isEmpty());
        switch (b[0]) {
        case 1: // user name and password
            check(b == Socks5Auth(r.usercode, r.password));
            break;
        case 4:
            check(b == (r.level == Level::V4 ? Socks4Request(r.port, Target, r.usercode)
                                             : Socks4ARequest(r.port, r.usercode, r.host)));
            break;
        case 5:
            check(b == Socks5Greeting(r.authenticate ? 2 : 0) ||
                  b == Socks5Request(r.host, r.port));
            break;
        default:
            check(false);
        }
    }
    // The builders write their length fields truthfully.
    const QByteArray request = Socks5Request(r.host, r.port);
    check(request.size() == 7 + r.host.size() && quint8(request[4]) == r.host.size());
    const QByteArray auth = Socks5Auth(r.usercode, r.password);
    check(auth.size() == 3 + r.usercode.size() + r.password.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    Request r;
    r.level = Level(data[0] % 3);
    r.authenticate = data[0] & 4;
    r.port = (data[1] << 8) | data[2];
    const qsizetype userLen = data[3] % 8, passLen = data[4] % 8, hostLen = data[5] % 32;
    qsizetype pos = 6;
    auto field = [&](qsizetype len) {
        const QByteArray f = in.sliced(pos, qMin(len, in.size() - pos)).toByteArray();
        pos += f.size();
        return f;
    };
    r.usercode = field(userLen);
    r.password = field(passLen);
    r.host = field(hostLen);
    if (!RequestError(r).isEmpty())
        return 0;
    const quint32 seed = pos < in.size() ? quint8(in[pos++]) : 0;
    const QByteArrayView proxy = in.sliced(pos);

    const Run reference = asSocket(r, proxy);
    checkMessages(r, reference.steps);
    const Run pieces = inPieces(r, proxy, seed, false);
    check(pieces.steps == reference.steps);
    if (reference.ended && reference.steps.last().kind == Action::Granted)
        check(pieces.leftover == reference.leftover);
    // Bytes that come before a SOCKS 4 request has gone out wait for it,
    // within what one reply can be.
    if (r.level == Level::V4 && proxy.size() <= ReplyBufferSize) {
        const Run late = inPieces(r, proxy, seed, true);
        check(late.steps == reference.steps);
    }
    return 0;
}
