#include "chat/ServerSession.h"

#include "chat/ChatFiles.h"
#include "chat/ChatTexts.h"
#include "chat/ColorCodes.h"
#include "chat/CommandLine.h"
#include "chat/Ctcp.h"
#include "chat/DccFiles.h"
#include "chat/IrcText.h"
#include "chat/PluginAddress.h"
#include "chat/U_GlobalConfig.h"

#include "platform/Cp874.h"

#include <QDir>
#include <QElapsedTimer>

namespace Zentrel {

namespace {

const char* kindName(TEffect::Kind k)
{
    switch (k) {
    case TEffect::Send:
        return "send";
    case TEffect::Raw:
        return "raw";
    case TEffect::Status:
        return "status";
    case TEffect::Show:
        return "show";
    case TEffect::CreateWindow:
        return "create";
    case TEffect::ActivateWindow:
        return "activate";
    case TEffect::SetCaption:
        return "caption";
    case TEffect::SetTabCaption:
        return "tab";
    case TEffect::SetServerCaption:
        return "server-caption";
    case TEffect::CloseWindow:
        return "close";
    case TEffect::FreeWindow:
        return "free";
    case TEffect::NickList:
        return "nicks";
    case TEffect::NickBox:
        return "nickbox";
    case TEffect::Beep:
        return "beep";
    case TEffect::BusyIcon:
        return "busy";
    case TEffect::IdleIcon:
        return "idle";
    case TEffect::CloseIdent:
        return "close-ident";
    case TEffect::ChannelListBegin:
        return "list-begin";
    case TEffect::ChannelListRow:
        return "list-row";
    case TEffect::ChannelListReset:
        return "list-reset";
    case TEffect::Gauge:
        return "gauge";
    case TEffect::ChannelListEnd:
        return "list-end";
    case TEffect::DccChatOffer:
        return "dcc-chat";
    case TEffect::DccSendOffer:
        return "dcc-send";
    case TEffect::DccResume:
        return "dcc-resume";
    case TEffect::DccAccept:
        return "dcc-accept";
    case TEffect::DccChatText:
        return "dcc-text";
    case TEffect::CloseServer:
        return "close-server";
    }
    return "?";
}

bool isNumeric(QByteArrayView command)
{
    if (command.size() != 3)
        return false;
    for (const char c : command)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A mode argument or mode string may carry the colon of a last parameter.
QByteArray withoutColon(QByteArray word)
{
    if (word.startsWith(':'))
        word.remove(0, 1);
    return word;
}

// The channel of a names reply: from the first "#" or "&" to the next blank.
QByteArray namesChannel(QByteArrayView rest)
{
    const qsizetype hash = rest.indexOf('#');
    const qsizetype amp = rest.indexOf('&');
    qsizetype at = hash < 0 ? amp : (amp < 0 ? hash : qMin(hash, amp));
    if (at < 0)
        return {};
    return FirstWord(rest.sliced(at));
}

} // namespace

QByteArray TEffect::Describe() const
{
    QByteArray d = kindName(kind);
    switch (kind) {
    case Send:
    case Raw:
    case Status:
    case NickBox:
    case SetServerCaption:
        d += ' ' + Text;
        break;
    case Show:
    case SetCaption:
    case SetTabCaption:
        d += ' ' + QByteArray::number(Window) + ' ' + Text;
        break;
    case DccChatText:
        d += ' ' + QByteArray::number(Window) + ' ' + Text;
        for (const QByteArray& line : Echo)
            d += " | " + line;
        break;
    case CreateWindow:
        d += ' ' + QByteArray::number(Window) + ' ' + Text + (Flag ? " +nicks" : "") +
             (ChildKind == TWindowKind::DccChat     ? " dcc"
              : ChildKind == TWindowKind::Encrypted ? " encrypted"
                                                    : "") +
             (Behind ? " behind" : "") + " tab=" + Tab;
        break;
    case ActivateWindow:
    case CloseWindow:
    case FreeWindow:
        d += ' ' + QByteArray::number(Window);
        break;
    case NickList:
        d += ' ' + QByteArray::number(Window);
        for (const TNickEdit& e : Edits) {
            if (e.op == TNickEdit::Insert)
                d += " +" + QByteArray::number(e.index) + ':' + e.entry;
            else if (e.op == TNickEdit::Remove)
                d += " -" + QByteArray::number(e.index);
            else
                d += " clear";
        }
        break;
    case ChannelListRow:
    case Gauge:
        d += ' ' + QByteArray::number(Number);
        break;
    case DccChatOffer:
    case DccSendOffer:
        d += ' ' + Text + ' ' + DottedAddress(Offer.Address) + ':' + QByteArray::number(Offer.Port);
        if (kind == DccSendOffer)
            d += ' ' + LocalName.toUtf8() + ' ' + QByteArray::number(Offer.Size);
        break;
    case DccResume:
    case DccAccept:
        d += ' ' + QByteArray::number(Number) + ' ' + QByteArray::number(Position);
        if (!Text.isEmpty())
            d += " then " + Text;
        break;
    default:
        break;
    }
    return d;
}

struct TServerSession::Target
{
    enum Where { StatusLog, Window, Nowhere };
    Where where = StatusLog;
    QByteArray name;
    bool create = false;
};

TServerSession::TServerSession(TDccTransfers& transfers)
    : DataFolder(ChatDataFolder()), transfers_(transfers)
{}

TServerSession::TChild* TServerSession::child(int window)
{
    for (TChild& c : children_)
        if (c.Id == window)
            return &c;
    return nullptr;
}

const TServerSession::TChild* TServerSession::Child(int window) const
{
    for (const TChild& c : children_)
        if (c.Id == window)
            return &c;
    return nullptr;
}

QList<int> TServerSession::ChildIds() const
{
    QList<int> ids;
    for (const TChild& c : children_)
        ids << c.Id;
    return ids;
}

bool TServerSession::named(const TChild& c, const QByteArray& key)
{
    // A DCC chat window is the partner's connection, not a name on the
    // server: no line from the server and no name reaches it.
    return c.Kind != TWindowKind::DccChat && SameWindowName(CaptionName(c.Caption), key);
}

int TServerSession::FindWindow(QByteArrayView name) const
{
    const QByteArray key = CaptionName(RoutingName(name));
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (named(*it, key))
            return it->Id;
    return 0;
}

int TServerSession::newChild(const QByteArray& caption, const QByteArray& tab, TWindowKind kind,
                             TEffects& fx, bool behind)
{
    TChild c;
    c.Id = nextChild_++;
    c.Caption = caption;
    c.Kind = kind;
    const int id = c.Id;
    children_.push_back(std::move(c));
    TEffect made = TEffect::Make(TEffect::CreateWindow, id, caption);
    made.Tab = tab;
    made.ChildKind = kind;
    made.Flag = kind == TWindowKind::Channel;
    made.Behind = behind;
    fx << made;
    return id;
}

void TServerSession::send(TEffects& fx, const QByteArray& line) const
{
    fx << TEffect::Make(TEffect::Send, 0, GuardLine(line));
}

void TServerSession::addNickEdits(TEffects& fx, int window, const TNickEdits& edits) const
{
    if (edits.isEmpty())
        return;
    TEffect e = TEffect::Make(TEffect::NickList, window);
    e.Edits = edits;
    fx << e;
}

void TServerSession::both(TEffects& fx, const QByteArray& line) const
{
    fx << TEffect::Make(TEffect::Status, 0, line) << TEffect::Make(TEffect::Raw, 0, line);
}

bool TServerSession::isMe(QByteArrayView nick) const
{
    return !NickBox.isEmpty() && EqualsNoCase(nick, NickBox);
}

qint64 TServerSession::msecsNow() const
{
    return MsecsSinceMidnight((Now ? Now() : QDateTime::currentDateTime()).time());
}

qint64 TServerSession::monotonic() const
{
    if (MonotonicMs)
        return MonotonicMs();
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

// ---------------------------------------------------------------------------
// Connecting

bool TServerSession::NickUsable(QByteArrayView nick)
{
    return !nick.contains('!') && !nick.contains('#');
}

QString TServerSession::NickErrorCaption()
{
    return QStringLiteral("Error!");
}

QString TServerSession::NickErrorText()
{
    return QStringLiteral("กรุณาตรวจสอบ nick ที่ใช้เนื่องจากไม่สามารถใช้ชื่อนี้ได้");
}

QString TServerSession::LookupHost() const
{
    return SplitServerText(ServerText, ircPort_).Host;
}

QString TServerSession::ConnectPort() const
{
    return SplitServerText(ServerText, ircPort_).Port;
}

TEffects TServerSession::BeginConnect(const TZentrelSettings& settings)
{
    TEffects fx;
    ircPort_ = settings.IRCPort;
    AutoRenameNick = true;
    const QByteArray host = Cp874::fromUnicode(LookupHost());
    both(fx, (ServerText.contains(u':') ? "Looking up.." : "Looking up.. ") + host);
    return fx;
}

TEffects TServerSession::LookupFailed()
{
    TEffects fx;
    dropPending();
    both(fx, "Server name unknow");
    return fx;
}

TEffects TServerSession::LookupDone(QByteArrayView address, bool* connect)
{
    TEffects fx;
    const TServerText target = SplitServerText(ServerText, ircPort_);
    if (!target.PortValid) {
        dropPending();
        both(fx, "Can't connect, bad port " + Cp874::fromUnicode(target.Port));
        if (connect)
            *connect = false;
        return fx;
    }
    both(fx, "Connecting to " + address.toByteArray());
    if (connect)
        *connect = true;
    return fx;
}

TEffects TServerSession::ConnectFailed(int error)
{
    TEffects fx;
    dropPending();
    both(fx, error == 10061 ? QByteArray("Connection refused!")
                            : "Can't connect, error #" + QByteArray::number(error));
    return fx;
}

TEffects TServerSession::Connected()
{
    TEffects fx;
    const QByteArray server = Cp874::fromUnicode(ServerText);
    fx << TEffect::Make(TEffect::SetTabCaption, 0, "IRC:" + server);
    fx << TEffect::Make(TEffect::BusyIcon);
    fx << TEffect::Make(TEffect::SetServerCaption, 0, "IRC Plugin - " + server);
    both(fx, "Connected");
    buffer_.Clear();
    holding_ = false;
    held_.clear();
    heldBytes_ = 0;
    welcomed_ = false;
    CurrentNick = NickBox;
    send(fx, "NICK " + NickBox);
    send(fx, "USER " + UserName + " * * :" + Description);
    bool opened = false;
    QList<TChannelRow> cached;
    if (!DataFolder.isEmpty())
        cached = ReadChannelListCache(ChannelCacheFile(), &opened);
    if (opened) {
        rows_ = std::move(cached);
        ListCount = rows_.size();
        fx << TEffect::Make(TEffect::ChannelListReset);
    }
    return fx;
}

TEffects TServerSession::ConnectionClosed()
{
    TEffects fx;
    fx << TEffect::Make(TEffect::SetTabCaption, 0, "IRC:Disconnected")
       << TEffect::Make(TEffect::IdleIcon);
    both(fx, "Disconnected");
    fx += CloseChildWindows();
    buffer_.Clear();
    holding_ = false;
    held_.clear();
    heldBytes_ = 0;
    dropPending();
    return fx;
}

void TServerSession::dropPending()
{
    pending_.clear();
    welcomed_ = false;
}

TEffects TServerSession::JoinWhenWelcome(QByteArrayView channelIn)
{
    TEffects fx;
    const QByteArray channel = CutChannelName(channelIn);
    if (channel.isEmpty())
        return fx;
    if (welcomed_) {
        send(fx, "JOIN #" + channel);
        return fx;
    }
    // Each channel once; a page cannot make the list grow without bound.
    constexpr qsizetype kMaxPending = 64;
    for (const QByteArray& waiting : pending_)
        if (EqualsNoCase(waiting, channel))
            return fx;
    if (pending_.size() < kMaxPending)
        pending_ << channel;
    return fx;
}

void TServerSession::endWelcome(TEffects& fx)
{
    // The end of the welcome (422: a server without a message of the day).
    if (!AutoJoinChannel.isEmpty())
        send(fx, "JOIN #" + AutoJoinChannel);
    AutoJoinChannel.clear();
    for (const QByteArray& channel : std::exchange(pending_, {}))
        send(fx, "JOIN #" + channel);
    welcomed_ = true;
}

TEffects TServerSession::Disconnect()
{
    TEffects fx;
    send(fx, Texts::DisconnectQuit());
    return fx;
}

TEffects TServerSession::Closing()
{
    TEffects fx;
    send(fx, Texts::CloseQuit());
    fx += CloseChildWindows();
    fx += Disconnect();
    return fx;
}

// ---------------------------------------------------------------------------
// Receiving

namespace {

// What waits behind a DCC chat request: generous, but bounded.
constexpr qsizetype kMaxHeldLines = 4096;
constexpr qsizetype kMaxHeldBytes = 1024 * 1024;

bool asksDccChat(const TEffects& fx)
{
    for (const TEffect& e : fx)
        if (e.kind == TEffect::DccChatOffer)
            return true;
    return false;
}

} // namespace

void TServerSession::handleItem(const TReceiveBuffer::Item& item, TEffects& fx)
{
    if (item.kind == TReceiveBuffer::Item::Overlong) {
        fx << TEffect::Make(TEffect::Status, 0, OverlongLineNotice());
        return;
    }
    try {
        TEffects line = HandleLine(item.line);
        // The lines after a DCC chat request wait until it is answered.
        if (asksDccChat(line))
            holding_ = true;
        fx += line;
    } catch (const std::exception&) {
        // One line that cannot be handled is dropped; the next ones are.
    }
}

void TServerSession::holdItem(const TReceiveBuffer::Item& item, TEffects& fx)
{
    // The server's PING cannot wait for the user: it is answered now, and
    // that is all it asks.
    if (item.kind == TReceiveBuffer::Item::Line)
        if (const auto pong = PingReply(item.line)) {
            send(fx, *pong);
            return;
        }
    heldBytes_ += item.line.size();
    held_.push_back(item);
}

bool TServerSession::HoldFull() const
{
    return holding_ && (qsizetype(held_.size()) >= kMaxHeldLines || heldBytes_ >= kMaxHeldBytes);
}

TEffects TServerSession::Receive(QByteArrayView data)
{
    TEffects fx;
    for (const TReceiveBuffer::Item& item : buffer_.Feed(data)) {
        if (holding_)
            holdItem(item, fx);
        else
            handleItem(item, fx);
    }
    return fx;
}

QByteArray TServerSession::DccChatNotOpenedLine(QByteArrayView nick)
{
    return "*** DCC CHAT with " + nick.toByteArray() +
           " not opened: the connection to the server closed";
}

TEffects TServerSession::ReleaseHeld(bool connectionClosed)
{
    TEffects fx;
    holding_ = false;
    while (!held_.empty() && !holding_) {
        const TReceiveBuffer::Item item = std::move(held_.front());
        held_.pop_front();
        heldBytes_ -= item.line.size();
        handleItem(item, fx);
        if (connectionClosed && holding_) {
            // Nobody is asked about a chat whose server window is going
            // back to idle: every window of the connection goes with it.
            holding_ = false;
            for (TEffect& e : fx)
                if (e.kind == TEffect::DccChatOffer)
                    e = TEffect::Make(TEffect::Status, 0,
                                      StripColorCodes("*** DCC CHAT from " + e.Text +
                                                      " not asked: the connection to the "
                                                      "server closed"));
        }
    }
    if (held_.empty())
        heldBytes_ = 0;
    return fx;
}

TEffects TServerSession::HandleLine(QByteArrayView line)
{
    TEffects fx;
    if (const auto pong = PingReply(line)) {
        send(fx, *pong);
        return fx;
    }
    const TIrcLine p = ParseLine(line);
    if (p.Line.isEmpty())
        return fx;
    fx << TEffect::Make(TEffect::Raw, 0, p.Line);

    QByteArray display = p.DefaultDisplay();
    Target target;
    if (p.IsUser())
        userCommand(p, display, target, fx);
    else
        serverLine(p, display, fx);

    if (display.isEmpty() || target.where == Target::Nowhere)
        return fx;
    if (target.where == Target::StatusLog) {
        fx << TEffect::Make(TEffect::Status, 0, StripColorCodes(display));
    } else {
        fx += PostToWindow(target.name, display, target.create);
    }
    return fx;
}

void TServerSession::userCommand(const TIrcLine& p, QByteArray& display, Target& target,
                                 TEffects& fx)
{
    const QByteArray& cmd = p.Command;
    const QByteArray& nick = p.Nick;
    const QByteArray who = nick + " (" + p.UserPart + ") ";
    auto toWindow = [&](const QByteArray& name, bool create = false) {
        target.where = Target::Window;
        target.name = name;
        target.create = create;
    };
    // The channel windows of a name.
    auto eachWindow = [&](const QByteArray& name, auto&& apply) {
        const QByteArray key = CaptionName(RoutingName(name));
        for (TChild& c : children_)
            if (c.Kind == TWindowKind::Channel && named(c, key))
                apply(c);
    };
    auto nickEdits = [&](const TChild& c, const TNickEdits& edits) {
        addNickEdits(fx, c.Id, edits);
    };
    auto showIn = [&](const TChild& c, const QByteArray& text) {
        fx << TEffect::Make(TEffect::Show, c.Id, LinkifyChannels(text));
    };

    if (cmd == "JOIN") {
        const QByteArray channel = FirstWord(p.Params);
        display = "*** JOIN: " + who + p.Params;
        if (isMe(nick)) {
            // Our own join: the window is made (for a channel only), and an
            // old one lists anew.
            toWindow(p.Params, IsChannelName(CaptionName(RoutingName(p.Params))));
            eachWindow(channel, [&](TChild& c) { nickEdits(c, c.Names.Restart()); });
        } else {
            toWindow(p.Params);
            eachWindow(channel, [&](TChild& c) { nickEdits(c, c.Names.AddNick(nick)); });
        }
    } else if (cmd == "NICK") {
        const QByteArray newNick = TrimControls(withoutColon(FirstWord(p.Params)));
        if (newNick.isEmpty()) {
            // It names no new nick: nothing changes (the raw log has it).
            target.where = Target::Nowhere;
            return;
        }
        display = "*** " + nick + " is known as " + p.Params;
        if (isMe(nick)) {
            NickBox = newNick;
            CurrentNick = newNick;
            fx << TEffect::Make(TEffect::NickBox, 0, newNick);
        }
        for (TChild& c : children_) {
            if (c.Kind == TWindowKind::Channel) {
                bool renamed = false;
                nickEdits(c, c.Names.Rename(nick, newNick, &renamed));
                if (renamed)
                    showIn(c, "*** " + nick + " is known as " + newNick);
                continue;
            }
            // Only the nick's own conversations follow it: its query window
            // and its "$" window. A new "nick" that names a channel would
            // send what is typed there to the channel: the window keeps its
            // name.
            if (IsChannelName(newNick))
                continue;
            // (The nick as its window was named for it.)
            const QByteArray name = CaptionName(c.Caption);
            const QByteArray old = CaptionName(RoutingName(nick));
            QByteArray caption;
            if (c.Kind == TWindowKind::Query && SameWindowName(name, old))
                caption = newNick;
            else if (c.Kind == TWindowKind::Encrypted && SameWindowName(name, '$' + old))
                caption = '$' + newNick;
            if (caption.isEmpty())
                continue;
            c.Caption = StripColorCodes(caption);
            fx << TEffect::Make(TEffect::SetCaption, c.Id, c.Caption)
               << TEffect::Make(TEffect::SetTabCaption, c.Id, StripColorCodes(newNick));
        }
    } else if (cmd == "PRIVMSG" || cmd == "NOTICE") {
        const QByteArray to = FirstWord(p.Params);
        const qsizetype colon = p.Params.indexOf(':');
        const QByteArray text = colon < 0 ? QByteArray() : p.Params.mid(colon + 1);
        if (to.isEmpty() || text.isEmpty())
            return; // the default line, to the status log
        if (cmd == "NOTICE") {
            display = IsCtcp(text) ? CtcpReplyDisplay(nick, text, msecsNow())
                                   : "--" + nick + "-- " + text;
            return;
        }
        if (IsCtcp(text)) {
            ctcpRequest(p, to, text, display, target, fx);
            return;
        }
        display = '<' + nick + "> " + text;
        if (!isMe(to))
            toWindow(to);
        else if (!IsChannelName(nick))
            toWindow(nick, true);
        // A sender whose "nick" names a channel has no conversation of its
        // own: its line stays in the status log.
    } else if (cmd == "PART") {
        display = "*** PART: " + who + p.Params;
        toWindow(p.Params);
        if (!isMe(nick))
            eachWindow(FirstWord(p.Params),
                       [&](TChild& c) { nickEdits(c, c.Names.RemoveNick(nick)); });
    } else if (cmd == "TOPIC") {
        const QByteArray channel = FirstWord(p.Params);
        const QByteArray topic = AfterColon(p.Params);
        display = "*** TOPIC: changed to \"" + topic + "\" by " + nick + " (" + p.UserPart + ")";
        toWindow(channel);
        fx += setCaptions(channel, topic, false, true);
    } else if (cmd == "KICK") {
        const QByteArray channel = FirstWord(p.Params);
        const QByteArray victim = withoutColon(FirstWord(AfterFirstWord(p.Params)));
        const qsizetype colon = p.Params.indexOf(':');
        const QByteArray why = colon < 0 ? QByteArray() : p.Params.mid(colon + 1);
        const QByteArray reason =
            why.isEmpty() ? QByteArray(" because nothing.") : " because " + why + '.';
        display =
            "*** KICK: " + victim + " has been kicked from " + channel + " by " + nick + reason;
        toWindow(channel);
        if (isMe(victim)) {
            // Joined again only where we have the channel's window.
            bool window = false;
            eachWindow(channel, [&](TChild& c) {
                window = true;
                nickEdits(c, c.Names.Restart());
            });
            if (window) {
                fx << TEffect::Make(TEffect::Beep);
                send(fx, "JOIN " + channel);
            }
        } else {
            eachWindow(channel, [&](TChild& c) { nickEdits(c, c.Names.RemoveNick(victim)); });
        }
    } else if (cmd == "QUIT") {
        const QByteArray line = "*** QUIT: " + who + p.Params;
        target.where = Target::Nowhere;
        for (TChild& c : children_) {
            if (c.Kind != TWindowKind::Channel)
                continue;
            bool removed = false;
            const TNickEdits edits = c.Names.RemoveNick(nick, &removed);
            if (!removed)
                continue;
            nickEdits(c, edits);
            showIn(c, line);
        }
    } else if (cmd == "MODE") {
        const QByteArray to = FirstWord(p.Params);
        const QByteArray rest = AfterFirstWord(p.Params);
        display = "*** Mode change " + to + " \"" + rest + "\" by " + who;
        toWindow(to);
        applyModes(to, rest, fx);
    }
}

void TServerSession::applyModes(const QByteArray& channel, const QByteArray& rest, TEffects& fx)
{
    const QByteArray modes = withoutColon(FirstWord(rest));
    QByteArray argText = TrimControls(AfterFirstWord(rest));
    if (argText.isEmpty() && !rest.contains(' '))
        argText = modes; // without further words the mode string is the argument list
    QList<QByteArray> args;
    for (const QByteArray& word : argText.split(' '))
        if (!word.isEmpty())
            args << withoutColon(word);
    if (!(modes.startsWith('+') || modes.startsWith('-')))
        return;
    bool plus = true;
    qsizetype next = 0;
    for (const char m : modes) {
        if (m == '+' || m == '-') {
            plus = m == '+';
            continue;
        }
        const char letter = AsciiUpper(m);
        if (letter == 'O' && next < args.size()) {
            const QByteArray who = args[next++];
            for (TChild& c : children_) {
                if (c.Kind != TWindowKind::Channel || !named(c, channel))
                    continue;
                addNickEdits(fx, c.Id, c.Names.SetOperator(who, plus));
            }
        } else if ((letter == 'B' || letter == 'V' || letter == 'K' || letter == 'L') &&
                   next < args.size()) {
            ++next;
        }
    }
}

void TServerSession::ctcpRequest(const TIrcLine& p, const QByteArray& to, const QByteArray& text,
                                 QByteArray& display, Target& target, TEffects& fx)
{
    const QByteArray nick = TrimControls(p.Nick);
    const TCtcpRequest r =
        CtcpRequest(nick, text, Now ? Now() : QDateTime::currentDateTime(), Locale);
    display = r.Display;
    switch (r.kind) {
    case TCtcpRequest::Action:
        if (isMe(to) && IsChannelName(nick))
            return; // no conversation of its own: the status log
        target.where = Target::Window;
        target.name = isMe(to) ? nick : to;
        target.create = isMe(to);
        return;
    case TCtcpRequest::RsaCrypted:
        target.where = Target::Window;
        target.name = '$' + nick;
        return;
    default:
        break;
    }
    if (!r.Reply.isEmpty()) {
        const auto verdict = ctcpLimiter_.Check(nick, monotonic());
        if (verdict == TRateLimiter::Verdict::Allowed) {
            send(fx, r.Reply);
        } else {
            // The request line first, then why it got no answer.
            fx << TEffect::Make(TEffect::Status, 0, StripColorCodes(display))
               << TEffect::Make(TEffect::Status, 0,
                                StripColorCodes("*** CTCP flood: no " + r.message.Command +
                                                " reply to " + nick + " (" +
                                                ctcpLimiter_.LimitText(verdict) + ")"));
            display.clear();
        }
    }
    if (r.kind == TCtcpRequest::Dcc) {
        fx << TEffect::Make(TEffect::Status, 0, StripColorCodes(display));
        display.clear();
        dccRequest(nick, r.message.Arguments, fx);
    }
}

void TServerSession::dccRequest(const QByteArray& nick, const QByteArray& arguments, TEffects& fx)
{
    auto status = [&](const QByteArray& line) {
        fx << TEffect::Make(TEffect::Status, 0, StripColorCodes(line));
    };
    const TDccParse parse = ParseDccOffer(arguments);
    const QByteArray kind = parse.Kind.isEmpty() ? QByteArray("request") : parse.Kind;
    if (!parse.Offer) {
        status(DccRefusedLine(kind, nick, parse.Reason));
        return;
    }
    const TDccOffer& offer = *parse.Offer;
    auto limited = [&] {
        const auto verdict = offerLimiter_.Check(nick, monotonic());
        if (verdict == TRateLimiter::Verdict::Allowed)
            return false;
        status(DccRefusedLine(kind, nick,
                              "too many offers (" + offerLimiter_.LimitText(verdict) + ")"));
        return true;
    };
    switch (offer.Kind) {
    case TDccKind::Chat: {
        if (limited())
            return;
        TEffect e = TEffect::Make(TEffect::DccChatOffer, 0, nick);
        e.Offer = offer;
        fx << TEffect::Make(TEffect::SetServerCaption, 0, StripColorCodes(arguments)) << e;
        return;
    }
    case TDccKind::Send: {
        const TReceivedName name = ReceivedFileName(offer.FileName);
        if (!name.ok()) {
            status(DccRefusedLine(kind, nick, name.Reason));
            return;
        }
        if (limited())
            return;
        TEffect e = TEffect::Make(TEffect::DccSendOffer, 0, nick);
        e.Offer = offer;
        e.LocalName = name.Name;
        fx << e;
        return;
    }
    case TDccKind::Resume:
    case TDccKind::Accept: {
        // We send from the position asked for (and answer), or receive from
        // the position we asked for.
        const bool resume = offer.Kind == TDccKind::Resume;
        const auto match = resume ? transfers_.MatchResume(offer.Port, nick, offer.Position)
                                  : transfers_.MatchAccept(offer.Port, nick, offer.Position);
        if (!match.ok()) {
            status(DccRefusedLine(kind, nick, match.Reason));
            return;
        }
        TEffect e = TEffect::Make(resume ? TEffect::DccResume : TEffect::DccAccept);
        e.Number = match.Id;
        e.Position = offer.Position;
        // The sender answers once its file stands at that position.
        if (resume)
            e.Text = GuardLine(DccAcceptLine(nick, offer.Port, offer.Position));
        fx << e;
        return;
    }
    }
}

void TServerSession::serverLine(const TIrcLine& p, QByteArray& display, TEffects& fx)
{
    const QByteArray rest = AfterFirstWord(p.Params);
    if (rest.contains(' '))
        display = rest.startsWith(':') ? rest.mid(1) : rest;
    const QByteArray& cmd = p.Command;
    if (!isNumeric(cmd))
        return;
    if (cmd != "433")
        AutoRenameNick = false;

    if (cmd == "001") {
        fx << TEffect::Make(TEffect::CloseIdent);
    } else if (cmd == "254") {
        if (const auto n =
                ParseDecimal(FirstWord(rest), quint64(std::numeric_limits<qint64>::max())))
            ChannelTotal = qint64(*n);
    } else if (cmd == "265" || cmd == "266") {
        display = "*** " + display;
    } else if (cmd == "321") {
        rows_.clear();
        ListCount = 0;
        lastGauge_ = -1;
        fx << TEffect::Make(TEffect::ChannelListBegin);
        display.clear();
    } else if (cmd == "322") {
        display.clear();
        const auto row = ParseChannelRow(rest);
        if (!row || rows_.size() >= kMaxChannelRows)
            return;
        rows_.append(*row);
        ++ListCount;
        TEffect added = TEffect::Make(TEffect::ChannelListRow);
        added.Number = rows_.size() - 1;
        fx << added;
        const int gauge = ChannelListGauge(ListCount, ChannelTotal);
        if (gauge != lastGauge_) {
            lastGauge_ = gauge;
            TEffect g = TEffect::Make(TEffect::Gauge);
            g.Number = gauge;
            fx << g;
        }
    } else if (cmd == "323") {
        display.clear();
        fx << TEffect::Make(TEffect::ChannelListEnd);
        fx << TEffect::Make(TEffect::Status, 0,
                            "Completed list total " + QByteArray::number(ListCount) +
                                " channels shown");
        if (!rows_.isEmpty() && !DataFolder.isEmpty()) {
            QDir().mkpath(DataFolder);
            WriteChannelListCache(ChannelCacheFile(), rows_);
        }
    } else if (cmd == "332") {
        fx += setCaptions(FirstWord(rest), AfterColon(rest), false, true);
    } else if (cmd == "353" || cmd == "366") {
        const QByteArray channel = namesChannel(rest);
        if (channel.isEmpty())
            return;
        for (TChild& c : children_) {
            if (c.Kind != TWindowKind::Channel || !named(c, channel))
                continue;
            if (cmd == "366") {
                c.Names.NamesFilling = false;
            } else if (c.Names.NamesFilling) {
                addNickEdits(fx, c.Id, c.Names.SetNames(AfterColon(rest)));
            }
        }
    } else if (cmd == "376" || cmd == "422") {
        endWelcome(fx);
    } else if (cmd == "433") {
        if (!AutoRenameNick)
            return;
        const QByteArray nick = NickBox.left(4) + QByteArray::number(msecsNow()).left(4);
        NickBox = nick;
        CurrentNick = nick;
        fx << TEffect::Make(TEffect::NickBox, 0, nick);
        send(fx, "NICK " + nick);
    }
}

// ---------------------------------------------------------------------------
// Child windows

TEffects TServerSession::PostToWindow(QByteArrayView nameIn, QByteArrayView text, bool create)
{
    TEffects fx;
    const QByteArray key = CaptionName(RoutingName(nameIn));
    const QByteArray line = LinkifyChannels(text);
    bool matched = false;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (!named(*it, key))
            continue;
        matched = true;
        fx << TEffect::Make(TEffect::Show, it->Id, line);
    }
    if (matched || !create)
        return fx;
    const QByteArray caption = StripColorCodes(key);
    if (caption.isEmpty())
        return fx;
    // A window made for a received line opens behind the one the user is in.
    const int id = newChild(caption, caption, NewWindowKind(caption), fx, true);
    fx << TEffect::Make(TEffect::Show, id, line);
    return fx;
}

TEffects TServerSession::OpenQueryWindow(QByteArrayView nickIn)
{
    TEffects fx;
    const QByteArray nick = StripColorCodes(CaptionName(RoutingName(nickIn)));
    if (nick.isEmpty())
        return fx;
    if (const int id = FindWindow(nick)) {
        fx << TEffect::Make(TEffect::ActivateWindow, id);
        return fx;
    }
    // A name that is a channel's opens no conversation (a channel's window
    // is made by joining it).
    if (IsChannelName(nick))
        return fx;
    newChild(nick, nick, NewWindowKind(nick), fx);
    return fx;
}

TEffects TServerSession::SetChildCaption(QByteArrayView name, QByteArrayView text, bool whole)
{
    return setCaptions(name, text, whole, false);
}

TEffects TServerSession::setCaptions(QByteArrayView name, QByteArrayView text, bool whole,
                                     bool channels)
{
    TEffects fx;
    const QByteArray key = CaptionName(RoutingName(name));
    for (TChild& c : children_) {
        if (!named(c, key) || (channels && c.Kind != TWindowKind::Channel))
            continue;
        c.Caption = StripColorCodes(whole ? text.toByteArray()
                                          : name.toByteArray() + " - " + text.toByteArray());
        fx << TEffect::Make(TEffect::SetCaption, c.Id, c.Caption);
    }
    return fx;
}

TEffects TServerSession::ChildActivated(int window)
{
    TEffects fx;
    TChild* c = child(window);
    if (!c || !c->Caption.startsWith('*'))
        return fx;
    c->Caption.remove(0, 1);
    fx << TEffect::Make(TEffect::SetCaption, c->Id, c->Caption);
    return fx;
}

TEffects TServerSession::ChildClosed(int window)
{
    TEffects fx;
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->Id != window)
            continue;
        const QByteArray part =
            it->Kind == TWindowKind::Channel ? ClosingPartLine(it->Caption) : QByteArray();
        children_.erase(it);
        if (!part.isEmpty())
            send(fx, part);
        break;
    }
    return fx;
}

