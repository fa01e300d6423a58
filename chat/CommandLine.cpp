#include "chat/CommandLine.h"

#include "chat/ChatTexts.h"
#include "chat/ColorCodes.h"
#include "chat/Ctcp.h"
#include "chat/IrcText.h"
#include "chat/WindowNames.h"

namespace Zentrel {

QByteArray CommandUsage(QByteArrayView command)
{
    const QByteArray c = command.toByteArray();
    if (c == "JOIN")
        return "*** USAGE: /JOIN <channel>";
    if (c == "MSG" || c == "PRIVMSG")
        return "*** USAGE: /MSG <target> <parameter>";
    if (c == "INVITE")
        return "*** USAGE: /INVITE <nick> <channel>";
    if (c == "NOTICE")
        return "*** USAGE: /NOTICE <target> <parameter>";
    if (c == "KICK")
        return "*** USAGE: /KICK <channel> <nick> <reason>";
    if (c == "MODE")
        return "*** USAGE: /MODE <channel> <mode> <parameter>";
    if (c == "NAMES")
        return "*** USAGE: /NAMES <channel>";
    if (c == "TOPIC")
        return "*** USAGE: /TOPIC <channel> [new topic]";
    if (c == "CTCP")
        return "*** USAGE: /CTCP <target> <ctcp command> <parameter>";
    return {};
}

QByteArray NotOnChannelLine()
{
    return QByteArrayLiteral("*** You are not on any channel!");
}

namespace {

QByteArray inviteAction()
{
    return QByteArray("invite you to visit Oskarel homepage at ") + Texts::HomePage;
}

} // namespace

TCommandResult TranslateCommandLine(const TCommandContext& ctx, QByteArrayView typed)
{
    TCommandResult r;
    const QByteArray text = ctx.ServerWindow ? TrimTrailingSpaces(typed) : typed.toByteArray();
    if (text.isEmpty())
        return r;
    const TWindowKind kind = ctx.Kind;
    const QByteArray target = CaptionTarget(ctx.Caption);
    const bool dcc = !ctx.ServerWindow && kind == TWindowKind::DccChat;
    auto send = [&](const QByteArray& line) {
        if (!line.isEmpty())
            r.Send << line;
    };
    auto show = [&](const QByteArray& line) {
        r.Show << (ctx.ServerWindow ? StripColorCodes(line) : line);
    };
    // An action in a DCC chat travels on its own connection: the window's
    // caption names no IRC target.
    auto action = [&](const QByteArray& words) {
        if (dcc) {
            r.DccText = CtcpText("ACTION", words);
            r.HasDccText = true;
        } else {
            send("PRIVMSG " + target + " :" + CtcpText("ACTION", words));
        }
    };

    if (!text.startsWith('/')) {
        if (ctx.ServerWindow) {
            show(NotOnChannelLine());
        } else if (kind == TWindowKind::Encrypted) {
            send("PRIVMSG " + target + " :" + CtcpText("PUBKEYREQ"));
            show("*** Need to request Public key first, Requesting Public key from " + target +
                 "... ");
        } else if (dcc) {
            r.DccText = text;
            r.HasDccText = true;
            show('<' + ctx.CurrentNick + "> " + text);
        } else {
            send("PRIVMSG " + target + " :" + text);
            show('<' + ctx.CurrentNick + "> " + text);
        }
        return r;
    }

    const qsizetype space = text.indexOf(' ');
    if (space < 0) {
        // A bare command.
        const QByteArray cmd = AsciiUpper(text.mid(1));
        if (cmd == "QUIT") {
            send(QByteArray("QUIT  ") + (ctx.ServerWindow ? Texts::ServerPage : Texts::ChatPage));
        } else if (cmd == "PART") {
            send(cmd);
            r.CloseSelf = true;
        } else if (cmd == "ME") {
            if (ctx.ServerWindow) {
                show(NotOnChannelLine());
            } else {
                show("* " + ctx.CurrentNick + ' ' + inviteAction());
                action(inviteAction());
            }
        } else {
            const QByteArray usage = CommandUsage(cmd);
            if (!usage.isEmpty())
                show(usage);
            send(cmd);
        }
        return r;
    }

    const QByteArray cmd = AsciiUpper(text.mid(1, space - 1));
    const QByteArray args = text.mid(space + 1);
    const QByteArray first = FirstWord(args);
    const QByteArray rest = AfterFirstWord(args);
    const bool argsHaveSpace = args.contains(' ');
    if (cmd == "MSG") {
        send("PRIVMSG " + first + " :" + rest);
    } else if (cmd == "NOTICE") {
        send("NOTICE " + first + " :" + rest);
        show("-NOTICE- " + first + ' ' + rest);
    } else if (cmd == "PART") {
        send(cmd + ' ' + args);
        r.CloseWindows << first;
    } else if (cmd == "TOPIC") {
        send(argsHaveSpace ? "TOPIC " + first + " :" + rest : "TOPIC " + args);
    } else if (cmd == "KICK") {
        if (!argsHaveSpace) {
            show(CommandUsage(cmd));
            send(cmd + ' ' + args);
        } else {
            const QByteArray nick = FirstWord(rest);
            const QByteArray reason = AfterFirstWord(rest);
            send("KICK " + first + ' ' + nick + (reason.isEmpty() ? QByteArray() : " :" + reason));
        }
    } else if (cmd == "ME") {
        if (ctx.ServerWindow) {
            show(NotOnChannelLine());
            send(cmd + ' ' + args);
        } else {
            action(args);
            show("* " + ctx.CurrentNick + ' ' + args);
        }
    } else if (cmd == "CTCP") {
        if (!argsHaveSpace) {
            show(CommandUsage(cmd));
            send(cmd + ' ' + args);
        } else {
            QByteArray request = AsciiUpper(rest);
            if (FirstWord(request) == "PING")
                request = "PING " + QByteArray::number(ctx.MsecsSinceMidnight);
            send("PRIVMSG " + first + " :" + kCtcpMark + request + kCtcpMark);
        }
    } else {
        send(cmd + ' ' + args);
    }
    return r;
}

} // namespace Zentrel
