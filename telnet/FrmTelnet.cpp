#include "telnet/FrmTelnet.h"

#include "toolkit/ChildWindowHost.h"

#include <QTimer>
#include <QVBoxLayout>

QPointer<TF_Telnet> F_Telnet;

TF_Telnet::TF_Telnet(TChildWindowHost& host) : TForm(nullptr, Qt::Widget), host_(host)
{
    setObjectName(QStringLiteral("F_Telnet"));
    SetCaption(QStringLiteral("F_Telnet"));
    resize(511, 346);

    Telnet = new TTnEmulVT(this);
    Telnet->setObjectName(QStringLiteral("Telnet"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Telnet);
    QFont font(QStringLiteral("Terminal"));
    font.setPixelSize(12);
    Telnet->SetFont(font);
    Telnet->SetAutoRepaint(true);
    Telnet->TCustomEmulVT::SetLocalEcho(false);
    Telnet->SetAutoLF(false);
    Telnet->SetAutoCR(false);
    Telnet->SetXlat(true);
    Telnet->SetMonoChrome(false);
    Telnet->SetLog(false);
    Telnet->SetRows(25);
    Telnet->SetCols(80);
    Telnet->SetBackRows(0);
    Telnet->SetBackColor(vtsWhite);
    Telnet->SetOptions(vtoBackColor);
    Telnet->SetLineHeight(15);
    Telnet->SetCharWidth(8);
    Telnet->SetFKeys(1);
    Telnet->Port = QStringLiteral("telnet");
    Telnet->SetLocation(QStringLiteral("TNCNX"));
    Telnet->UpperLock = false;
    Telnet->OnSessionConnected = [this](QObject* Sender) { TelnetSessionConnected(Sender); };
    Telnet->OnSessionClosed = [this](QObject* Sender) { TelnetSessionClosed(Sender); };

    F_Telnet = this;
    FormCreate();
}

TF_Telnet::~TF_Telnet() = default;

void TF_Telnet::FormCreate()
{
    SetFormStyle(fsMDIChild);
    // The tab reads "Telnet:" and the host name, which is not set yet.
    SetCaption(QStringLiteral("Telnet:") + Telnet->HostName());
    host_.RegisterChildTab(this);
    SetCaption(QStringLiteral("F_Telnet"));
    // Shown, the window enters the main form's area as the active child.
    show();
}

void TF_Telnet::FormActivate()
{
    HandleMdiActivate();
}

void TF_Telnet::HandleMdiActivate()
{
    TDocumentCommands commands;
    commands.Print = commands.PageSetup = commands.Save = false;
    host_.EnableDocumentCommands(commands);
    host_.SetActiveWebBrowser(nullptr);
    host_.SetActiveChild(this);
    host_.ActivateChildTab(this);
    TDocumentCommands navigation;
    navigation.BackButton = navigation.ForwardButton = false;
    host_.EnableDocumentCommands(navigation);
    host_.UpdateGoFavorite();
    Telnet->setFocus();
}

void TF_Telnet::TelnetSessionConnected(QObject*)
{
    SetCaption(QStringLiteral("Telnet:") + Telnet->HostName());
}

void TF_Telnet::TelnetSessionClosed(QObject*)
{
    // This runs inside the socket's event handler: the window closes once
    // that handler has returned.
    if (closing_)
        return;
    closing_ = true;
    QTimer::singleShot(0, this, [this] { Close(); });
}

void TF_Telnet::FormClose(TCloseAction& Action)
{
    closing_ = true;
    Telnet->Disconnect();
    Action = caFree;
    if (host_.ActiveChild() == this)
        host_.SetActiveChild(nullptr);
    host_.UnregisterChildTab(this);
}

TF_Telnet* OpenTelnetForm(TChildWindowHost& host, const QString& hostName, const QString& port)
{
    auto* form = new TF_Telnet(host);
    form->Telnet->SetHostName(hostName);
    if (!port.isEmpty())
        form->Telnet->Port = port;
    form->Telnet->Connect();
    // The font name only: the cells keep their size.
    TTnEmulVT* t = form->Telnet;
    const int lineHeight = t->LineHeight();
    const int charWidth = t->CharWidth();
    const TTerminalSettings settings = host.TerminalSettings();
    QFont font = t->Font();
    font.setFamily(settings.FontName);
    t->SetFont(font);
    t->SetLineHeight(lineHeight);
    t->SetCharWidth(charWidth);
    form->Telnet->SetCols(settings.Cols);
    form->Telnet->SetRows(settings.Rows);
    return form;
}
