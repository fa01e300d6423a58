#include "telnet/FrmTelnet.h"

#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QVBoxLayout>

QPointer<TF_Telnet> F_Telnet;

TF_Telnet::TF_Telnet(TF_Main* main) : TForm(nullptr, Qt::Widget), m_main(main)
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
    if (!m_main)
        return;
    QMdiSubWindow* sub = m_main->MDIClient->addSubWindow(this);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(511, 346);
    SetCaption(QStringLiteral("Telnet:") + Telnet->HostName());
    m_main->RegisterChildTab(this);
    SetCaption(QStringLiteral("F_Telnet"));
    connect(m_main->MDIClient, &QMdiArea::subWindowActivated, this, &TF_Telnet::HandleMdiActivate);
    sub->show();
    // Activation arrives as a signal only when it changes; the new window is
    // the active one from the start.
    if (m_main->MDIClient->activeSubWindow() == sub)
        HandleMdiActivate(sub);
}

void TF_Telnet::HandleMdiActivate(QMdiSubWindow* Activated)
{
    // Deactivation, and the activation of other windows, leave it alone.
    if (!Activated || Activated->widget() != this || !m_main)
        return;
    m_main->N_Print->setEnabled(false);
    m_main->N_PSetup->setEnabled(false);
    m_main->N_SaveHTML->setEnabled(false);
    m_main->ActiveWebBrowser = nullptr;
    m_main->ActiveChild = this;
    m_main->ActivateChildTab(this);
    m_main->RSB_Back->setEnabled(false);
    m_main->RSB_Forward->setEnabled(false);
    m_main->UpdateGoFavorite();
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
    if (m_closing)
        return;
    m_closing = true;
    QTimer::singleShot(0, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });
}

void TF_Telnet::FormClose(TCloseAction& Action)
{
    m_closing = true;
    Telnet->Disconnect();
    Action = caFree;
    if (m_main) {
        if (m_main->ActiveChild == this)
            m_main->ActiveChild = nullptr;
        m_main->UnregisterChildTab(this);
    }
}

TF_Telnet* OpenTelnetForm(TF_Main& main, const QString& host, const QString& port)
{
    auto* form = new TF_Telnet(&main);
    form->Telnet->SetHostName(host);
    if (!port.isEmpty())
        form->Telnet->Port = port;
    form->Telnet->Connect();
    // The font name only: the cells keep their size.
    TTnEmulVT* t = form->Telnet;
    const int lineHeight = t->LineHeight();
    const int charWidth = t->CharWidth();
    QFont font = t->Font();
    font.setFamily(main.Settings.TFont);
    t->SetFont(font);
    t->SetLineHeight(lineHeight);
    t->SetCharWidth(charWidth);
    form->Telnet->SetCols(main.Settings.TCols);
    form->Telnet->SetRows(main.Settings.TRows);
    return form;
}
