// The server window's side of its chat windows: making, finding and freeing
// them, what they hand it (typed lines, DCC chat data, the nick menu's
// offers), and the DCC chat requests it asks the user about.
#include "chat/plugin/FrmMDIServer.h"

#include "chat/DccListen.h"
#include "chat/DccOffer.h"
#include "chat/NickList.h"
#include "chat/plugin/FrmChildWin.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmDCCChat.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <arpa/inet.h>

#include <utility>

namespace Zentrel {

void TMDIServer::PostToWindow(const QByteArray& name, const QByteArray& text, bool create)
{
    apply(session_.PostToWindow(name, text, create));
}

void TMDIServer::OpenQueryWindow(const QByteArray& nick)
{
    apply(session_.OpenQueryWindow(nick));
}

void TMDIServer::SetChildCaption(const QByteArray& name, const QByteArray& text, bool whole)
{
    apply(session_.SetChildCaption(name, text, whole));
}

void TMDIServer::CloseChildWindows()
{
    apply(session_.CloseChildWindows());
}

TMDIChild* TMDIServer::ChildWindow(int id) const
{
    return children_.value(id).data();
}

void TMDIServer::createChild(const TEffect& e)
{
    // A window made for a received line opens behind the plug-in's window
    // the user is in.
    QPointer<TForm> noted;
    if (e.Behind && HostMainForm())
        if (TForm* active = HostMainForm()->ActiveMDIChild())
            if (dynamic_cast<TZentrelForm*>(active))
                noted = active;
    auto* child = new TMDIChild(e.Window, e.Text, e.ChildKind);
    child->AttachToServer(this);
    child->show();
    Host::SetCaption(child, e.Tab);
    if (noted) {
        noted->BringToFront();
        Host::ActivateWindow(noted);
    }
}

void TMDIServer::freeChild(int id)
{
    QPointer<TMDIChild> child = children_.take(id);
    if (!child)
        return;
    child->Detach();
    Host::RemoveWindow(child);
    // Freed once control is back in the event loop: the window's own
    // handler may be on the call stack (a line it sent that ended the
    // connection frees every child window).
    if (QWidget* frame = child->MDIFrame())
        frame->hide();
    else
        child->hide();
    child->deleteLater();
}

void TMDIServer::ChildClosed(int id)
{
    children_.remove(id);
    apply(session_.ChildClosed(id));
}

void TMDIServer::ChildActivated(int id)
{
    apply(session_.ChildActivated(id));
}

void TMDIServer::ChildAttached(TMDIChild* child)
{
    if (child)
        children_.insert(child->Id(), child);
}

void TMDIServer::ChildCommandLine(int id, const QByteArray& text)
{
    apply(session_.CommandLine(id, text));
}

void TMDIServer::DccChatData(int id, QByteArrayView data)
{
    // The partner's lines show as they come, even while a DCC chat request
    // is asked about: they travel on a connection of their own, which that
    // request does not hold up, and kept back they would pile up for as
    // long as the prompt is up.
    for (const TEffect& e : session_.DccChatData(id, data))
        applyOne(e);
}

void TMDIServer::OfferDccChat(const QByteArray& entry)
{
    const QByteArray nick = BareNick(entry);
    if (nick.isEmpty())
        return;
    // The partner connects to the address the server knows us by: that of
    // our own connection to it.
    sockaddr_in local = {};
    if (WSocket->State() != wsConnected || WSocket->GetSockName(local) != 0 ||
        local.sin_addr.s_addr == 0) {
        statusLine("*** DCC CHAT to " + nick + ": not connected");
        return;
    }
    const quint32 address = ntohl(local.sin_addr.s_addr);
    const QByteArray dotted = DottedAddress(address);
    const quint16 port = ProbeListenPort(dotted);
    if (port == 0) {
        statusLine("*** DCC CHAT to " + nick + ": no free port on " + dotted);
        return;
    }
    int id = 0;
    apply(session_.OpenDccChat(nick, &id));
    TMDIChild* child = ChildWindow(id);
    // The offer goes out only once the window listens for the partner.
    if (child && child->ListenDcc(nick, QString::fromLatin1(dotted), port))
        apply(session_.SendDccChatOffer(id, address, port));
}

void TMDIServer::OfferDccSend(const QByteArray& nick)
{
    StartDccSendOffer(this, BareNick(nick));
}

TF_DccChat* TMDIServer::DccChatPrompt() const
{
    return prompt_.data();
}

void TMDIServer::askDccChat(const TEffect& offer)
{
    // The request is asked about before the lines after it are handled: the
    // session holds them (answering the server's PING meanwhile) until the
    // user answers. No event loop runs inside this call, so closing the
    // window (or unloading the plug-in) while the prompt is up frees the
    // prompt and nothing waits on it.
    auto* prompt = new TF_DccChat();
    prompt_ = prompt;
    const QPointer<TMDIServer> self(this);
    prompt->AskAccept(offer.Text, DottedAddress(offer.Offer.Address), offer.Offer.Port,
                      [self, nick = offer.Text, chat = offer.Offer](bool accepted) {
                          // Handled once the prompt has finished closing.
                          if (!self)
                              return;
                          QMetaObject::invokeMethod(
                              self,
                              [self, nick, chat, accepted] {
                                  Guard(self, [&] { self->dccChatAnswered(nick, chat, accepted); });
                              },
                              Qt::QueuedConnection);
                      });
}

void TMDIServer::dccChatAnswered(const QByteArray& nick, const TDccOffer& offer, bool accepted)
{
    prompt_ = nullptr;
    if (closing_)
        return;
    const bool closed = closedDuringPrompt_ || WSocket->State() != wsConnected;
    if (accepted && closed) {
        // Every window of the connection goes as its close is handled: the
        // chat would be freed as soon as it opened.
        statusLine(TServerSession::DccChatNotOpenedLine(nick));
    } else if (accepted) {
        int id = 0;
        apply(session_.AcceptDccChat(nick, &id));
        if (TMDIChild* child = ChildWindow(id))
            child->ConnectDcc(nick, QString::fromLatin1(DottedAddress(offer.Address)), offer.Port);
    }
    // The lines held behind the request go on in order (they may hold the
    // next request, which holds the rest again); the socket offers what it
    // kept unread again by itself.
    apply(session_.ReleaseHeld(closedDuringPrompt_));
    if (closedDuringPrompt_ && !prompt_) {
        closedDuringPrompt_ = false;
        sessionClosed(0);
    }
}

void TMDIServer::JoinChannel(const QByteArray& channel)
{
    apply(session_.JoinWhenWelcome(channel));
}

} // namespace Zentrel
