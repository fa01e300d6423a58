#pragma once

#include <QPoint>

class QMenu;
class QObject;
class QWidget;

// What a pop-up menu offers the controls that open it: where it sits
// against the point it pops up at, whether it opens by itself from its
// control, and a modal pop-up.
//
// The alignment and the automatic pop-up are the menu's properties
// "Alignment" and "AutoPopup"; a menu class that declares them as
// properties is read the same way.
enum TPopupAlignment { paLeft, paRight, paCenter };

TPopupAlignment PopupAlignment(const QMenu* menu); // paLeft unless set
void SetPopupAlignment(QMenu* menu, TPopupAlignment alignment);
bool AutoPopup(const QMenu* menu); // true unless set
void SetAutoPopup(QMenu* menu, bool autoPopup);

// The control that opened the menu last (null when none or gone).
QObject* PopupComponent(const QMenu* menu);
void SetPopupComponent(QMenu* menu, QObject* component);

// The menu's top-left corner for a pop-up at `point` (screen coordinates)
// with the menu's alignment: the point is its left edge, its right edge
// or the middle of its top edge.
QPoint PopupOrigin(const QMenu* menu, QPoint point);

// Shows the menu at `point` with its alignment and returns when it has
// closed. A press outside the menu that closes it and falls on
// `pressedControl` is not handed on to that control, so the click that
// closes a control's menu does not press the control again.
void PopupModal(QMenu* menu, QPoint point, QWidget* pressedControl = nullptr);
