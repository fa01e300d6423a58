#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// One IRC line as the server window reads it, the guard every line we send
// passes, the PING answer, and the receive buffer that cuts the stream into
// lines. All of it works on the bytes of the wire (code page 874).
namespace Zentrel {

struct TIrcLine
{
    QByteArray Line;              // the received line, blanks and controls trimmed
    QByteArray Prefix;            // after ":" up to the first space; else the first word
    QByteArray Command;           // the second word, upper-cased
    QByteArray CommandAsReceived; // the second word as it came
    QByteArray Params;            // after the second word, one leading ":" removed
    QByteArray Nick;              // the prefix up to "!" (all of it without one)
    QByteArray UserPart;          // the prefix after "!" (all of it without one)

    // A prefix with "!" is a user; any other (a server, or no prefix) is not.
    bool IsUser() const { return Prefix.contains('!'); }
    // "<" nick "> " command " " params.
    QByteArray DefaultDisplay() const;
};

TIrcLine ParseLine(QByteArrayView line);

// The longest line we send, without its CR LF.
inline constexpr qsizetype kMaxSendLine = 510;
// CR, LF and NUL removed and the rest cut to 510 bytes: text from the network
// (nicks, channel names, CTCP arguments, file names) can never start a second
// command. Every line the plug-in sends goes through it.
QByteArray GuardLine(QByteArrayView line);
// GuardLine and CR LF: the bytes to write.
QByteArray WireLine(QByteArrayView line);

// The answer to a PING from the server, with or without a prefix and with or
// without the colon before its token (the token is echoed as received:
// "PING :x" gets "PONG :x", "PING x" gets "PONG x"); std::nullopt for every
// other line.
std::optional<QByteArray> PingReply(QByteArrayView line);

// Cuts received bytes into lines at LF. At most 1022 bytes of a line wait for
// their LF: a line that reaches 1023 bytes without one is discarded up to the
// next LF and reported once, so that nothing stalls on a line that cannot fit.
class TReceiveBuffer
{
public:
    static constexpr qsizetype Capacity = 1023;

    struct Item
    {
        enum Kind { Line, Overlong };
        Kind kind = Line;
        QByteArray line; // the bytes before the LF (CR included) for a Line
    };

    // Takes any amount of data and returns the complete lines in it, in order.
    QList<Item> Feed(QByteArrayView data);
    // Bytes of an incomplete line waiting for their LF.
    qsizetype Held() const { return held_.size(); }
    // True while the rest of an overlong line is being dropped.
    bool Discarding() const { return discarding_; }
    // How many bytes the next read should take at most, as the buffer of
    // 1023 bytes allows (the whole buffer while discarding).
    qsizetype Room() const { return discarding_ ? Capacity : Capacity - held_.size(); }
    void Clear();

private:
    QByteArray held_;
    bool discarding_ = false;
};

// The status line shown for a discarded overlong line.
QByteArray OverlongLineNotice();

} // namespace Zentrel
