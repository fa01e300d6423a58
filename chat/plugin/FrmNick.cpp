#include "chat/plugin/FrmNick.h"

#include "toolkit/Controls.h"

#include <QVBoxLayout>

#include <QPointer>

namespace Zentrel {

TF_Nick::TF_Nick()
    // No title-bar buttons: only OK closes it.
    : TZentrelForm(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("F_Nick"));
    SetCaption(QStringLiteral("Automatic join"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    Label1->SetCaption(QStringLiteral("กรุณาเลือกชื่อเล่นที่จะใช้"));
    E_Nick = new TEdit(QStringLiteral("E_Nick"), this);
    Button1 = new TButton(QStringLiteral("Button1"), this);
    Button1->SetCaption(QStringLiteral("ตกลง"));
    Button1->setDefault(true);
    layout->addWidget(Label1);
    layout->addWidget(E_Nick);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    connect(E_Nick, &QLineEdit::returnPressed, this, [this] { SetModalResult(mrOk); });
    resize(260, 110);
}

QString TF_Nick::Execute()
{
    // It frees itself when closed: here, when the call ends. The plug-in's
    // Done may free it while it is up; then no nick was given.
    QPointer<TF_Nick> form = new TF_Nick();
    form->CenterOnScreen();
    form->ShowModal();
    if (!form)
        return {};
    const QString nick = form->E_Nick->text();
    delete form.data();
    return nick;
}

} // namespace Zentrel
