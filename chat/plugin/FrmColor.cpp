#include "chat/plugin/FrmColor.h"

#include "chat/U_GlobalConfig.h"
#include "chat/plugin/ColorRichText.h"

#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"
#include "toolkit/ColorGrid.h"
#include "toolkit/Controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace Zentrel {

TF_Color::TF_Color() : TZentrelForm(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("F_Color"));
    SetCaption(QStringLiteral("แต่งแต้มสีสรร - Color Composition"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    R_Edit = new TRxRichEdit(QStringLiteral("R_Edit"), this);
    R_Edit->SetAutoURLDetect(false);
    R_Edit->SetWantReturns(false);
    R_Edit->SetWordWrap(false);
    R_Edit->SetScrollBars(ssNone);
    R_Edit->setFixedHeight(R_Edit->fontMetrics().height() + 12);
    SpeedButton1 = new TToolButton(QStringLiteral("SpeedButton1"), this);
    SpeedButton1->SetCaption(QStringLiteral("set"));
    SpeedButton1->SetHint(QStringLiteral("set ค่าสีให้กับส่วนที่เลือก"));
    top->addWidget(R_Edit, 1);
    top->addWidget(SpeedButton1);
    layout->addLayout(top);

    CG_Color = new TColorGrid(QStringLiteral("CG_Color"), this);
    // As the hint below tells the user.
    CG_Color->SetClickButtons(Qt::RightButton, Qt::LeftButton);
    CG_Color->setMinimumHeight(96);
    layout->addWidget(CG_Color, 1);

    Panel1 = new TPanel(QStringLiteral("Panel1"), this);
    Panel1->SetCaption(QStringLiteral("HINT:Click ขวาเลือกสีอักษร , Click ซ้ายเลือกสีพื้น"));
    auto* hint = new QLabel(Panel1->Caption(), Panel1);
    (new QVBoxLayout(Panel1))->addWidget(hint);
    layout->addWidget(Panel1);

    BitBtn1 = new TButton(QStringLiteral("BitBtn1"), this);
    BitBtn1->SetCaption(QStringLiteral("ตกลง"));
    layout->addWidget(BitBtn1, 0, Qt::AlignRight);

    connect(CG_Color, &TColorGrid::Change, this,
            [this] { Guard(this, [this] { ApplyColors(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { Guard(this, [this] { ApplyColors(); }); });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guard(this, [this] { BitBtn1Click(); }); });
    resize(360, 220);
}

void TF_Color::FormShow()
{
    const TZentrelSettings& s = Settings();
    const QSignalBlocker quiet(CG_Color);
    CG_Color->SetForegroundColor(s.ChatFontColor);
    CG_Color->SetBackgroundColor(s.ChatBKColor);
    R_Edit->SetColor(s.ChatBKColor);
    R_Edit->HandleNeeded();
    R_Edit->SelectionAttributes()->SetColor(s.ChatFontColor);
    R_Edit->SelectionAttributes()->SetBackColor(s.ChatBKColor);
    result_.clear();
}

void TF_Color::ApplyColors()
{
    TRxTextAttributes* sel = R_Edit->SelectionAttributes();
    sel->SetColor(CG_Color->ForegroundColor());
    sel->SetBackColor(CG_Color->BackgroundColor());
}

void TF_Color::BitBtn1Click()
{
    result_ = EncodeColorText(*R_Edit, Settings().Appearance());
    confirmed_ = true;
    Close();
}

void TF_Color::FormClose(TCloseAction& action)
{
    action = caFree;
    if (confirmed_ && done_)
        std::exchange(done_, {})(result_);
}

TF_Color* TF_Color::Execute(std::function<void(const QString&)> done)
{
    auto* form = new TF_Color();
    form->done_ = std::move(done);
    form->FormShow();
    form->setWindowModality(Qt::ApplicationModal);
    form->show();
    form->CenterOnScreen();
    return form;
}

} // namespace Zentrel
