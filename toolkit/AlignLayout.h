#pragma once

#include <QLayout>
#include <QList>

// Docks controls to the edges of their parent the way the forms expect:
// top-aligned controls are stacked from the top down, then bottom ones from
// the bottom up, then left and right ones across the rest, and the client
// control takes what remains. Controls of one kind are placed in the order
// they were added; hidden controls take no room. A docked control keeps the
// height (top, bottom) or width (left, right) it asks for: its fixed size
// when it has one, else its size hint.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TAlignLayout : public QLayout
{
    Q_OBJECT
public:
    explicit TAlignLayout(QWidget* parent = nullptr);
    ~TAlignLayout() override;

    void addWidget(QWidget* widget, TAlign align);
    // Docks the control to another edge; it then comes after the controls
    // already docked there.
    void SetAlign(QWidget* widget, TAlign align);
    TAlign Align(QWidget* widget) const;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(items_.size()); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

    // The rectangles the controls get inside `rect` (also used by tests).
    QList<QRect> Arrange(const QRect& rect) const;

private:
    struct Entry
    {
        QLayoutItem* item;
        TAlign align;
    };
    QList<Entry> items_;
};
