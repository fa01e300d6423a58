#pragma once

#include "chat/ChannelList.h"
#include "chat/DccOffer.h"
#include "chat/DccTransfer.h"
#include "chat/IrcLine.h"
#include "chat/NickList.h"
#include "chat/RateLimiter.h"
#include "chat/WindowNames.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <deque>
#include <functional>
#include <list>

// Everything a server window decides without a widget: the IRC lines it
// parses and answers, where each line shows, which child windows exist and
// what their nick lists hold, the channel list, and the command lines of the
// server and its child windows.
//
// The server window feeds it (received data, the user's commands, socket
// results) and carries out the effects it returns, in order. Child windows
// are known by number (0 is the server window itself); an effect for a
// window that has gone meanwhile is simply skipped.
namespace Zentrel {

struct TZentrelSettings;

struct TEffect
{
    enum Kind {
        Send,             // Text: a line for the server (guarded; the raw log shows it too)
        Raw,              // Text: a line for the raw log only
        Status,           // Text: a line for the status log (colour codes stripped)
        Show,             // Window, Text: a line added to a child window (colour codes kept)
        CreateWindow,     // Window, Text: caption, Tab: host tab caption, ChildKind: its
                          // kind, Flag: nick list shown, Behind: the active chat window
                          // stays in front
        ActivateWindow,   // Window: brought to the front
        SetCaption,       // Window, Text: its caption (the host's tab keeps its own)
        SetTabCaption,    // Window (0: the server window), Text: the host's tab caption
        SetServerCaption, // Text: the server window's own caption
        CloseWindow,      // Window: closed as the user would (it then reports ChildClosed)
        FreeWindow,       // Window: removed from the host and freed, nothing sent
        NickList,         // Window, Edits: changes to its nick list box
        NickBox,          // Text: the nick box's new text
        Beep,
        BusyIcon,
        IdleIcon,
        CloseIdent,       // the ident listener is no longer needed
        ChannelListBegin, // retrieve button off, gauge shown, list emptied
        ChannelListRow,   // Number: index in ChannelRows() of a new row
        ChannelListReset, // the list shows ChannelRows() anew (cache loaded)
        Gauge,            // Number: 0-100
        ChannelListEnd,   // retrieve button on, gauge hidden
        DccChatOffer,     // Text: nick, Offer: a CHAT offer to ask about
        DccSendOffer,     // Text: nick, Offer: a SEND offer, LocalName: the accepted file name
        DccResume,        // Number: transfer, Position: we send from there; Text: the
                          // answer for the server, sent once the file is there
        DccAccept,        // Number: transfer, Position: connect and receive from there
        DccChatText,      // Window, Text: a line for the DCC chat connection (without CR
                          // LF), Echo: what the window shows once it is sent
        CloseServer,      // the server window closes itself
    };
    Kind kind = Status;
    int Window = 0;
    TWindowKind ChildKind = TWindowKind::Query;
    QByteArray Text;
    QByteArray Tab;
    qint64 Number = 0;
    quint64 Position = 0;
    bool Flag = false;
    bool Behind = false;
    TNickEdits Edits;
    TDccOffer Offer;
    QString LocalName;
    QList<QByteArray> Echo;

    static TEffect Make(Kind kind, int window = 0, const QByteArray& text = {})
    {
        TEffect e;
        e.kind = kind;
        e.Window = window;
        e.Text = text;
        return e;
    }

    // A one-line description ("send NICK a", "show 2 <b> hi", ...) for tests
    // and traces.
    QByteArray Describe() const;
};
using TEffects = QList<TEffect>;

class TServerSession
{
public:
    explicit TServerSession(TDccTransfers& transfers = DCCTransfers());

    // The boxes of the user-data page, set by the window before connecting.
    QString ServerText;
    QByteArray NickBox;
    QByteArray UserName = "bvIRC";
    QByteArray Description = "Brevant++ User";

    QByteArray CurrentNick;
    QByteArray AutoJoinChannel; // without "#"
    // Channels to join once the server's welcome ends (without "#"), asked
    // for while the window was still connecting or registering.
    const QList<QByteArray>& PendingChannels() const { return pending_; }
    bool WelcomeEnded() const { return welcomed_; }
    qint64 ChannelTotal = 0;
    qint64 ListCount = 0;
    // Renaming on 433 while registering; this window's own (one window's
    // numerics never stop another's renaming).
    bool AutoRenameNick = false;
    // Where the channel-list cache lives (the program's data folder); empty:
    // no cache is read or written.
    QString DataFolder;

    // Clocks: the time of day (PING, TIME, renaming) and a monotonic one in
    // milliseconds (rate limits). Tests set them.
    std::function<QDateTime()> Now;
    std::function<qint64()> MonotonicMs;
    QLocale Locale = QLocale::system();

    // Connecting.
    static bool NickUsable(QByteArrayView nick);
    static QString NickErrorCaption();
    static QString NickErrorText();
    TEffects BeginConnect(const TZentrelSettings& settings);
    QString LookupHost() const;
    // Where to connect once the host is known; false (with the reason in
    // both logs) when the server text's port is not a port.
    TEffects LookupFailed();
    TEffects LookupDone(QByteArrayView address, bool* connect);
    QString ConnectPort() const;
    TEffects ConnectFailed(int error);
    TEffects Connected();
    TEffects ConnectionClosed();
    TEffects Disconnect();
    TEffects Closing();

