#include "shell/favorites/FrmEnterURLGroup.h"

#include "shell/data/AlLanguager.h"
#include "toolkit/Controls.h"

#include <QHBoxLayout>

namespace {

QString localization()
{
    return BuildLocalizationString({
        {"*_*f_enterurlgroup_caption", QStringLiteral("ชื่อกลุ่ม")},
        {"*_*speedbutton1_caption", QStringLiteral("ตกลง")},
        {"*_*speedbutton2_caption", QStringLiteral("ยกเลิก")},
    });
}

} // namespace

TF_EnterURLGroup::TF_EnterURLGroup(QWidget* parent) : TForm(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("F_EnterURLGroup"));
    E_GroupName = new TEdit(QStringLiteral("E_GroupName"), this);
    SpeedButton1 = new TToolButton(QStringLiteral("SpeedButton1"), this);
    SpeedButton2 = new TToolButton(QStringLiteral("SpeedButton2"), this);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));
    for (TToolButton* b : {SpeedButton1, SpeedButton2})
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(E_GroupName, 1);
    layout->addWidget(SpeedButton1);
    layout->addWidget(SpeedButton2);
    resize(334, 37);

    connect(SpeedButton1, &QToolButton::clicked, this, &TF_EnterURLGroup::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TF_EnterURLGroup::SpeedButton2Click);
    connect(E_GroupName, &QLineEdit::returnPressed, this, &TF_EnterURLGroup::SpeedButton1Click);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(localization());
}

bool TF_EnterURLGroup::Execute()
{
    result_ = false; // the close box is a cancel
    CenterOnScreen();
    ShowModal();
    return result_;
}

void TF_EnterURLGroup::SpeedButton1Click()
{
    result_ = true;
    close();
}

void TF_EnterURLGroup::SpeedButton2Click()
{
    result_ = false;
    close();
}