TEffects TServerSession::CloseChildWindows()
{
    TEffects fx;
    for (const TChild& c : children_)
        fx << TEffect::Make(TEffect::FreeWindow, c.Id);
    children_.clear();
    return fx;
}

TEffects TServerSession::CommandLine(int window, QByteArrayView text)
{
    TEffects fx;
    TCommandContext ctx;
    ctx.CurrentNick = CurrentNick;
    ctx.MsecsSinceMidnight = msecsNow();
    const TChild* c = window ? Child(window) : nullptr;
    if (window && !c)
        return fx;
    ctx.ServerWindow = c == nullptr;
    if (c) {
        ctx.Kind = c->Kind;
        ctx.Caption = c->Caption;
    }
    const TCommandResult r = TranslateCommandLine(ctx, text);
    for (const QByteArray& line : r.Send)
        send(fx, line);
    if (r.HasDccText) {
        // What the chat shows of it waits until it has gone to the partner.
        TEffect e = TEffect::Make(TEffect::DccChatText, window, GuardLine(r.DccText));
        e.Echo = r.Show;
        fx << e;
    } else {
        for (const QByteArray& line : r.Show)
            fx << TEffect::Make(c ? TEffect::Show : TEffect::Status, window, line);
    }
    for (const QByteArray& name : r.CloseWindows) {
        const QByteArray key = CaptionName(RoutingName(name));
        for (const TChild& each : children_) {
            if (!named(each, key))
                continue;
            fx << TEffect::Make(TEffect::CloseWindow, each.Id);
        }
    }
    if (r.CloseSelf)
        fx << TEffect::Make(c ? TEffect::CloseWindow : TEffect::CloseServer, window);
    return fx;
}

