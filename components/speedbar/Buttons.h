#pragma once

#include "components/speedbar/RXCtrls.h"

// The class library's plain speed button: the same button and glyph
// drawing with the plain button's defaults (glyph left of the caption, 4
// pixels apart, transparent, its glyph in its own colours when flat) and
// no drop-down mark.
class TSpeedButton : public TRxSpeedButton
{
    Q_OBJECT
public:
    explicit TSpeedButton(const QString& name = {}, QWidget* parent = nullptr);
};
