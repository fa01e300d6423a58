#pragma once

#include "toolkit/Graphics.h"

#include <QWidget>

#include <array>

// A grid of the 16 standard colours, four by four, with a foreground and a
// background choice. A click with the foreground button (left, unless told
// otherwise) picks the foreground, one with the background button (right)
// the background; each choice can be switched off.
class TColorGrid : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int ForegroundIndex READ ForegroundIndex WRITE SetForegroundIndex)
    Q_PROPERTY(int BackgroundIndex READ BackgroundIndex WRITE SetBackgroundIndex)
    Q_PROPERTY(bool ForegroundEnabled READ ForegroundEnabled WRITE SetForegroundEnabled)
    Q_PROPERTY(bool BackgroundEnabled READ BackgroundEnabled WRITE SetBackgroundEnabled)
public:
    // The standard colours by index: black, maroon, green, olive, navy,
    // purple, teal, grey, silver, red, lime, yellow, blue, fuchsia, aqua,
    // white.
    static const std::array<TColor, 16>& StandardColors();
    // The index of a colour in the grid, -1 when it is none of them.
    static int ColorToIndex(TColor color);

    explicit TColorGrid(const QString& name, QWidget* parent = nullptr);

    int ForegroundIndex() const { return foreground_; }
    void SetForegroundIndex(int index);
    int BackgroundIndex() const { return background_; }
    void SetBackgroundIndex(int index);
    TColor ForegroundColor() const;
    TColor BackgroundColor() const;
    // Chooses the cell of a colour; a colour that is not in the grid
    // leaves the choice as it was.
    void SetForegroundColor(TColor color);
    void SetBackgroundColor(TColor color);
    bool ForegroundEnabled() const { return foregroundEnabled_; }
    void SetForegroundEnabled(bool enabled);
    bool BackgroundEnabled() const { return backgroundEnabled_; }
    void SetBackgroundEnabled(bool enabled);
    // Which mouse button picks which colour.
    void SetClickButtons(Qt::MouseButton foreground, Qt::MouseButton background);

    // The cell under a point of the widget, -1 outside the cells.
    int CellAt(const QPoint& pos) const;
    QRect CellRect(int index) const;
    QSize sizeHint() const override { return {128, 128}; }

signals:
    // A choice changed, by a click or by the program.
    void Change();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int foreground_ = 0;
    int background_ = 15;
    bool foregroundEnabled_ = true;
    bool backgroundEnabled_ = true;
    Qt::MouseButton foregroundButton_ = Qt::LeftButton;
    Qt::MouseButton backgroundButton_ = Qt::RightButton;
};
