#include "components/VCLUtils.h"

#include "toolkit/GraphicControl.h"
#include "toolkit/Graphics.h"
#include "toolkit/ImgList.h"
#include "toolkit/Messages.h"

#include <QApplication>
#include <QBitmap>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

// The cursor pictures: 32 x 32, one bit, "#" black, "." white, blank clear.
// The first row and column count from the top-left corner; the hot spot is
// given with each.
const char* const RX_HANDCUR[] = {
    "      ##                        ", "     #..#                       ",
    "     #..#                       ", "     #..#                       ",
    "     #..#                       ", "     #..###                     ",
    "     #..#..###                  ", "     #..#..#..##                ",
    "     #..#..#..#.#               ", " ### #..#..#..#..#              ",
    " #..##.........#.#              ", " #...#...........#              ",
    "  #..............#              ", "   #.............#              ",
    "   #.............#              ", "    #............#              ",
    "    #...........#               ", "     #..........#               ",
    "     #.........#                ", "      #........#                ",
    "      ##########                ",
};
const QPoint kHandHotSpot(6, 0);

const char* const RX_DRAGCUR[] = {
    "#                               ", "##                              ",
    "#.#                             ", "#..#                            ",
    "#...#                           ", "#....#                          ",
    "#.....#                         ", "#......#                        ",
    "#.......#                       ", "#........#                      ",
    "#.....#####                     ", "#..#..#                         ",
    "#.# #..#                        ", "##  #..#                        ",
    "#    #..#                       ", "     #..#    ",
    "      ##########                ", "      #........#                ",
    "      #........#                ", "      #........#                ",
    "      #........#                ", "      #........#                ",
    "      #........#                ", "      ##########                ",
};
const QPoint kDragHotSpot(0, 0);

template <size_t N> QCursor makeCursor(const char* const (&rows)[N], QPoint hotSpot)
{
    QImage bits(32, 32, QImage::Format_Mono);
    QImage mask(32, 32, QImage::Format_Mono);
    bits.fill(0);
    mask.fill(0);
    for (size_t y = 0; y < N; ++y) {
        const char* row = rows[y];
        for (int x = 0; x < 32 && row[x]; ++x) {
            if (row[x] == ' ')
                continue;
            mask.setPixel(x, int(y), 1);
            bits.setPixel(x, int(y), row[x] == '#' ? 1 : 0);
        }
    }
    return QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), hotSpot.x(), hotSpot.y());
}

const char* const kPaintCopy = "brevantPaintCopy";

// Marks a widget as being painted as a copy for as long as it lives.
class PaintCopyMark
{
public:
    explicit PaintCopyMark(QWidget* widget) : widget_(widget)
    {
        widget_->setProperty(kPaintCopy, widget_->property(kPaintCopy).toInt() + 1);
    }
    ~PaintCopyMark()
    {
        if (widget_)
            widget_->setProperty(kPaintCopy, widget_->property(kPaintCopy).toInt() - 1);
    }
    PaintCopyMark(const PaintCopyMark&) = delete;
    PaintCopyMark& operator=(const PaintCopyMark&) = delete;

private:
    QPointer<QWidget> widget_;
};

// One strip of an inverted frame: a window above the others, drawn with
// dotted lines so that it shows on any background.
class FrameStrip : public QWidget
{
public:
    explicit FrameStrip(const QRect& rect)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                               Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint)
    {
        setObjectName(QStringLiteral("InvertFrame"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setGeometry(rect);
        show();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QPoint origin = pos();
        // The dots follow the screen's checker, so that strips meet
        // without a seam.
        QImage dots(size(), QImage::Format_RGB32);
        for (int y = 0; y < dots.height(); ++y)
            for (int x = 0; x < dots.width(); ++x)
                dots.setPixel(x, y,
                              (origin.x() + x + origin.y() + y) % 2 ? qRgb(255, 255, 255)
                                                                    : qRgb(0, 0, 0));
        painter.drawImage(0, 0, dots);
    }
};

struct InvertFrame
{
    std::vector<std::unique_ptr<FrameStrip>> strips;
};

using FrameKey = std::tuple<int, int, int, int, int>;
std::map<FrameKey, InvertFrame>& invertFrames()
{
    static std::map<FrameKey, InvertFrame> frames;
    return frames;
}

void dropInvertFrames()
{
    invertFrames().clear();
}

} // namespace

void RegisterRxCursors()
{
    if (Screen::HasCursor(crHandCursor) && Screen::HasCursor(crDragCursor))
        return;
    Screen::RegisterCursor(crHandCursor, [] { return makeCursor(RX_HANDCUR, kHandHotSpot); });
    Screen::RegisterCursor(crDragCursor, [] { return makeCursor(RX_DRAGCUR, kDragHotSpot); });
}

// Registered as the application starts, before any form is made.
Q_COREAPP_STARTUP_FUNCTION(RegisterRxCursors)

bool IsPaintingCopy(const QWidget* widget)
{
    return widget && widget->property(kPaintCopy).toInt() > 0;
}

