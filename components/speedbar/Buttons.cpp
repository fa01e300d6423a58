#include "components/speedbar/Buttons.h"

TSpeedButton::TSpeedButton(const QString& name, QWidget* parent) : TRxSpeedButton(name, parent)
{
    SetLayout(blGlyphLeft);
    SetSpacing(4);
    SetTransparent(true);
    SetGrayedInactive(false);
    SetMarkDropDown(false);
}