TEffects TServerSession::OpenDccChat(QByteArrayView entry, int* window)
{
    TEffects fx;
    const QByteArray nick = BareNick(entry);
    if (window)
        *window = 0;
    if (nick.isEmpty())
        return fx;
    const int id =
        newChild(DccChatCaption(nick), DccChatTabCaption(nick), TWindowKind::DccChat, fx);
    child(id)->DccPeer = nick;
    if (window)
        *window = id;
    fx << TEffect::Make(TEffect::Show, id, DccChatTexts::Waiting(nick));
    return fx;
}

TEffects TServerSession::SendDccChatOffer(int window, quint32 address, quint16 port)
{
    TEffects fx;
    if (const TChild* c = Child(window);
        c && c->Kind == TWindowKind::DccChat && !c->DccPeer.isEmpty())
        send(fx, DccChatOfferLine(c->DccPeer, address, port));
    return fx;
}

TEffects TServerSession::AcceptDccChat(QByteArrayView nickIn, int* window)
{
    TEffects fx;
    const QByteArray nick = nickIn.toByteArray();
    const int id =
        newChild(DccChatCaption(nick), DccChatTabCaption(nick), TWindowKind::DccChat, fx);
    child(id)->DccPeer = nick;
    if (window)
        *window = id;
    return fx;
}

TEffects TServerSession::DccChatData(int window, QByteArrayView data)
{
    TEffects fx;
    TChild* c = child(window);
    if (!c || c->Kind != TWindowKind::DccChat)
        return fx;
    for (const TReceiveBuffer::Item& item : c->DccBuffer.Feed(data)) {
        fx << TEffect::Make(TEffect::Show, window,
                            item.kind == TReceiveBuffer::Item::Overlong
                                ? OverlongLineNotice()
                                : DccChatTexts::Received(c->DccPeer, item.line));
    }
    return fx;
}

// ---------------------------------------------------------------------------
// Channel list

TEffects TServerSession::RetrieveList()
{
    TEffects fx;
    send(fx, "LIST");
    return fx;
}

TEffects TServerSession::JoinChannels(const QList<QByteArray>& names)
{
    TEffects fx;
    for (const QByteArray& name : names)
        send(fx, "JOIN " + name);
    return fx;
}

void TServerSession::SortChannelList(int column)
{
    static TChannelListSort sort;
    sort.Click(rows_, column);
}

QString TServerSession::ChannelCacheFile() const
{
    return ChannelListCacheFile(ServerText, DataFolder);
}

} // namespace Zentrel