void PaintParentImage(QWidget* control, QPainter& painter)
{
    if (!control || !control->parentWidget())
        return;
    QWidget* parent = control->parentWidget();
    const PaintCopyMark parentMark(parent);
    const QRect bounds = control->geometry();

    // The parent's background and its own painting, without its children.
    // Rendering puts the region's top-left corner at the offset: a control
    // reaching past the parent's top or left edge has it further in.
    const QRect visible = bounds & parent->rect();
    painter.save();
    parent->render(&painter, visible.topLeft() - bounds.topLeft(), QRegion(visible),
                   QWidget::DrawWindowBackground);
    painter.restore();

    // Then the graphic controls beneath the control, in stacking order.
    const QObjectList siblings = parent->children();
    for (QObject* object : siblings) {
        if (object == control)
            break;
        auto* sibling = qobject_cast<TGraphicControl*>(object);
        if (!sibling || sibling->isHidden() || !sibling->geometry().intersects(visible))
            continue;
        const PaintCopyMark mark(sibling);
        const QRect overlap = sibling->geometry() & visible;
        painter.save();
        painter.setClipRect(QRect(overlap.topLeft() - bounds.topLeft(), overlap.size()));
        sibling->render(&painter, sibling->pos() - bounds.topLeft(), QRegion(sibling->rect()),
                        QWidget::RenderFlags());
        painter.restore();
    }
}

QImage MakeEmbossedBitmap(const QImage& source, const QColor& outline, const QColor& ground,
                          const QColor& highlight, const QColor& shadow, bool drawHighlight)
{
    const int w = source.width(), h = source.height();
    QImage result(w, h, QImage::Format_RGB32);
    if (result.isNull())
        return result;
    result.fill(ground.rgb());

    // The one-bit mask: which pixels are painted.
    const bool monochrome =
        source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    const QRgb outlineRgb = outline.rgb() & RGB_MASK;
    std::vector<char> painted(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = source.pixel(x, y);
            const bool hit =
                monochrome ? (p & RGB_MASK) == 0 : qAlpha(p) != 0 && (p & RGB_MASK) == outlineRgb;
            painted[size_t(y) * size_t(w) + size_t(x)] = hit;
        }
    }
    auto paint = [&](int dx, int dy, QRgb colour) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (painted[size_t(y) * size_t(w) + size_t(x)] && x + dx < w && y + dy < h)
                    result.setPixel(x + dx, y + dy, colour);
    };
    if (drawHighlight)
        paint(1, 1, highlight.rgb());
    paint(0, 0, shadow.rgb());
    return result;
}

QImage MakeDisabledBitmap(const QImage& source, const QColor& outline)
{
    return MakeEmbossedBitmap(source, outline, SysColor(clBtnFace), SysColor(clBtnHighlight),
                              SysColor(clBtnShadow), true);
}

void DrawDisabledImage(const TImageList& images, QPainter& painter, int x, int y, int index,
                       const QColor& highlight, const QColor& grey, bool drawHighlight)
{
    const QImage image = images.Image(index);
    if (image.isNull())
        return;
    auto silhouette = [&](const QColor& colour) {
        QImage shape(image.size(), QImage::Format_ARGB32);
        const QRgb c = colour.rgb();
        for (int py = 0; py < image.height(); ++py)
            for (int px = 0; px < image.width(); ++px)
                shape.setPixel(px, py, qAlpha(image.pixel(px, py)) >= 128 ? c : 0);
        return shape;
    };
    if (drawHighlight)
        painter.drawImage(x + 1, y + 1, silhouette(highlight));
    painter.drawImage(x, y, silhouette(grey));
}

void DrawInvertFrame(const QRect& screenRect, int width)
{
    static const bool cleanup = [] {
        qAddPostRoutine(dropInvertFrames);
        return true;
    }();
    Q_UNUSED(cleanup);
    auto& frames = invertFrames();
    const FrameKey key{screenRect.x(), screenRect.y(), screenRect.width(), screenRect.height(),
                       width};
    if (auto found = frames.find(key); found != frames.end()) {
        frames.erase(found);
        return;
    }
    InvertFrame frame;
    const QRect r = screenRect;
    const int t = qMin(width, qMin(r.width(), r.height()) / 2 + 1);
    if (t > 0 && r.width() > 0 && r.height() > 0) {
        const int inner = r.height() - 2 * t;
        frame.strips.push_back(std::make_unique<FrameStrip>(QRect(r.x(), r.y(), r.width(), t)));
        if (r.height() > t)
            frame.strips.push_back(
                std::make_unique<FrameStrip>(QRect(r.x(), r.y() + r.height() - t, r.width(), t)));
        if (inner > 0) {
            frame.strips.push_back(std::make_unique<FrameStrip>(QRect(r.x(), r.y() + t, t, inner)));
            if (r.width() > t)
                frame.strips.push_back(std::make_unique<FrameStrip>(
                    QRect(r.x() + r.width() - t, r.y() + t, t, inner)));
        }
    }
    frames.emplace(key, std::move(frame));
}

bool PointInRect(const QPoint& point, const QRect& rect)
{
    return point.x() >= rect.left() && point.x() <= rect.left() + rect.width() &&
           point.y() >= rect.top() && point.y() <= rect.top() + rect.height();
}

bool RemovePendingMessage(QObject* window, quint32 message)
{
    TMessage removed;
    if (!PeekControlMessage(removed, window, message, message, true))
        return false;
    if (removed.Msg == WM_QUIT)
        PostQuitMessage(int(removed.WParam));
    return true;
}

bool IsForegroundTask()
{
    const QWidget* active = QApplication::activeWindow();
    return active && active->thread() == QThread::currentThread();
}

QString ShortenText(const QString& text, const QFontMetrics& metrics, int maxWidth)
{
    QString result = text;
    const qsizetype length = text.size();
    for (qsizetype i = 1; i <= length && metrics.horizontalAdvance(result) > maxWidth; ++i)
        result = text.left(qMax<qsizetype>(0, length - i - 1)) + QStringLiteral("...");
    return result;
}

QString PassText(const QString& text)
{
    return text;
}
