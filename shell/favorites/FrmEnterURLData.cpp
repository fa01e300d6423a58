#include "shell/favorites/FrmEnterURLData.h"

#include "shell/data/AlLanguager.h"
#include "shell/data/ShellData.h"
#include "shell/favorites/FavoritesHost.h"
#include "shell/favorites/FrmFavorite.h"
#include "toolkit/Controls.h"

#include <QGridLayout>
#include <QHBoxLayout>

QPointer<TF_EnterURLData> F_EnterURLData;

namespace {

QString localization()
{
    return BuildLocalizationString({
        {"*_*f_enterurldata_caption", QStringLiteral("ป้อนข้อมูลรายการเว็บ")},
        {"*_*label1_caption", QStringLiteral("ชื่อเว็บ")},
        {"*_*label2_caption", QStringLiteral("URL")},
        {"*_*l_favorite_caption", QStringLiteral("สารบัญเว็บ")},
        {"*_*b_select_caption", QStringLiteral("เลือก")},
        {"*_*speedbutton1_caption", QStringLiteral("ตกลง")},
        {"*_*speedbutton2_caption", QStringLiteral("ยกเลิก")},
    });
}

} // namespace

TF_EnterURLData::TF_EnterURLData(TFavoritesHost* host, QWidget* parent)
    : TForm(parent, Qt::Tool), host_(host)
{
    setObjectName(QStringLiteral("F_EnterURLData"));
    Label1 = new TLabel(QStringLiteral("Label1"), this);
    E_WebName = new TEdit(QStringLiteral("E_WebName"), this);
    Label2 = new TLabel(QStringLiteral("Label2"), this);
    E_URL = new TEdit(QStringLiteral("E_URL"), this);
    L_Favorite = new TLabel(QStringLiteral("L_Favorite"), this);
    E_Favorite = new TEdit(QStringLiteral("E_Favorite"), this);
    E_Favorite->setReadOnly(true);
    B_Select = new TButton(QStringLiteral("B_Select"), this);
    SpeedButton1 = new TToolButton(QStringLiteral("SpeedButton1"), this);
    SpeedButton2 = new TToolButton(QStringLiteral("SpeedButton2"), this);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));
    for (TToolButton* b : {SpeedButton1, SpeedButton2})
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(E_WebName, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(E_URL, 1, 1, 1, 2);
    grid->addWidget(L_Favorite, 2, 0);
    grid->addWidget(E_Favorite, 2, 1);
    grid->addWidget(B_Select, 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    grid->addLayout(buttons, 3, 0, 1, 3);
    resize(365, 85);

    connect(B_Select, &QPushButton::clicked, this, &TF_EnterURLData::B_SelectClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TF_EnterURLData::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TF_EnterURLData::SpeedButton2Click);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(localization());
}

bool TF_EnterURLData::run(bool addMode)
{
    addMode_ = addMode;
    result_ = false;
    for (QWidget* w : std::initializer_list<QWidget*>{B_Select, E_Favorite, L_Favorite})
        w->setEnabled(addMode);
    CenterOnScreen();
    ShowModal();
    return result_;
}

bool TF_EnterURLData::ExecuteAdd()
{
    return run(true);
}

bool TF_EnterURLData::ExecuteEdit()
{
    return run(false);
}

void TF_EnterURLData::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (host_)
        E_Favorite->setText(host_->ShellData().CurrentGroup);
}

void TF_EnterURLData::B_SelectClick()
{
    if (!F_Favorite)
        return;
    F_Favorite->PickGroup();
    E_Favorite->setText(F_Favorite->SelectedGroup());
}

void TF_EnterURLData::SpeedButton1Click()
{
    result_ = true;
    if (addMode_ && host_)
        host_->AddGroupURL(E_WebName->text(), E_URL->text());
    close();
}

void TF_EnterURLData::SpeedButton2Click()
{
    result_ = false;
    close();
}
