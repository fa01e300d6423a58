#pragma once

#include <QColor>
#include <QRect>
#include <Qt>

class QBrush;
class QPainter;

// The system colours controls paint with, taken from the application's
// palette so that they follow the desktop's theme.
enum TSysColor {
    clBtnFace,
    clBtnHighlight,
    clBtnShadow,
    clWindowFrame,
    clBtnText,
    clWindow,
    clWindowText,
    clGrayText,
};
QColor SysColor(TSysColor color);

// Plain colours controls use by value.
constexpr QRgb clFuchsia = 0xFFFF00FF;
constexpr QRgb clBlack = 0xFF000000;
constexpr QRgb clWhite = 0xFFFFFFFF;

// The bevels of a panel.
enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// Horizontal alignment of a control's text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The text flags for an alignment, mirrored for a right-to-left control.
Qt::Alignment AlignmentTextFlags(TAlignment alignment, Qt::LayoutDirection direction);

// Controls are drawn in the three-dimensional look (never the flat
// look of old dialogs).
constexpr bool NewStyleControls()
{
    return true;
}

// Draws `width` one-pixel frames on `rect`, each with its top and left
// edges in `topLeft` and its bottom and right edges in `bottomRight`; the
// rectangle shrinks by one pixel on every side per frame. `rect` holds the
// rectangle's own bounds (right and bottom exclusive, as `QRect` from
// `QRect(x, y, w, h)`).
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight,
             int width = 1);

// The 8 x 8 checker brush of button face and highlight pixels that
// latched buttons are filled with.
QBrush CheckerBrush();
