#pragma once

#include "toolkit/Forms.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class TF_Main;
class TToolButton;

// Where a window of `size` asked for at `pos` goes so that a person can
// reach it: kept when it lies wholly on one of the available screen areas,
// otherwise moved onto the area it overlaps most (the first one when it
// overlaps none), as far as it fits there.
QPoint ClampOntoScreens(QPoint pos, QSize size, const QList<QRect>& available);

// The small stay-on-top window that carries the main toolbar's buttons
// while the main toolbar is hidden. Each button runs the main window's
// command of the same name.
class TF_FloatToolbar : public TForm
{
    Q_OBJECT
public:
    explicit TF_FloatToolbar(TF_Main& main);

    TToolButton *RSB_NewWindow, *RSB_Back, *RSB_Forward, *RSB_Stop, *RSB_Refresh, *RSB_Home,
        *RSB_Search, *RSB_Favorite, *RSB_TileWindow, *RSB_CascadeWindow;
    QList<TToolButton*> Buttons() const;

    // Visibility and position from the main window's settings.
    void FormCreate();
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPointer<TF_Main> main_;
};

extern QPointer<TF_FloatToolbar> F_FloatToolbar;
