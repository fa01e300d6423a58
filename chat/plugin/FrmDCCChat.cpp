#include "chat/plugin/FrmDCCChat.h"

#include "platform/Cp874.h"
#include "toolkit/Controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <utility>

namespace Zentrel {

TF_DccChat::TF_DccChat() : TZentrelForm(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("F_DccChat"));
    SetCaption(QStringLiteral("DCC Chat Request"));
    auto* layout = new QVBoxLayout(this);
    Label5 = new TLabel(QStringLiteral("Label5"), this);
    Label5->SetCaption(QStringLiteral("Request DCC chat with you"));
    layout->addWidget(Label5);
    auto* fields = new QGridLayout;
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    Label1->SetCaption(QStringLiteral("User:"));
    L_Name = new TLabel(QStringLiteral("L_Name"), this);
    L_Name->setTextFormat(Qt::PlainText);
    Label3 = new TLabel(QStringLiteral("Label3"), this);
    Label3->SetCaption(QStringLiteral("IP:"));
    L_IP = new TLabel(QStringLiteral("L_IP"), this);
    L_IP->setTextFormat(Qt::PlainText);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(L_Name, 0, 1);
    fields->addWidget(Label3, 1, 0);
    fields->addWidget(L_IP, 1, 1);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);
    auto* buttons = new QHBoxLayout;
    BitBtn2 = new TButton(QStringLiteral("BitBtn2"), this);
    BitBtn2->SetCaption(QStringLiteral("Discard"));
    BitBtn1 = new TButton(QStringLiteral("BitBtn1"), this);
    BitBtn1->SetCaption(QStringLiteral("Accept"));
    BitBtn1->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    layout->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guard(this, [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guard(this, [this] { BitBtn2Click(); }); });
    resize(280, 130);
}

void TF_DccChat::AskAccept(const QByteArray& nick, const QByteArray& address, quint16 port,
                           std::function<void(bool)> answer)
{
    L_Name->SetCaption(Cp874::toUnicode(nick));
    L_IP->SetCaption(Cp874::toUnicode(address) + u':' + QString::number(port));
    accepted_ = false;
    answer_ = std::move(answer);
    setWindowModality(Qt::ApplicationModal);
    show();
    CenterOnScreen();
    BitBtn1->setFocus();
}

void TF_DccChat::BitBtn1Click()
{
    accepted_ = true;
    Close();
}

void TF_DccChat::BitBtn2Click()
{
    accepted_ = false;
    Close();
}

void TF_DccChat::FormClose(TCloseAction& action)
{
    action = caFree;
    if (answer_)
        std::exchange(answer_, {})(accepted_);
}

void TF_DccChat::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the button that has the focus, else the default one.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        (focused ? focused : static_cast<QPushButton*>(BitBtn1))->click();
        return;
    }
    TZentrelForm::keyPressEvent(event);
}

} // namespace Zentrel
