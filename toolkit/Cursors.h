#pragma once

#include <QCursor>

#include <functional>

// The screen's cursor table: cursors by number, the way controls name the
// cursor they show. The standard cursors have negative numbers; a program
// registers cursors of its own under positive numbers.
using TCursor = int;

constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crNo = -18;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

namespace Screen {

// Installs a cursor under a number. The cursor is made when it is first
// asked for, since cursor images need the running application.
void RegisterCursor(TCursor id, std::function<QCursor()> make);
bool HasCursor(TCursor id);
// The cursor of that number; the arrow for a number that names none.
QCursor Cursor(TCursor id);

} // namespace Screen
