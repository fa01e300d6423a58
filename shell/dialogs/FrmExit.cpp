#include "shell/dialogs/FrmExit.h"

#include "shell/data/AlLanguager.h"
#include "shell/data/FormLocalizations.h"
#include "toolkit/Controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TF_Exit::TF_Exit(QWidget* parent) : TForm(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("F_Exit"));
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    GroupBox1 = new TGroupBox(QStringLiteral("GroupBox1"), this);
    ChB_SaveWindow = new TCheckBox(QStringLiteral("ChB_SaveWindow"), GroupBox1);
    ChB_SaveEnv = new TCheckBox(QStringLiteral("ChB_SaveEnv"), GroupBox1);
    B_OK = new TButton(QStringLiteral("B_OK"), this);
    B_Cancel = new TButton(QStringLiteral("B_Cancel"), this);
    B_OK->setDefault(true);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* box = new QVBoxLayout(GroupBox1);
    box->addWidget(ChB_SaveWindow);
    box->addWidget(ChB_SaveEnv);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_OK);
    buttons->addWidget(B_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(B_OK, &QPushButton::clicked, this, &TF_Exit::B_OKClick);
    connect(B_Cancel, &QPushButton::clicked, this, &TF_Exit::B_CancelClick);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(F_ExitLocalization());
}

bool TF_Exit::Execute()
{
    result_ = false;
    ShowModal();
    return result_;
}

void TF_Exit::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    result_ = false;
    CenterOnScreen();
}

void TF_Exit::B_OKClick()
{
    result_ = true;
    close();
}

void TF_Exit::B_CancelClick()
{
    close();
}
