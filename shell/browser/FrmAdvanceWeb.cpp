#include "shell/browser/FrmAdvanceWeb.h"

#include "shell/browser/WebBrowser.h"
#include "shell/data/AlLanguager.h"
#include "toolkit/Controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

QPointer<TF_AdvanceWeb> F_AdvanceWeb;
QPointer<TWebBrowser> AdvanceWebTarget;

QString F_AdvanceWebLocalization()
{
    return BuildLocalizationString({
        {"*_*f_advanceweb_caption", QStringLiteral("ตัวเลือกขั้นสูงของเว็บ")},
        {"*_*b_ok_caption", QStringLiteral("ตกลง")},
        {"*_*b_cancel_caption", QStringLiteral("ยกเลิก")},
        {"*_*groupbox1_caption", QStringLiteral("ตั้งค่า")},
        {"*_*chb_noscript_caption", QStringLiteral("ไม่ให้ Java/VB Script ทำงาน")},
        {"*_*chb_noactivex_caption", QStringLiteral("ไม่ให้ ActiveX ทำงาน")},
        {"*_*chb_nocache_caption", QStringLiteral("ไม่ใช้ Cache ที่เก็บในเครื่อง")},
        {"*_*chb_nojava_caption", QStringLiteral("ไม่ให้ Java Applet ทำงาน")},
        {"*_*chb_noimage_caption", QStringLiteral("ไม่ load ภาพที่มากับ page")},
    });
}

TF_AdvanceWeb::TF_AdvanceWeb(QWidget* parent)
    : TForm(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("F_AdvanceWeb"));
    SetCaption(QStringLiteral("Advance web options"));
    GroupBox1 = new TGroupBox(QStringLiteral("GroupBox1"), this);
    ChB_NoScript = new TCheckBox(QStringLiteral("ChB_NoScript"), GroupBox1);
    ChB_NoActiveX = new TCheckBox(QStringLiteral("ChB_NoActiveX"), GroupBox1);
    ChB_NoCache = new TCheckBox(QStringLiteral("ChB_NoCache"), GroupBox1);
    ChB_NoJava = new TCheckBox(QStringLiteral("ChB_NoJava"), GroupBox1);
    Chb_NoImage = new TCheckBox(QStringLiteral("Chb_NoImage"), GroupBox1);
    B_Ok = new TButton(QStringLiteral("B_Ok"), this);
    B_Cancel = new TButton(QStringLiteral("B_Cancel"), this);
    B_Ok->setDefault(true);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* box = new QVBoxLayout(GroupBox1);
    for (TCheckBox* check : {ChB_NoScript, ChB_NoActiveX, ChB_NoCache, ChB_NoJava, Chb_NoImage})
        box->addWidget(check);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(B_Ok);
    buttons->addWidget(B_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(B_Ok, &QPushButton::clicked, this, &TF_AdvanceWeb::B_OkClick);
    connect(B_Cancel, &QPushButton::clicked, this, &TF_AdvanceWeb::B_CancelClick);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(F_AdvanceWebLocalization());
}

void TF_AdvanceWeb::ShowOptions(TWebBrowser* control)
{
    AdvanceWebTarget = control;
    if (!control)
        return;
    const TDownloadControlOptions options = control->DownloadOptions();
    Chb_NoImage->setChecked(!options.contains(DLCTL_DLIMAGES));
    ChB_NoScript->setChecked(options.contains(DLCTL_NO_SCRIPTS));
    ChB_NoActiveX->setChecked(options.contains(DLCTL_NO_RUNACTIVEXCTLS));
    ChB_NoJava->setChecked(options.contains(DLCTL_NO_JAVA));
    ChB_NoCache->setChecked(options.contains(DLCTL_PRAGMA_NO_CACHE));
}

void TF_AdvanceWeb::Execute(TWebBrowser* control)
{
    ShowOptions(control);
    CenterOnScreen();
    ShowModal();
}

void TF_AdvanceWeb::B_OkClick()
{
    // The control is told after every step, as each flag changes.
    QPointer<TWebBrowser> target = AdvanceWebTarget;
    const auto step = [&target](TDownloadControlOption option, bool on) {
        if (target)
            target->SetDownloadOptions(target->DownloadOptions().set(option, on));
    };
    step(DLCTL_NO_SCRIPTS, ChB_NoScript->isChecked());
    step(DLCTL_NO_RUNACTIVEXCTLS, ChB_NoActiveX->isChecked());
    step(DLCTL_NO_JAVA, ChB_NoJava->isChecked());
    step(DLCTL_PRAGMA_NO_CACHE, ChB_NoCache->isChecked());
    step(DLCTL_DLIMAGES, !Chb_NoImage->isChecked());
    if (target && target->HasDocument())
        target->Refresh();
    close();
}

void TF_AdvanceWeb::B_CancelClick()
{
    close();
}
