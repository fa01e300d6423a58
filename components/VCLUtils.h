#pragma once

#include "toolkit/Cursors.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

class QFontMetrics;
class QObject;
class QPainter;
class QWidget;
class TImageList;

// Drawing and window routines of the speed buttons, their glyphs and the
// speed bar, and the program's own cursors. Each routine stands alone.

// The program's own cursors, in the screen's cursor table from start-up:
// a hand, and the cursor shown while a bar or a button is dragged.
constexpr TCursor crHandCursor = 14000;
constexpr TCursor crDragCursor = 14001;
// Installs both (done once when the application starts; calling it again
// does no harm).
void RegisterRxCursors();

// Paints into `painter` what lies under `control`, with the control's
// top-left corner at the painter's origin: its parent's background and
// painting, then the parent's graphic controls that come before the
// control and overlap it. Nothing without a control or a parent. While a
// widget is being painted this way, IsPaintingCopy is true for it.
void PaintParentImage(QWidget* control, QPainter& painter);
bool IsPaintingCopy(const QWidget* widget);

// A new image of the source's size on a `ground` background, where the
// source's pixels of the outline colour (of a one-bit source: its black
// pixels) are drawn in `shadow`, after the same pixels one pixel right and
// down in `highlight` when `drawHighlight` is set.
QImage MakeEmbossedBitmap(const QImage& source, const QColor& outline, const QColor& ground,
                          const QColor& highlight, const QColor& shadow, bool drawHighlight);
// The embossed image on the button face, with highlight and shadow.
QImage MakeDisabledBitmap(const QImage& source, const QColor& outline);
// Draws the silhouette of the list's image (its opaque pixels) at (x, y)
// in `grey`, after the same silhouette at (x + 1, y + 1) in `highlight`
// when asked.
void DrawDisabledImage(const TImageList& images, QPainter& painter, int x, int y, int index,
                       const QColor& highlight, const QColor& grey, bool drawHighlight);

// Shows a frame of `width` nested dotted lines around a rectangle of the
// screen, above every window; drawing the same frame again removes it.
void DrawInvertFrame(const QRect& screenRect, int width);

// Rectangles as the class library counts them: the right and bottom edges
// lie just past the last column and row (x + width, y + height).
inline int RectWidth(const QRect& rect)
{
    return rect.width();
}
inline int RectHeight(const QRect& rect)
{
    return rect.height();
}
// True on the edges too: left <= x <= left + width, top <= y <= top + height.
bool PointInRect(const QPoint& point, const QRect& rect);

// Takes one queued control message of that number for that receiver out of
// the queue; when what it took is the quit request, the request is queued
// again with the same exit code. False when there was none.
bool RemovePendingMessage(QObject* window, quint32 message);

// Whether one of the program's own windows is the active window.
bool IsForegroundTask();

// The text, cut until it fits `maxWidth`: its first length - i - 1
// characters followed by "..." for i = 1, 2, ... up to its length. The
// result may still be wider ("..." alone when nothing fits).
QString ShortenText(const QString& text, const QFontMetrics& metrics, int maxWidth);
// The text unchanged.
QString PassText(const QString& text);
