#pragma once

#include <QString>
#include <QWidget>

// A control that the class library draws on its parent's surface rather
// than in a window of its own: it never takes the keyboard focus, and a
// transparent control above it paints it as part of what lies beneath.
class TGraphicControl : public QWidget
{
    Q_OBJECT
public:
    explicit TGraphicControl(const QString& name = {}, QWidget* parent = nullptr);
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }
};

// A bevelled line or box drawn in the button colours: the separators of a
// tool bar.
enum TBevelShape { bsBox, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl
{
    Q_OBJECT
public:
    explicit TBevel(const QString& name = {}, QWidget* parent = nullptr);
    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};