    // Received data: whole lines are handled, an incomplete one waits.
    //
    // A DCC chat request is asked about before the lines after it are
    // handled: from the request on, Receive holds the lines that follow (in
    // order, a PING among them answered at once) until ReleaseHeld.
    TEffects Receive(QByteArrayView data);
    TEffects HandleLine(QByteArrayView line);
    const TReceiveBuffer& Buffer() const { return buffer_; }
    bool Holding() const { return holding_; }
    // So many lines wait that no more is read until they are handled.
    bool HoldFull() const;
    int HeldCount() const { return int(held_.size()); }
    // The request has been answered: the held lines are handled in order, up
    // to the next DCC chat request (the rest waits behind it). When the
    // connection has closed meanwhile, every held line is handled and a
    // further request is not asked about (the status log says so).
    TEffects ReleaseHeld(bool connectionClosed = false);
    // The line of an accepted request that found the connection closed.
    static QByteArray DccChatNotOpenedLine(QByteArrayView nick);

    // A channel to join (without "#", cut as an address's channel is): at
    // once when the welcome has ended, else once it ends. Dropped when the
    // connection closes.
    TEffects JoinWhenWelcome(QByteArrayView channel);

    // Child windows.
    struct TChild
    {
        int Id = 0;
        QByteArray Caption;
        TWindowKind Kind = TWindowKind::Query; // fixed when it is made
        TNickList Names;
        QByteArray DccPeer; // DCC chat windows: the partner
        TReceiveBuffer DccBuffer;
    };
    const TChild* Child(int window) const;
    QList<int> ChildIds() const;
    // The channel, query or encrypted-mode window of a name, the last added
    // first; 0 when none. A DCC chat window has no name to be found by.
    int FindWindow(QByteArrayView name) const;

    TEffects PostToWindow(QByteArrayView name, QByteArrayView text, bool create);
    TEffects OpenQueryWindow(QByteArrayView nick);
    TEffects SetChildCaption(QByteArrayView name, QByteArrayView text, bool whole);
    TEffects ChildActivated(int window);
    TEffects ChildClosed(int window);
    TEffects CloseChildWindows();
    // What the user typed in a window's command line (0: the server window).
    TEffects CommandLine(int window, QByteArrayView text);

    // DCC chat windows: our offer (the window waiting for the partner, then,
    // once its listener is up on address and port, the offer line), an
    // offer the user accepted, and data from the partner.
    TEffects OpenDccChat(QByteArrayView entry, int* window);
    TEffects SendDccChatOffer(int window, quint32 address, quint16 port);
    TEffects AcceptDccChat(QByteArrayView nick, int* window);
    TEffects DccChatData(int window, QByteArrayView data);

    // The channel list page.
    const QList<TChannelRow>& ChannelRows() const { return rows_; }
    TEffects RetrieveList();
    TEffects JoinChannels(const QList<QByteArray>& names);
    // Sorting by a column header; the directions are shared by all windows.
    void SortChannelList(int column);
    QString ChannelCacheFile() const;

private:
    struct Target;
    TChild* child(int window);
    // Adds a child window and the effect that creates it.
    int newChild(const QByteArray& caption, const QByteArray& tab, TWindowKind kind, TEffects& fx,
                 bool behind = false);
    // A channel, query or encrypted-mode window of that routing name.
    static bool named(const TChild& c, const QByteArray& key);
    TEffects setCaptions(QByteArrayView name, QByteArrayView text, bool whole, bool channels);
    void handleItem(const TReceiveBuffer::Item& item, TEffects& fx);
    void holdItem(const TReceiveBuffer::Item& item, TEffects& fx);
    void endWelcome(TEffects& fx);
    void dropPending();
    void userCommand(const TIrcLine& p, QByteArray& display, Target& target, TEffects& fx);
    void serverLine(const TIrcLine& p, QByteArray& display, TEffects& fx);
    void ctcpRequest(const TIrcLine& p, const QByteArray& to, const QByteArray& text,
                     QByteArray& display, Target& target, TEffects& fx);
    void dccRequest(const QByteArray& nick, const QByteArray& arguments, TEffects& fx);
    void applyModes(const QByteArray& channel, const QByteArray& rest, TEffects& fx);
    void send(TEffects& fx, const QByteArray& line) const;
    void both(TEffects& fx, const QByteArray& line) const;
    void addNickEdits(TEffects& fx, int window, const TNickEdits& edits) const;
    bool isMe(QByteArrayView nick) const;
    qint64 msecsNow() const;
    qint64 monotonic() const;

    TDccTransfers& transfers_;
    TReceiveBuffer buffer_;
    std::list<TChild> children_; // in the order they were added
    int nextChild_ = 1;
    QList<TChannelRow> rows_;
    int lastGauge_ = -1;
    QString ircPort_ = QStringLiteral("6667");
    TRateLimiter ctcpLimiter_ = CtcpReplyLimiter();
    TRateLimiter offerLimiter_ = DccOfferLimiter();
    QList<QByteArray> pending_;
    bool welcomed_ = false;
    bool holding_ = false;
    std::deque<TReceiveBuffer::Item> held_;
    qsizetype heldBytes_ = 0;
};

} // namespace Zentrel
