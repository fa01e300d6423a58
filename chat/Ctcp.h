#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QLocale>

// The client-to-client protocol inside PRIVMSG (requests) and NOTICE
// (replies): 0x01, a command word, optionally a space and arguments, 0x01.
namespace Zentrel {

inline constexpr char kCtcpMark = '\x01';
inline constexpr qint64 kMsecsPerDay = 86400000;

bool IsCtcp(QByteArrayView text);

struct TCtcpMessage
{
    QByteArray Text;      // every 0x01 removed and trimmed
    QByteArray Command;   // the first word, upper-cased
    QByteArray Arguments; // the rest; the whole text when it has no space
};
TCtcpMessage ParseCtcp(QByteArrayView text);

// 0x01 + command [+ " " + arguments] + 0x01.
QByteArray CtcpText(QByteArrayView command, QByteArrayView arguments = {});

// The milliseconds since midnight of a time of day (what PING carries).
qint64 MsecsSinceMidnight(const QTime& time);
// The current date and time in the short date and long time formats of the
// locale (without a time zone), as the TIME reply carries them.
QByteArray CtcpTimeText(const QDateTime& now, const QLocale& locale = QLocale::system());

struct TCtcpRequest
{
    enum Kind { Action, Ping, Time, Version, ClientInfo, Dcc, PubKeyReq, RsaCrypted, Other };
    Kind kind = Other;
    TCtcpMessage message;
    // Action: "* " nick " " arguments, in the window of the PRIVMSG.
    // RsaCrypted: "<!" nick "!> ", in the window "$" + nick.
    // Every other kind: the line for the status log.
    QByteArray Display;
    // The NOTICE that answers it (PING, TIME, VERSION, CLIENTINFO), else empty.
    QByteArray Reply;
};
TCtcpRequest CtcpRequest(QByteArrayView nick, QByteArrayView text, const QDateTime& now,
                         const QLocale& locale = QLocale::system());

// The status line for a CTCP reply (NOTICE text beginning with 0x01), or
// empty when nothing is shown (a PUBKEYREQ reply). A PING reply whose
// argument is our time of day shows the delay in whole seconds (at least 1),
// counted across midnight.
QByteArray CtcpReplyDisplay(QByteArrayView nick, QByteArrayView text, qint64 msecsSinceMidnight);
// ((86400000 - sent + now) mod 86400000) div 1000 + 1.
qint64 CtcpPingSeconds(quint64 sent, qint64 msecsSinceMidnight);

// Requests we send: "PRIVMSG " nick " :" 0x01 command [" " arguments] 0x01.
QByteArray CtcpRequestLine(QByteArrayView nick, QByteArrayView command,
                           QByteArrayView arguments = {});
QByteArray CtcpPingLine(QByteArrayView nick, qint64 msecsSinceMidnight);

} // namespace Zentrel
