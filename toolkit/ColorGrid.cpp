#include "toolkit/ColorGrid.h"

#include <QMouseEvent>
#include <QPainter>

const std::array<TColor, 16>& TColorGrid::StandardColors()
{
    static const std::array<TColor, 16> colors = {
        clBlack,  clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clGray,
        clSilver, clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite,
    };
    return colors;
}

int TColorGrid::ColorToIndex(TColor color)
{
    const auto& colors = StandardColors();
    for (int i = 0; i < int(colors.size()); ++i)
        if (colors[i] == color)
            return i;
    return -1;
}

TColorGrid::TColorGrid(const QString& name, QWidget* parent) : QWidget(parent)
{
    setObjectName(name);
    setMinimumSize(64, 64);
}

void TColorGrid::SetForegroundIndex(int index)
{
    if (index < 0 || index > 15 || index == foreground_)
        return;
    foreground_ = index;
    update();
    emit Change();
}

void TColorGrid::SetBackgroundIndex(int index)
{
    if (index < 0 || index > 15 || index == background_)
        return;
    background_ = index;
    update();
    emit Change();
}

TColor TColorGrid::ForegroundColor() const
{
    return StandardColors()[size_t(foreground_)];
}

TColor TColorGrid::BackgroundColor() const
{
    return StandardColors()[size_t(background_)];
}

void TColorGrid::SetForegroundColor(TColor color)
{
    SetForegroundIndex(ColorToIndex(ColorToRGB(color)));
}

void TColorGrid::SetBackgroundColor(TColor color)
{
    SetBackgroundIndex(ColorToIndex(ColorToRGB(color)));
}

void TColorGrid::SetForegroundEnabled(bool enabled)
{
    foregroundEnabled_ = enabled;
    update();
}

void TColorGrid::SetBackgroundEnabled(bool enabled)
{
    backgroundEnabled_ = enabled;
    update();
}

void TColorGrid::SetClickButtons(Qt::MouseButton foreground, Qt::MouseButton background)
{
    foregroundButton_ = foreground;
    backgroundButton_ = background;
}

QRect TColorGrid::CellRect(int index) const
{
    const int w = width() / 4;
    const int h = height() / 4;
    return {(index % 4) * w, (index / 4) * h, w, h};
}

int TColorGrid::CellAt(const QPoint& pos) const
{
    for (int i = 0; i < 16; ++i)
        if (CellRect(i).contains(pos))
            return i;
    return -1;
}

void TColorGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (int i = 0; i < 16; ++i) {
        const QRect r = CellRect(i);
        const QColor color = ColorToQColor(StandardColors()[size_t(i)]);
        p.fillRect(r.adjusted(1, 1, -1, -1), color);
        QString mark;
        if (foregroundEnabled_ && i == foreground_)
            mark += QStringLiteral("FG");
        if (backgroundEnabled_ && i == background_)
            mark += mark.isEmpty() ? QStringLiteral("BG") : QStringLiteral("/BG");
        if (mark.isEmpty())
            continue;
        // Marks in the colour that stands out on the cell.
        p.setPen(color.lightness() > 128 ? Qt::black : Qt::white);
        p.drawRect(r.adjusted(1, 1, -2, -2));
        p.drawText(r, Qt::AlignCenter, mark);
    }
}

void TColorGrid::mousePressEvent(QMouseEvent* event)
{
    const int cell = CellAt(event->position().toPoint());
    if (cell < 0 || !isEnabled())
        return;
    if (event->button() == foregroundButton_ && foregroundEnabled_)
        SetForegroundIndex(cell);
    else if (event->button() == backgroundButton_ && backgroundEnabled_)
        SetBackgroundIndex(cell);
}
