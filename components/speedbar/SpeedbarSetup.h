#pragma once

#include "toolkit/Forms.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class TBtnControl;
class TButton;
class TSpeedBar;
class TSpeedItem;

// The grid of the items of one section that are not on the bar, each drawn
// as its button; a picture dragged from it onto the bar puts the item
// there.
class TSpeedbarButtonsGrid : public QWidget
{
    Q_OBJECT
public:
    explicit TSpeedbarButtonsGrid(QWidget* parent = nullptr);
    ~TSpeedbarButtonsGrid() override;
    void SetItems(TSpeedBar* bar, const QList<TSpeedItem*>& items);
    // The items offered, in cell order (the bar refreshes the grid when one
    // leaves it; one freed without that shows as an empty cell).
    QList<TSpeedItem*> Items() const;
    // The cell of the item at `index`, in the grid's coordinates.
    QRect CellRect(int index) const;
    int ItemAt(QPoint point) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSize cellSize() const;
    int columns() const;
    QPointer<TSpeedBar> bar_;
    QList<QPointer<TSpeedItem>> items_;
    QPointer<TSpeedItem> dragged_;
    std::unique_ptr<TBtnControl> dragControl_;
    QPoint grip_; // where the picture hangs from the mouse
};

// The customise window of a speed bar. While it is open it is the bar's
// edit window: the bar's items can be dragged about and off the bar, and
// the items of the chosen category that are not on the bar wait in its
// grid to be dragged onto it. Closing it ends customise mode.
class TSpeedbarSetupWindow : public TForm
{
    Q_OBJECT
public:
    explicit TSpeedbarSetupWindow(TSpeedBar* bar, QWidget* parent = nullptr);
    ~TSpeedbarSetupWindow() override;

    TSpeedBar* SpeedBar() const { return bar_; }
    // Lists the bar's sections and the chosen one's items anew.
    void UpdateLists();

    QLabel* CategoriesLabel;
    QListWidget* SectionList;
    QLabel* ButtonsLabel;
    TSpeedbarButtonsGrid* ButtonsList;
    QLabel* HintLabel;
    TButton* CloseBtn;
    TButton* HelpBtn;

protected:
    bool event(QEvent* event) override;
    void FormClose(TCloseAction& action) override;

private:
    void showSection(int index);
    void endCustomize();
    QPointer<TSpeedBar> bar_;
};

// Opens the bar's customise window, or brings the open one to the front.
TSpeedbarSetupWindow* ShowSpeedbarSetupWindow(TSpeedBar* bar);
