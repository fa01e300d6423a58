// Line mode's assembly and editing, driven the way the socket drives them:
// received pieces (never more than the line bound at once) are appended,
// edited when asked, and every complete line is taken in pieces of random
// size. The first bytes choose the line end, the bound, editing and echo.
// Without editing, nothing is lost or doubled and each line is cut at the
// first line end (or, without one, only once the bound is reached); with
// it, no backspace or tab is ever held and the echo holds only what the
// peer sent, blanks and backspaces. Memory stays within the bound.
#include "net/LineBuffer.h"

#include <QList>

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

quint32 next(quint32& seed)
{
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool edit = data[0] & 1;
    const bool echo = data[0] & 2;
    const int limit = 1 + data[1] % 64;
    quint32 seed = data[2];
    const qsizetype endLen = 1 + data[3] % 3;
    const QByteArray lineEnd = in.sliced(4, qMin<qsizetype>(endLen, in.size() - 4)).toByteArray();
    const QByteArrayView stream = in.sliced(4 + lineEnd.size());

    TLineBuffer b;
    QByteArray delivered;
    QList<QByteArray> lines;
    bool anyTooLong = false;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        const qsizetype n = qMin<qsizetype>(1 + next(seed) % limit, stream.size() - pos);
        const QByteArrayView fresh = stream.sliced(pos, n);
        pos += n;
        const qsizetype heldBefore = b.Size();
        b.Append(fresh);
        int len = int(n);
        if (edit) {
            const QByteArray e = b.Edit(heldBefore, len, echo);
            check(echo || e.isEmpty());
            for (char c : e)
                check(c == ' ' || c == '\b' || fresh.contains(c));
            check(!b.Bytes().contains('\b') && !b.Bytes().contains('\t'));
        }
        check(len >= 0 && len <= b.Size());
        qsizetype from = b.SearchStart(len, lineEnd.size());
        for (;;) {
            bool tooLong = false;
            const int length = b.FindLine(lineEnd, from, limit, &tooLong);
            if (length == 0)
                break;
            check(length <= b.Size());
            b.SetLineLength(length);
            QByteArray line;
            char piece[64];
            while (b.LineLength() > 0) {
                const int want = 1 + int(next(seed) % sizeof piece);
                const int peeked = b.Take(piece, want, true, true);
                const int got = b.Take(piece, want, true, false);
                check(peeked == got && got > 0 && got <= want);
                line.append(piece, got);
            }
            check(line.size() == length);
            if (tooLong) {
                anyTooLong = true;
                // A piece is at most the bound (a tab widens a byte to 8).
                check(line.size() >= limit && line.size() < (edit ? 9 : 2) * limit);
                check(!line.contains(lineEnd));
            } else {
                check(line.endsWith(lineEnd) && line.indexOf(lineEnd) == length - lineEnd.size());
            }
            delivered += line;
            lines.append(line);
            from = 0;
        }
        // What stays is shorter than the bound and holds no complete line.
        check(b.Size() < limit && !b.Contains(lineEnd));
    }
    if (!edit) {
        check(delivered + b.Bytes() == stream);
        if (!anyTooLong) {
            // The same lines as cutting the whole stream at each line end.
            QList<QByteArray> reference;
            qsizetype at = 0;
            for (qsizetype e; (e = stream.toByteArray().indexOf(lineEnd, at)) >= 0;
                 at = e + lineEnd.size())
                reference.append(stream.sliced(at, e + lineEnd.size() - at).toByteArray());
            check(lines == reference);
        }
    }
    const QByteArray rest = b.TakeAll();
    check(b.IsEmpty() && b.LineLength() == 0 && rest.size() < limit);
    return 0;
}
