#include "toolkit/GraphicControl.h"

#include "toolkit/Graphics.h"

#include <QPainter>

TGraphicControl::TGraphicControl(const QString& name, QWidget* parent) : QWidget(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
}

TBevel::TBevel(const QString& name, QWidget* parent) : TGraphicControl(name, parent)
{
    resize(50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    if (shape == shape_)
        return;
    shape_ = shape;
    update();
}

void TBevel::SetStyle(TBevelStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    update();
}

void TBevel::paintEvent(QPaintEvent*)
{
    // A lowered bevel is a shadow line with a highlight line below or right
    // of it; a raised one the other way round. Nothing else is painted, so
    // what lies beneath shows through.
    QPainter painter(this);
    const QColor shadow = SysColor(clBtnShadow), highlight = SysColor(clBtnHighlight);
    const QColor first = style_ == bsLowered ? shadow : highlight;
    const QColor second = style_ == bsLowered ? highlight : shadow;
    const int w = width(), h = height();
    switch (shape_) {
    case bsBox:
        painter.fillRect(0, 0, w, 1, first);
        painter.fillRect(0, 0, 1, h, first);
        painter.fillRect(0, h - 1, w, 1, second);
        painter.fillRect(w - 1, 0, 1, h, second);
        break;
    case bsTopLine:
        painter.fillRect(0, 0, w, 1, first);
        painter.fillRect(0, 1, w, 1, second);
        break;
    case bsBottomLine:
        painter.fillRect(0, h - 2, w, 1, first);
        painter.fillRect(0, h - 1, w, 1, second);
        break;
    case bsLeftLine:
        painter.fillRect(0, 0, 1, h, first);
        painter.fillRect(1, 0, 1, h, second);
        break;
    case bsRightLine:
        painter.fillRect(w - 2, 0, 1, h, first);
        painter.fillRect(w - 1, 0, 1, h, second);
        break;
    }
}
