#include "toolkit/Graphics.h"

#include <QBrush>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QStyle>

QColor SysColor(TSysColor color)
{
    const QPalette palette = QGuiApplication::palette();
    switch (color) {
    case clBtnFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case clBtnHighlight:
        return palette.color(QPalette::Active, QPalette::Light);
    case clBtnShadow:
        return palette.color(QPalette::Active, QPalette::Dark);
    case clWindowFrame:
        return palette.color(QPalette::Active, QPalette::Shadow);
    case clBtnText:
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case clWindow:
        return palette.color(QPalette::Active, QPalette::Base);
    case clWindowText:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case clGrayText:
        return palette.color(QPalette::Disabled, QPalette::Text);
    }
    return QColor(Qt::black);
}

Qt::Alignment AlignmentTextFlags(TAlignment alignment, Qt::LayoutDirection direction)
{
    Qt::Alignment flags = Qt::AlignHCenter;
    if (alignment == taLeftJustify)
        flags = Qt::AlignLeft;
    else if (alignment == taRightJustify)
        flags = Qt::AlignRight;
    return QStyle::visualAlignment(direction, flags | Qt::AlignAbsolute) & ~Qt::AlignAbsolute;
}

void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight,
             int width)
{
    for (; width > 0; --width) {
        if (rect.width() <= 0 || rect.height() <= 0) {
            rect.adjust(1, 1, -1, -1);
            continue;
        }
        const int l = rect.left(), t = rect.top();
        const int r = l + rect.width() - 1, b = t + rect.height() - 1;
        // Top and left edges first; the bottom and right edges then take
        // the two corners they share with them.
        painter.fillRect(QRect(l, t, 1, b - t + 1), topLeft);
        painter.fillRect(QRect(l, t, r - l, 1), topLeft);
        painter.fillRect(QRect(r, t, 1, b - t + 1), bottomRight);
        painter.fillRect(QRect(l, b, r - l + 1, 1), bottomRight);
        rect.adjust(1, 1, -1, -1);
    }
}

QBrush CheckerBrush()
{
    QImage pattern(8, 8, QImage::Format_RGB32);
    const QRgb face = SysColor(clBtnFace).rgb();
    const QRgb highlight = SysColor(clBtnHighlight).rgb();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.setPixel(x, y, x % 2 == y % 2 ? highlight : face);
    return QBrush(pattern);
}
