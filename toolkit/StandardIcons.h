#pragma once

#include <QIcon>
#include <QStyle>

// The application style's standard icon, one for each kind in a run, read
// from the style's picture files the first time it is drawn or measured:
// the style builds a new icon, reading every size of its picture, on each
// request, and most icons made while windows are built are not drawn until
// later, if ever.
QIcon StandardIcon(QStyle::StandardPixmap which);
