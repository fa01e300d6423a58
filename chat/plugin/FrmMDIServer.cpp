#include "chat/plugin/FrmMDIServer.h"

#include "chat/plugin/ZentrelPlugin.h"

#include "platform/Cp874.h"
#include "toolkit/Controls.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace Zentrel {

TMDIServer::TMDIServer()
{
    setObjectName(QStringLiteral("MDIServer"));
    SetCaption(QStringLiteral("IRC Plugin"));
    SetFormStyle(fsMDIChild);
    SetWindowState(wsMaximized);
    auto* layout = new QVBoxLayout(this);
    B_Connect = new TToolButton(QStringLiteral("B_Connect"), this);
    B_Connect->SetCaption(QStringLiteral("Connect"));
    B_Disconnect = new TToolButton(QStringLiteral("B_Disconnect"), this);
    B_Disconnect->SetCaption(QStringLiteral("Disconnect"));
    B_Disconnect->setEnabled(false);
    auto* form = new QFormLayout;
    ServerList = new TComboBox(QStringLiteral("ServerList"), this);
    edtNick = new TEdit(QStringLiteral("edtNick"), this);
    form->addRow(QStringLiteral("Server"), ServerList);
    form->addRow(QStringLiteral("Nick"), edtNick);
    redShowRaw = new TMemo(QStringLiteral("redShowRaw"), this);
    redShowRaw->setReadOnly(true);
    layout->addWidget(B_Connect);
    layout->addWidget(B_Disconnect);
    layout->addLayout(form);
    layout->addWidget(redShowRaw, 1);
    connect(B_Connect, &QToolButton::clicked, this, [this] { B_ConnectClick(); });
    Host::AddWindow(this);
}

TMDIServer::~TMDIServer()
{
    CloseChildWindows();
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
    redShowRaw->appendPlainText(Cp874::toUnicode(line));
}

void TMDIServer::B_ConnectClick() {}

void TMDIServer::CloseChildWindows() {}

void TMDIServer::FormClose(TCloseAction& action)
{
    Host::RemoveWindow(this);
    ServerWindows().removeAll(this);
    action = caFree;
}

} // namespace Zentrel
