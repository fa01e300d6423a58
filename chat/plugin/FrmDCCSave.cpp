#include "chat/plugin/FrmDCCSave.h"

#include "chat/DccFiles.h"
#include "chat/PluginAddress.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmMDIServer.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"
#include "toolkit/Controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace Zentrel {

namespace {

QList<TF_DCCSAve*>& prompts()
{
    static QList<TF_DCCSAve*> list;
    return list;
}

} // namespace

TF_DCCSAve::TF_DCCSAve() : TZentrelForm(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("F_DCCSAve"));
    SetCaption(QStringLiteral("DCC Save Dialog"));
    SetFormStyle(fsStayOnTop);
    auto* layout = new QVBoxLayout(this);
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    Label1->SetCaption(QStringLiteral("ต้องการรับแฟ้ม?:"));
    L_FileName = new TLabel(QStringLiteral("L_FileName"), this);
    L_FileName->setTextFormat(Qt::PlainText);
    layout->addWidget(Label1);
    layout->addWidget(L_FileName);
    auto* buttons = new QHBoxLayout;
    B_Resume = new TButton(QStringLiteral("B_Resume"), this);
    B_Resume->SetCaption(QStringLiteral("ต่อแฟ้ม"));
    B_recv = new TButton(QStringLiteral("B_recv"), this);
    B_recv->SetCaption(QStringLiteral("รับแฟ้ม"));
    Button3 = new TButton(QStringLiteral("Button3"), this);
    Button3->SetCaption(QStringLiteral("ยกเลิก"));
    buttons->addWidget(B_Resume);
    buttons->addWidget(B_recv);
    buttons->addWidget(Button3);
    layout->addLayout(buttons);
    connect(B_Resume, &QPushButton::clicked, this,
            [this] { Guard(this, [&] { B_ResumeClick(); }); });
    connect(B_recv, &QPushButton::clicked, this, [this] { Guard(this, [&] { B_recvClick(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { Guard(this, [&] { Button3Click(); }); });
    resize(320, 110);
    folder_ = DccReceiveFolder(Settings());
    prompts().append(this);
}

TF_DCCSAve::~TF_DCCSAve()
{
    prompts().removeAll(this);
    // A prompt that goes without a choice takes its transfer window along.
    delete transfer_.data();
}

QList<TF_DCCSAve*> TF_DCCSAve::Prompts()
{
    return prompts();
}

void TF_DCCSAve::SetOffer(const TDccIncoming& offer, const QString& localName)
{
    offer_ = offer;
    localName_ = localName;
}

void TF_DCCSAve::SetWindows(TMDIServer* server, TF_DCC* transfer)
{
    server_ = server;
    transfer_ = transfer;
}

TDccSavePlan TF_DCCSAve::plan() const
{
    return PlanDccSave(folder_, localName_, offer_.HasSize ? offer_.Size : 0);
}

void TF_DCCSAve::statusLine(const QByteArray& line)
{
    if (server_)
        server_->StatusLine(line);
}

QByteArray TF_DCCSAve::offerText() const
{
    return "*** DCC SEND of " + Cp874::fromUnicode(localName_) + " from " + offer_.Nick;
}

QByteArray TF_DCCSAve::autoRefusal() const
{
    // A loopback address is where the sender is only when our server is
    // there too.
    bool loopback = false;
    if (server_ && server_->WSocket->State() == wsConnected)
        if (const auto peer = ParseDottedAddress(server_->WSocket->PeerAddr().toLatin1()))
            loopback = IsLoopbackAddress(*peer);
    return AutoConnectRefusal(offer_.Address, offer_.Port, loopback);
}

void TF_DCCSAve::ShowOffer()
{
    const TDccSavePlan p = plan();
    B_Resume->setEnabled(p.ResumeEnabled);
    L_FileName->SetCaption(localName_);
    // An offer without a size has no end but the sender's close: it could
    // fill the disk, so the user is asked about it even with auto-receive;
    // and so is one that points where nothing connects unasked.
    bool ask = !Settings().DCCAutoReceive || !offer_.HasSize;
    if (!ask) {
        if (const QByteArray why = autoRefusal(); !why.isEmpty()) {
            statusLine(offerText() + " not received automatically: " + why);
            ask = true;
        }
    }
    if (ask) {
        CenterOnScreen();
        show();
        return;
    }
    const TDccAutoPlan a = PlanAutoReceive(p, offer_.FileName, offer_.Size);
    switch (a.Choice) {
    case TDccAutoChoice::Resume:
        resume(a.Path, a.ResumePosition);
        return;
    case TDccAutoChoice::Receive:
        receive(a.Path);
        return;
    case TDccAutoChoice::Skip:
        statusLine(offerText() + " not received: " + a.SkipReason);
        Button3Click();
        return;
    }
}

void TF_DCCSAve::B_ResumeClick()
{
    // The folder may have changed since the prompt was shown.
    const TDccSavePlan p = plan();
    if (!p.ResumeEnabled || !transfer_) {
        B_Resume->setEnabled(false);
        if (!isVisible())
            Button3Click();
        return;
    }
    resume(p.ExistingPath, p.ResumePosition);
}

void TF_DCCSAve::resume(const QString& path, quint64 position)
{
    if (!transfer_) {
        Button3Click();
        return;
    }
    choice_ = Resume;
    TF_DCC* transfer = std::exchange(transfer_, nullptr);
    transfer->RegisterResume(offer_.Port, offer_.Nick, offer_.Size, position);
    // Straight to the sender; the server window's guard keeps the offered
    // name from starting another command.
    if (server_)
        server_->SendLine(DccResumeLine(offer_.Nick, offer_.FileName, offer_.Port, position));
    transfer->StartReceive(server_, offer_, false, path, position);
    Close();
}

void TF_DCCSAve::B_recvClick()
{
    receive(plan().ReceivePath);
}

void TF_DCCSAve::receive(const QString& path)
{
    if (path.isEmpty() || !transfer_) {
        statusLine(offerText() + " not received: no free file name");
        Button3Click();
        return;
    }
    choice_ = Receive;
    TF_DCC* transfer = std::exchange(transfer_, nullptr);
    // A new file, beside whatever is there: nothing is deleted.
    transfer->StartReceive(server_, offer_, true, path);
    Close();
}

void TF_DCCSAve::Button3Click()
{
    choice_ = Cancelled;
    Close();
}

void TF_DCCSAve::FormClose(TCloseAction& action)
{
    delete std::exchange(transfer_, nullptr).data();
    action = caFree;
}

void ShowDccSendOffer(TMDIServer* server, const QByteArray& nick, const TDccOffer& offer,
                      const QString& localName)
{
    TDccIncoming incoming;
    incoming.Address = offer.Address;
    incoming.Port = offer.Port;
    incoming.Size = offer.Size;
    incoming.HasSize = offer.HasSize;
    incoming.Nick = nick;
    incoming.FileName = offer.FileName;
    auto* transfer = new TF_DCC;
    auto* prompt = new TF_DCCSAve;
    prompt->SetOffer(incoming, localName);
    prompt->SetWindows(server, transfer);
    prompt->ShowOffer();
}

void EndDccOfferPrompts()
{
    QList<QPointer<TF_DCCSAve>> list;
    for (TF_DCCSAve* p : prompts())
        list << p;
    for (const QPointer<TF_DCCSAve>& p : list)
        delete p.data();
}

} // namespace Zentrel
