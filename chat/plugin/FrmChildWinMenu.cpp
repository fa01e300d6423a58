// The nick pop-up menu of a chat window and the nick list's double click.
// Each item acts on the selected entries of the nick list; the nicks go to
// the server with their marks ("@", "+") removed, and every line passes the
// server window's guard.
#include "chat/plugin/FrmChildWin.h"

#include "chat/Ctcp.h"
#include "chat/NickMenu.h"
#include "chat/plugin/FrmMDIServer.h"

#include "platform/Cp874.h"
#include "toolkit/Controls.h"

#include <QInputDialog>
#include <QTime>

namespace Zentrel {

void TMDIChild::createPopupMenu()
{
    PopupMenu2 = new TPopupMenu(QStringLiteral("PopupMenu2"), this);
    auto item = [this](const char* name, const QString& caption, void (TMDIChild::*handler)()) {
        TMenuItem* entry = PopupMenu2->AddItem(QString::fromLatin1(name));
        entry->SetCaption(caption);
        connect(entry, &QAction::triggered, this,
                [this, handler] { Guard(this, [&] { (this->*handler)(); }); });
        return entry;
    };
    N1 = item("N1", QStringLiteral("&ดูข้อมูล"), &TMDIChild::N1Click);
    N2 = item("N2", QStringLiteral("คุย&กระซิบส่วนตัว"), &TMDIChild::N2Click);
    // The encrypted mode was never finished: the item stays hidden.
    N3 = item("N3", QStringLiteral("คุยแบบเข้าร&หัส **"), &TMDIChild::N3Click);
    N3->setVisible(false);
    PopupMenu2->addSeparator();
    N11 = item("N11", QStringLiteral("จับเวลาการตอบรับ"), &TMDIChild::N11Click);
    N12 = item("N12", QStringLiteral("ขอดูชื่อโปรแกรมที่ใช้"), &TMDIChild::N12Click);
    N13 = item("N13", QStringLiteral("ขอดูเวลา"), &TMDIChild::N13Click);
    PopupMenu2->addSeparator();
    SEND1 = item("SEND1", QStringLiteral("SEND"), &TMDIChild::SEND1Click);
    CHATUnavailablenow1 =
        item("CHATUnavailablenow1", QStringLiteral("CHAT"), &TMDIChild::CHATUnavailablenow1Click);
    PopupMenu2->addSeparator();
    N6 = item("N6", QStringLiteral("ให้สิทธิดูแลห้อง"), &TMDIChild::N6Click);
    N7 = item("N7", QStringLiteral("ยึดสิทธิดูแลห้อง"), &TMDIChild::N7Click);
    N8 = item("N8", QStringLiteral("เตะออกจากห้อง"), &TMDIChild::N8Click);
}

void TMDIChild::sendEach(QByteArray (*line)(QByteArrayView entry))
{
    for (const QByteArray& entry : SelectedNicks())
        sendLine(line(entry));
    focusCommandLine();
}

// WHOIS.
void TMDIChild::N1Click()
{
    sendEach(&WhoisLine);
}

// A private conversation with each.
void TMDIChild::N2Click()
{
    for (const QByteArray& entry : SelectedNicks())
        if (TMDIServer* server = server_)
            server->OpenQueryWindow(BareNick(entry));
    focusCommandLine();
}

// The encrypted mode's key request (nothing is ever encrypted).
void TMDIChild::N3Click()
{
    for (const QByteArray& entry : SelectedNicks()) {
        if (TMDIServer* server = server_)
            server->OpenQueryWindow(EncryptedWindowName(entry));
        sendLine(PubKeyRequestLine(entry));
    }
    focusCommandLine();
}

// CTCP PING with our time of day, VERSION, TIME.
void TMDIChild::N11Click()
{
    const qint64 now = MsecsSinceMidnight(QTime::currentTime());
    for (const QByteArray& entry : SelectedNicks())
        sendLine(PingRequestLine(entry, now));
    focusCommandLine();
}

void TMDIChild::N12Click()
{
    sendEach(&VersionRequestLine);
}

void TMDIChild::N13Click()
{
    sendEach(&TimeRequestLine);
}

// DCC offers go to the first selected nick.
void TMDIChild::SEND1Click()
{
    const QList<QByteArray> nicks = SelectedNicks();
    if (TMDIServer* server = server_; server && !nicks.isEmpty())
        server->OfferDccSend(BareNick(nicks.first()));
    focusCommandLine();
}

void TMDIChild::CHATUnavailablenow1Click()
{
    const QList<QByteArray> nicks = SelectedNicks();
    if (TMDIServer* server = server_; server && !nicks.isEmpty())
        server->OfferDccChat(BareNick(nicks.first()));
    focusCommandLine();
}

void TMDIChild::operatorLines(bool give)
{
    for (const QByteArray& line : OperatorLines(CaptionTarget(caption_), SelectedNicks(), give))
        sendLine(line);
    focusCommandLine();
}

// Operator status given, taken: four nicks to a MODE line.
void TMDIChild::N6Click()
{
    operatorLines(true);
}

void TMDIChild::N7Click()
{
    operatorLines(false);
}

// KICK, each nick with a reason asked for in turn.
void TMDIChild::N8Click()
{
    askKickReasons(SelectedNicks());
}

void TMDIChild::askKickReasons(QList<QByteArray> nicks)
{
    if (nicks.isEmpty()) {
        focusCommandLine();
        return;
    }
    const QByteArray nick = nicks.takeFirst();
    // The prompt belongs to the window, so it goes with it (and with the
    // plug-in); it runs no event loop of its own inside this call.
    auto* prompt = new QInputDialog(this);
    prompt->setObjectName(QStringLiteral("KickReason"));
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setWindowModality(Qt::ApplicationModal);
    prompt->setWindowTitle(QStringLiteral("Message"));
    prompt->setLabelText(QStringLiteral("เหตุผลที่ kick"));
    prompt->setTextValue(QString());
    connect(prompt, &QDialog::finished, this, [this, prompt, nick, nicks](int result) {
        Guard(this, [&] {
            if (result == QDialog::Accepted)
                sendLine(KickLine(CaptionTarget(caption_), nick,
                                  Cp874::fromUnicode(prompt->textValue())));
            askKickReasons(nicks);
        });
    });
    prompt->open();
}

// A double click opens the private conversation of each selected nick.
void TMDIChild::lstNameListDblClick()
{
    for (const QByteArray& entry : SelectedNicks())
        if (TMDIServer* server = server_)
            server->OpenQueryWindow(BareNick(entry));
}

} // namespace Zentrel
