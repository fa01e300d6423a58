#pragma once

#include "toolkit/Graphics.h"

class QWidget;

// The font dialog: face, style, size and colour. Execute shows it modally,
// preset with Font; when the user confirms, Font holds the choice (the
// character set stays as it was).
class TFontDialog
{
public:
    TFont Font;
    bool Execute(QWidget* parent = nullptr);
};
