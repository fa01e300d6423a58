#include "chat/Ctcp.h"

#include "chat/ChatTexts.h"
#include "chat/IrcText.h"

#include "platform/Cp874.h"

namespace Zentrel {

bool IsCtcp(QByteArrayView text)
{
    return text.startsWith(kCtcpMark);
}

TCtcpMessage ParseCtcp(QByteArrayView text)
{
    QByteArray plain = text.toByteArray();
    plain.replace(kCtcpMark, QByteArray());
    TCtcpMessage m;
    m.Text = TrimControls(plain);
    const qsizetype space = m.Text.indexOf(' ');
    m.Command = AsciiUpper(space < 0 ? m.Text : m.Text.left(space));
    m.Arguments = space < 0 ? m.Text : m.Text.mid(space + 1);
    return m;
}

QByteArray CtcpText(QByteArrayView command, QByteArrayView arguments)
{
    QByteArray out = kCtcpMark + command.toByteArray();
    if (!arguments.isEmpty())
        out += ' ' + arguments.toByteArray();
    return out + kCtcpMark;
}

qint64 MsecsSinceMidnight(const QTime& time)
{
    return time.isValid() ? time.msecsSinceStartOfDay() : 0;
}

QByteArray CtcpTimeText(const QDateTime& now, const QLocale& locale)
{
    // The long time format without its time zone.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    const QString text = locale.toString(now.date(), locale.dateFormat(QLocale::ShortFormat)) +
                         QLatin1Char(' ') + locale.toString(now.time(), timeFormat);
    return Cp874::fromUnicode(text);
}

TCtcpRequest CtcpRequest(QByteArrayView nickIn, QByteArrayView text, const QDateTime& now,
                         const QLocale& locale)
{
    TCtcpRequest r;
    r.message = ParseCtcp(text);
    const QByteArray nick = TrimControls(nickIn);
    const QByteArray args = TrimControls(r.message.Arguments);
    const QByteArray& cmd = r.message.Command;
    const QByteArray shown = "*** CTCP " + r.message.Text + " from " + nick;
    auto notice = [&](QByteArrayView command, QByteArrayView arguments) {
        return "NOTICE " + nick + " :" + CtcpText(command, arguments);
    };
    if (cmd == "ACTION") {
        r.kind = TCtcpRequest::Action;
        r.Display = "* " + nick + ' ' + r.message.Arguments;
    } else if (cmd == "PING") {
        r.kind = TCtcpRequest::Ping;
        r.Display = "*** CTCP PING from " + nick;
        r.Reply = notice("PING", args);
    } else if (cmd == "TIME") {
        r.kind = TCtcpRequest::Time;
        r.Display = "*** CTCP TIME from " + nick;
        r.Reply = notice("TIME", CtcpTimeText(now, locale));
    } else if (cmd == "VERSION") {
        r.kind = TCtcpRequest::Version;
        r.Display = shown;
        r.Reply = notice("VERSION", Texts::VersionReply());
    } else if (cmd == "CLIENTINFO") {
        r.kind = TCtcpRequest::ClientInfo;
        r.Display = shown;
        r.Reply = notice("CLIENTINFO", Texts::ClientInfoReply());
    } else if (cmd == "DCC") {
        r.kind = TCtcpRequest::Dcc;
        r.Display = shown;
    } else if (cmd == "PUBKEYREQ") {
        r.kind = TCtcpRequest::PubKeyReq;
        r.Display = shown;
    } else if (cmd == "RSACRYPTED") {
        r.kind = TCtcpRequest::RsaCrypted;
        r.Display = "<!" + nick + "!> ";
    } else {
        r.Display = shown;
    }
    return r;
}

qint64 CtcpPingSeconds(quint64 sent, qint64 msecsSinceMidnight)
{
    const qint64 sentOfDay = qint64(sent % quint64(kMsecsPerDay));
    const qint64 nowOfDay = ((msecsSinceMidnight % kMsecsPerDay) + kMsecsPerDay) % kMsecsPerDay;
    const qint64 delay = ((kMsecsPerDay - sentOfDay + nowOfDay) % kMsecsPerDay);
    return delay / 1000 + 1;
}

QByteArray CtcpReplyDisplay(QByteArrayView nickIn, QByteArrayView text, qint64 msecsSinceMidnight)
{
    const TCtcpMessage m = ParseCtcp(text);
    const QByteArray nick = TrimControls(nickIn);
    if (m.Command == "PUBKEYREQ")
        return {};
    if (m.Command == "PING") {
        // Only our own time of day gives a delay; anything else is shown as sent.
        if (const auto sent = ParseDecimal(m.Arguments, quint64(kMsecsPerDay) - 1))
            return "*** CTCP PING reply from " + nick + " : " +
                   QByteArray::number(CtcpPingSeconds(*sent, msecsSinceMidnight)) + " secs";
    }
    return "*** CTCP " + m.Command + " reply from " + nick + ' ' + m.Arguments;
}

QByteArray CtcpRequestLine(QByteArrayView nick, QByteArrayView command, QByteArrayView arguments)
{
    return "PRIVMSG " + nick.toByteArray() + " :" + CtcpText(command, arguments);
}

QByteArray CtcpPingLine(QByteArrayView nick, qint64 msecsSinceMidnight)
{
    return CtcpRequestLine(nick, "PING", QByteArray::number(msecsSinceMidnight));
}

} // namespace Zentrel
