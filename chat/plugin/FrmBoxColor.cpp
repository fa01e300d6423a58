#include "chat/plugin/FrmBoxColor.h"

#include "toolkit/ColorGrid.h"

#include <QVBoxLayout>

namespace Zentrel {

TF_BoxColor::TF_BoxColor() : TZentrelForm(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("F_BoxColor"));
    SetCaption(QStringLiteral("เลือกสี"));
    auto* layout = new QVBoxLayout(this);
    CG_Color = new TColorGrid(QStringLiteral("CG_Color"), this);
    CG_Color->SetBackgroundEnabled(false);
    layout->addWidget(CG_Color);
    resize(160, 160);
}

} // namespace Zentrel
