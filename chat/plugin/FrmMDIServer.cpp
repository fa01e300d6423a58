#include "chat/plugin/FrmMDIServer.h"

#include "chat/ChatFiles.h"
#include "chat/ChatTexts.h"
#include "chat/DccListen.h"
#include "chat/IrcText.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/ColorRichText.h"
#include "chat/plugin/FrmChildWin.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmDCCChat.h"
#include "chat/plugin/FrmDCCSave.h"
#include "chat/plugin/IdentResponder.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "net/WSocket.h"
#include "net/WSocketS.h"
#include "platform/Cp874.h"
#include "platform/MessageBox.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStackedLayout>
#include <QTextBlock>
#include <QUrl>
#include <QVBoxLayout>

#include <arpa/inet.h>

namespace Zentrel {

namespace {

// The server box: its list is read from the server list file each time it
// drops down.
class TServerListBox : public TComboBox
{
public:
    using TComboBox::TComboBox;
    void showPopup() override
    {
        reload();
        TComboBox::showPopup();
    }
    void reload()
    {
        const QStringList servers = ReadServerList();
        if (servers.isEmpty())
            return;
        const QString text = Text();
        Items()->Assign(servers);
        SetText(text);
    }
};

template <typename F> auto guarded(QObject* form, F handler)
{
    return [form, handler] { Guard(form, handler); };
}

TToolButton* barButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new TToolButton(QString::fromLatin1(name), parent);
    b->SetCaption(caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

TMemo* logMemo(const char* name, QWidget* parent)
{
    auto* memo = new TMemo(QString::fromLatin1(name), parent);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

QString text874(const QByteArray& bytes)
{
    return Cp874::toUnicode(bytes);
}

} // namespace

TMDIServer::TMDIServer()
{
    setObjectName(QStringLiteral("MDIServer"));
    SetCaption(QStringLiteral("IRC Plugin"));
    SetFormStyle(fsMDIChild);
    SetWindowState(wsMaximized);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // The top bar.
    Panel1 = new TPanel(QStringLiteral("Panel1"), this);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(2, 2, 2, 2);
    B_Connect = barButton("B_Connect", QStringLiteral("Connect"), Panel1);
    B_Disconnect = barButton("B_Disconnect", QStringLiteral("Disconnect"), Panel1);
    B_retrieve = barButton("B_retrieve", QStringLiteral("List"), Panel1);
    B_Join = barButton("B_Join", QStringLiteral("Join"), Panel1);
    G_ListProcess = new TProgressBar(QStringLiteral("G_ListProcess"), Panel1);
    G_ListProcess->setMaximumWidth(80);
    G_ListProcess->hide();
    for (QWidget* w : {static_cast<QWidget*>(B_Connect), static_cast<QWidget*>(B_Disconnect),
                       static_cast<QWidget*>(B_retrieve), static_cast<QWidget*>(B_Join)})
        bar->addWidget(w);
    bar->addStretch(1);
    bar->addWidget(G_ListProcess);
    layout->addWidget(Panel1);

    PC_Page = new TPageControl(QStringLiteral("PC_Page"), this);
    layout->addWidget(PC_Page, 1);

    // User data.
    TabSheet1 = new TTabSheet(QStringLiteral("TabSheet1"), PC_Page);
    TabSheet1->SetCaption(QStringLiteral("ข้อมูลผู้ใช้"));
    auto* user = new QFormLayout(TabSheet1);
    auto* serverRow = new QHBoxLayout;
    auto* servers = new TServerListBox(QStringLiteral("ServerList"), TabSheet1);
    ServerList = servers;
    ServerList->Items()->Assign({QStringLiteral("irc.libera.chat")});
    servers->reload();
    ServerList->SetText(QString());
    SpeedButton1 = barButton("SpeedButton1", QStringLiteral("+"), TabSheet1);
    SpeedButton1->SetHint(QStringLiteral("แก้ไขรายชื่อ Server"));
    serverRow->addWidget(ServerList, 1);
    serverRow->addWidget(SpeedButton1);
    user->addRow(QStringLiteral("Server"), serverRow);
    edtNick = new TEdit(QStringLiteral("edtNick"), TabSheet1);
    edtUserName = new TEdit(QStringLiteral("edtUserName"), TabSheet1);
    edtUserName->setText(QStringLiteral("bvIRC"));
    edtDescription = new TEdit(QStringLiteral("edtDescription"), TabSheet1);
    edtDescription->setText(QStringLiteral("Brevant++ User"));
    user->addRow(QStringLiteral("Nick"), edtNick);
    user->addRow(QStringLiteral("User Name"), edtUserName);
    user->addRow(QStringLiteral("Description"), edtDescription);
    L_Version = new TLabel(QStringLiteral("L_Version"), TabSheet1);
    L_Version->SetCaption(QLatin1String(Texts::Version));
    user->addRow(QStringLiteral("Version"), L_Version);

    // Status, with the command line.
    TabSheet2 = new TTabSheet(QStringLiteral("TabSheet2"), PC_Page);
    TabSheet2->SetCaption(QStringLiteral("สถานะ"));
    auto* status = new QVBoxLayout(TabSheet2);
    redShowText = logMemo("redShowText", TabSheet2);
    redShowText->LineLimit = [this](int lines) { return StatusLogExcess(lines, active_); };
    status->addWidget(redShowText, 1);
    edtInputText = new TEdit(QStringLiteral("edtInputText"), TabSheet2);
    btnSend = new TButton(QStringLiteral("btnSend"), TabSheet2);
    btnSend->hide();
    status->addWidget(edtInputText);

    // The channel list.
    TabSheet3 = new TTabSheet(QStringLiteral("TabSheet3"), PC_Page);
    TabSheet3->SetCaption(QStringLiteral("รายชื่อห้อง"));
    auto* list = new QVBoxLayout(TabSheet3);
    LV_Channel = new TListView(QStringLiteral("LV_Channel"), TabSheet3);
    LV_Channel->setColumnCount(3);
    LV_Channel->setHeaderLabels(
        {QStringLiteral("Channel"), QStringLiteral("Users"), QStringLiteral("Topic")});
    LV_Channel->setRootIsDecorated(false);
    LV_Channel->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV_Channel->header()->setSectionsClickable(true);
    list->addWidget(LV_Channel);

    // DCC, where the transfers' list covers the raw log.
    TabSheet5 = new TTabSheet(QStringLiteral("TabSheet5"), PC_Page);
    TabSheet5->SetCaption(QStringLiteral("DCC"));
    auto* dcc = new QVBoxLayout(TabSheet5);
    auto* stack = new QStackedLayout;
    stack->setStackingMode(QStackedLayout::StackAll);
    redShowRaw = logMemo("redShowRaw", TabSheet5);
    redShowRaw->LineLimit = RawLogExcess;
    LV_DCC = new TListView(QStringLiteral("LV_DCC"), TabSheet5);
    LV_DCC->setColumnCount(3);
    LV_DCC->setHeaderLabels(
        {QStringLiteral("Filename"), QStringLiteral("Byte"), QStringLiteral("% Complete")});
    LV_DCC->setRootIsDecorated(false);
    stack->addWidget(redShowRaw);
    stack->addWidget(LV_DCC);
    stack->setCurrentWidget(LV_DCC);
    dcc->addLayout(stack, 1);
    B_Clear = new TButton(QStringLiteral("B_Clear"), TabSheet5);
    B_Clear->SetCaption(QStringLiteral("Clear"));
    dcc->addWidget(B_Clear, 0, Qt::AlignRight);

    // About.
    TabSheet4 = new TTabSheet(QStringLiteral("TabSheet4"), PC_Page);
    TabSheet4->SetCaption(QStringLiteral("About"));
    auto* about = new QVBoxLayout(TabSheet4);
    about->addWidget(NewAboutText(TabSheet4, &RxRichEdit1));

    // The sockets, owned by the window: they go with it, and so does every
    // lookup, event and timer of theirs.
    WSocket = new TWSocket(this);
    WSocket->SetName(QStringLiteral("WSocket"));
    WSocket->OnDnsLookupDone = [this](QObject*, quint16 error) {
        Guard(this, [&] { lookupDone(error); });
    };
    WSocket->OnSessionConnected = [this](QObject*, quint16 error) {
        Guard(this, [&] { sessionConnected(error); });
    };
    WSocket->OnDataAvailable = [this](QObject*, quint16 error) {
        Guard(this, [&] { dataAvailable(error); });
    };
    WSocket->OnSessionClosed = [this](QObject*, quint16 error) {
        Guard(this, [&] { sessionClosed(error); });
    };
    connect(B_Connect, &QToolButton::clicked, this, guarded(this, [this] { B_ConnectClick(); }));
    connect(B_Disconnect, &QToolButton::clicked, this,
            guarded(this, [this] { B_DisconnectClick(); }));
    connect(B_retrieve, &QToolButton::clicked, this, guarded(this, [this] { B_retrieveClick(); }));
    connect(B_Join, &QToolButton::clicked, this, guarded(this, [this] { B_JoinClick(); }));
    connect(SpeedButton1, &QToolButton::clicked, this,
            guarded(this, [this] { SpeedButton1Click(); }));
    connect(edtInputText, &QLineEdit::returnPressed, this,
            guarded(this, [this] { btnSendClick(); }));
    connect(btnSend, &QPushButton::clicked, this, guarded(this, [this] { btnSendClick(); }));
    connect(B_Clear, &QPushButton::clicked, this, guarded(this, [this] { B_ClearClick(); }));
    connect(LV_Channel->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guard(this, [&] { LV_ChannelColumnClick(column); }); });

    syncButtons();
    PC_Page->SetActivePage(TabSheet1);
    Host::AddWindow(this);
}

TMDIServer::~TMDIServer()
{
    closing_ = true;
    // A prompt still up goes with the window; its answer would reach nobody.
    delete prompt_.data();
    // Nothing of the sockets reaches a window that is going.
    WSocket->OnDnsLookupDone = {};
    WSocket->OnSessionConnected = {};
    WSocket->OnDataAvailable = {};
    WSocket->OnSessionClosed = {};
    TIdentResponder::Instance().Unregister(this);
    try {
        WSocket->Abort();
    } catch (...) {
    }
    for (const QPointer<TMDIChild>& child : std::exchange(children_, {})) {
        if (!child)
            continue;
        child->Detach();
        Host::RemoveWindow(child);
        delete child.data();
    }
}

QString TMDIServer::ServerText() const
{
    return ServerList->Text();
}

void TMDIServer::SetServerText(const QString& text)
{
    ServerList->SetText(text);
}

void TMDIServer::SetNick(const QString& nick)
{
    edtNick->setText(nick);
}

bool TMDIServer::IsConnected() const
{
    return !B_Connect->isEnabled();
}

void TMDIServer::SendLine(const QByteArray& line)
{
    applyOne(TEffect::Make(TEffect::Send, 0, GuardLine(line)));
}

// ---------------------------------------------------------------------------
// Effects

void TMDIServer::apply(const TEffects& effects)
{
    for (const TEffect& e : effects)
        applyOne(e);
}

void TMDIServer::applyOne(const TEffect& e)
{
    TMDIChild* child = e.Window ? ChildWindow(e.Window) : nullptr;
    switch (e.kind) {
    case TEffect::Send:
        rawLine(e.Text);
        if (WSocket->State() == wsConnected)
            WSocket->SendText(WireLine(e.Text));
        break;
    case TEffect::Raw:
        rawLine(e.Text);
        break;
    case TEffect::Status:
        statusLine(e.Text);
        break;
    case TEffect::Show:
        if (child)
            child->AddLine(e.Text);
        break;
    case TEffect::CreateWindow:
        createChild(e);
        break;
    case TEffect::ActivateWindow:
        if (child) {
            child->BringToFront();
            Host::ActivateWindow(child);
        }
        break;
    case TEffect::SetCaption:
        if (child)
            child->SetCaptionBytes(e.Text);
        break;
    case TEffect::SetTabCaption:
        if (!closing_)
            Host::SetCaption(e.Window ? static_cast<TForm*>(child) : this, e.Text);
        break;
    case TEffect::SetServerCaption:
        SetCaption(text874(e.Text));
        break;
    case TEffect::CloseWindow:
        if (child)
            child->Close();
        break;
    case TEffect::FreeWindow:
        freeChild(e.Window);
        break;
    case TEffect::NickList:
        if (child)
            child->ApplyNickEdits(e.Edits);
        break;
    case TEffect::NickBox:
        edtNick->setText(text874(e.Text));
        break;
    case TEffect::Beep:
        QApplication::beep();
        break;
    case TEffect::BusyIcon:
        if (!closing_)
            Host::SetBusyIcon(this);
        break;
    case TEffect::IdleIcon:
        if (!closing_)
            Host::SetIdleIcon(this);
        break;
    case TEffect::CloseIdent:
        stopIdent();
        break;
    case TEffect::ChannelListBegin:
        B_retrieve->setEnabled(false);
        G_ListProcess->SetPosition(0);
        G_ListProcess->show();
        LV_Channel->clear();
        break;
    case TEffect::ChannelListRow:
        addChannelRow(int(e.Number));
        break;
    case TEffect::ChannelListReset:
        fillChannelList();
        break;
    case TEffect::Gauge:
        G_ListProcess->SetPosition(int(e.Number));
        break;
    case TEffect::ChannelListEnd:
        B_retrieve->setEnabled(true);
        G_ListProcess->hide();
        break;
    case TEffect::DccChatOffer:
        askDccChat(e);
        break;
    case TEffect::DccChatText:
        // Shown as sent only once it has gone to the partner.
        if (child) {
            if (child->SendDccText(e.Text)) {
                for (const QByteArray& line : e.Echo)
                    child->AddLine(line);
            } else {
                child->AddLine(DccChatTexts::NotConnected());
            }
        }
        break;
    case TEffect::DccSendOffer:
        ShowDccSendOffer(this, e.Text, e.Offer, e.LocalName);
        break;
    case TEffect::DccResume:
    case TEffect::DccAccept:
        // The transfer sends from there once its file stands there (and only
        // then the ACCEPT answers the peer), or connects and receives from
        // there.
        if (TF_DCC* transfer = TF_DCC::FindTransfer(int(e.Number)))
            if (transfer->AcceptResume(e.Position) && !e.Text.isEmpty())
                applyOne(TEffect::Make(TEffect::Send, 0, e.Text));
        break;
    case TEffect::CloseServer:
        QMetaObject::invokeMethod(
            this, [this] { Close(); }, Qt::QueuedConnection);
        break;
    }
}

int TMDIServer::AddDccRow(const QByteArray& caption, const QByteArray& bytes,
                          const QByteArray& percent)
{
    const int id = nextDccRow_++;
    dccRows_.insert(
        id, new QTreeWidgetItem(LV_DCC, {text874(caption), text874(bytes), text874(percent)}));
    return id;
}

void TMDIServer::SetDccRowText(int row, int column, const QByteArray& text)
{
    if (QTreeWidgetItem* item = dccRows_.value(row); item && column >= 0 && column < 3)
        item->setText(column, text874(text));
}

void TMDIServer::B_ClearClick()
{
    dccRows_.clear();
    LV_DCC->clear();
}

void TMDIServer::StatusLine(const QByteArray& line)
{
    statusLine(StripColorCodes(line));
}

void TMDIServer::statusLine(const QByteArray& line)
{
    // Cut back to 300 lines after each change while the window is not the
    // active one.
    redShowText->AppendLine(text874(line));
}

void TMDIServer::rawLine(const QByteArray& line)
{
    // At most 150 lines: past them the first 50 go.
    redShowRaw->AppendLine(text874(line));
}

void TMDIServer::fillChannelList()
{
    LV_Channel->clear();
    for (int i = 0; i < session_.ChannelRows().size(); ++i)
        addChannelRow(i);
}

void TMDIServer::addChannelRow(int index)
{
    if (index < 0 || index >= session_.ChannelRows().size())
        return;
    const TChannelRow& row = session_.ChannelRows().at(index);
    new QTreeWidgetItem(LV_Channel, {text874(row.Name), text874(row.Users), text874(row.Topic)});
}

void TMDIServer::syncButtons()
{
    // Connect while nothing is pending, Disconnect while something is.
    const bool idle = session_.Phase() == TServerSession::TPhase::Idle;
    B_Connect->setEnabled(idle);
    B_Disconnect->setEnabled(!idle);
}

void TMDIServer::setBoxesEnabled(bool enabled)
{
    ServerList->setEnabled(enabled);
    edtNick->setEnabled(enabled);
    edtUserName->setEnabled(enabled);
    edtDescription->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Connecting

void TMDIServer::B_ConnectClick()
{
    const QByteArray nick = Cp874::fromUnicode(edtNick->text());
    if (!TServerSession::NickUsable(nick)) {
        MessageBoxService::MessageBox(this, TServerSession::NickErrorText(),
                                      TServerSession::NickErrorCaption(),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONWARNING);
        return;
    }
    session_.ServerText = ServerText();
    session_.NickBox = nick;
    session_.UserName = Cp874::fromUnicode(edtUserName->text());
    session_.Description = Cp874::fromUnicode(edtDescription->text());
    apply(session_.BeginConnect(Settings()));
    syncButtons();
    PC_Page->SetActivePage(TabSheet2);
    FocusControl(edtInputText);
    // A connection given up no longer registers.
    stopIdent();
    try {
        if (WSocket->State() != wsClosed && WSocket->State() != wsInvalidState)
            WSocket->Abort();
        WSocket->LookupHost(session_.LookupHost());
    } catch (const std::exception&) {
        lookupDone(quint16(WSocket->LastError() ? WSocket->LastError() : 11001));
    }
}

void TMDIServer::lookupDone(quint16 error)
{
    // A lookup that Disconnect cancelled (or that came after it) is over.
    if (closing_ || session_.Phase() != TServerSession::TPhase::LookingUp)
        return;
    const QString address = WSocket->DnsResult();
    if (error || address.isEmpty()) {
        apply(session_.LookupFailed());
        syncButtons();
        return;
    }
    bool go = false;
    apply(session_.LookupDone(address.toLatin1(), &go));
    if (!go) {
        syncButtons();
        return;
    }
    const TZentrelSettings& s = Settings();
    serverPort_ = quint16((s.UseSock ? s.SockPort : session_.ConnectPort()).toUInt());
    // A server may ask our ident as soon as it accepts the connection: the
    // responder listens on the address it will come from first.
    const QByteArray from = RouteSourceAddress(
        s.UseSock ? Cp874::fromUnicode(s.Sock5Address) : address.toLatin1(), serverPort_);
    if (!from.isEmpty())
        TIdentResponder::Instance().Prepare(this, from);
    try {
        WSocket->SetAddr(address);
        WSocket->SetPort(session_.ConnectPort());
        WSocket->SetProto(QStringLiteral("tcp"));
        if (s.UseSock) {
            WSocket->SetSocksPort(s.SockPort);
            WSocket->SetSocksLevel(s.SockLevel != 0 ? QStringLiteral("5") : QStringLiteral("4"));
            WSocket->SetSocksServer(s.Sock5Address);
            if (!s.Sock5User.isEmpty() || !s.Sock5PW.isEmpty()) {
                WSocket->SocksAuthentication = socksAuthenticateUsercode;
                WSocket->SocksUsercode = Cp874::fromUnicode(s.Sock5User);
                WSocket->SocksPassword = Cp874::fromUnicode(s.Sock5PW);
            } else {
                WSocket->SocksAuthentication = socksNoAuthentication;
            }
        } else {
            WSocket->SetSocksServer(QString());
            WSocket->SetSocksPort(QString());
        }
        WSocket->Connect();
    } catch (const std::exception&) {
        stopIdent();
        apply(session_.ConnectFailed(WSocket->LastError()));
        syncButtons();
        return;
    }
    // The address and port the server sees are known now: the ident
    // responder answers for them before the server can ask.
    startIdent();
}

void TMDIServer::sessionConnected(quint16 error)
{
    if (closing_ || session_.Phase() != TServerSession::TPhase::Connecting)
        return;
    if (error) {
        apply(session_.ConnectFailed(error));
        stopIdent();
        syncButtons();
        return;
    }
    if (!TIdentResponder::Instance().IsRegistered(this))
        startIdent();
    apply(session_.Connected());
    syncButtons();
    setBoxesEnabled(false);
}

void TMDIServer::dataAvailable(quint16)
{
    // While a DCC chat request is asked about the lines after it are held
    // (a PING answered at once); past the bound of what may wait, the data
    // waits in the socket, which offers it again.
    if (busy_ || session_.HoldFull())
        return;
    busy_ = true;
    const auto clear = qScopeGuard([this] { busy_ = false; });
    char buffer[TReceiveBuffer::Capacity + 1];
    const int room = int(session_.Buffer().Room());
    const int received = WSocket->Receive(buffer, room > 0 ? room : 1);
    if (received <= 0)
        return;
    apply(session_.Receive(QByteArrayView(buffer, received)));
}

void TMDIServer::sessionClosed(quint16 error)
{
    if (closing_)
        return;
    // A close while a DCC chat request is asked about comes after the lines
    // held behind it: handled once the request is answered.
    if (prompt_) {
        closedDuringPrompt_ = true;
        return;
    }
    stopIdent();
    switch (session_.Phase()) {
    case TServerSession::TPhase::Connected:
        apply(session_.ConnectionClosed());
        Host::ActivateWindow(this);
        break;
    case TServerSession::TPhase::Connecting:
        // Closed before the connection was made: the connect failed.
        apply(session_.ConnectFailed(error ? error : quint16(WinSock::WSAECONNRESET)));
        break;
    case TServerSession::TPhase::LookingUp:
    case TServerSession::TPhase::Idle:
        break;
    }
    syncButtons();
    setBoxesEnabled(true);
    B_retrieve->setEnabled(true);
    G_ListProcess->hide();
}

void TMDIServer::B_DisconnectClick()
{
    const TServerSession::TPhase phase = session_.Phase();
    apply(session_.Disconnect());
    if (phase == TServerSession::TPhase::LookingUp || phase == TServerSession::TPhase::Connecting) {
        // Nothing of the lookup or the connect goes on: the session is idle
        // already, so the cancelled lookup's own report is ignored.
        stopIdent();
        try {
            WSocket->CancelLookup();
        } catch (const std::exception&) {
            // The result was on its way: the socket drops it.
        }
        if (WSocket->State() != wsClosed)
            WSocket->Abort();
    } else if (WSocket->State() != wsClosed) {
        WSocket->Close();
    }
    syncButtons();
}

// ---------------------------------------------------------------------------
// Ident

void TMDIServer::startIdent()
{
    // (What it held for this window before the connection started gives way
    // to the connection, on the same listener.)
    sockaddr_in local = {};
    if (WSocket->GetSockName(local) != 0 || local.sin_addr.s_addr == 0 || local.sin_port == 0)
        return;
    const QByteArray address = QByteArray(WinSock::inet_ntoa(local.sin_addr.s_addr));
    const QPointer<TMDIServer> self(this);
    // The reply names the nick box's text at the time of the query (a 433
    // while registering changes it).
    const QByteArray why = TIdentResponder::Instance().Register(
        this, address, ntohs(local.sin_port), serverPort_,
        [self] { return self ? Cp874::fromUnicode(self->edtNick->text()) : QByteArray(); });
    // IRC connects all the same; the server will not see our ident.
    if (!why.isEmpty())
        statusLine("*** Ident server not started on " + address + ":113: " + why);
}

void TMDIServer::stopIdent()
{
    TIdentResponder::Instance().Unregister(this);
}

// ---------------------------------------------------------------------------
// The channel list, the command line, the server list

void TMDIServer::B_retrieveClick()
{
    PC_Page->SetActivePage(TabSheet3);
    apply(session_.RetrieveList());
}

void TMDIServer::B_JoinClick()
{
    if (PC_Page->ActivePage() != TabSheet3) {
        PC_Page->SetActivePage(TabSheet3);
        return;
    }
    QList<QByteArray> names;
    for (QTreeWidgetItem* item : LV_Channel->selectedItems())
        names << Cp874::fromUnicode(item->text(0));
    apply(session_.JoinChannels(names));
}

void TMDIServer::LV_ChannelColumnClick(int column)
{
    session_.SortChannelList(column);
    fillChannelList();
}

void TMDIServer::btnSendClick()
{
    const QByteArray text = Cp874::fromUnicode(edtInputText->text());
    edtInputText->clear();
    FocusControl(edtInputText);
    apply(session_.CommandLine(0, TrimTrailingSpaces(text)));
}

void TMDIServer::SpeedButton1Click()
{
    if (EnsureServerListFile())
        QDesktopServices::openUrl(QUrl::fromLocalFile(ServerListFile()));
}

// ---------------------------------------------------------------------------
// Activation and closing

void TMDIServer::FormActivate()
{
    active_ = true;
    Host::ActivateWindow(this);
}

void TMDIServer::FormDeactivate()
{
    active_ = false;
}

void TMDIServer::FormClose(TCloseAction& action)
{
    Host::RemoveWindow(this);
    ServerWindows().removeAll(this);
    closing_ = true;
    // A DCC chat request still asked about goes unanswered, and what waited
    // behind it is dropped: the window's QUIT goes out now.
    delete prompt_.data();
    apply(session_.Closing());
    if (WSocket->State() != wsClosed)
        WSocket->Close();
    stopIdent();
    action = caFree;
}

} // namespace Zentrel
