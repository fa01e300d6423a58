#include "components/VCLUtils.h"
#include "toolkit/GraphicControl.h"
#include "toolkit/ImgList.h"
#include "toolkit/Messages.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QtTest>

namespace {

// A widget that fills itself with one colour.
class Filled : public TGraphicControl
{
public:
    Filled(QColor colour, QWidget* parent) : TGraphicControl({}, parent), colour(colour) {}
    QColor colour;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        QPainter(this).fillRect(rect(), colour);
    }
};

class Parent : public QWidget
{
public:
    bool blueCorner = false; // a blue 10 x 10 square at the top-left corner

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::red);
        if (blueCorner)
            painter.fillRect(QRect(0, 0, 10, 10), Qt::blue);
    }
};

// Receives control messages and counts them.
class Receiver : public QObject
{
public:
    QList<quint32> got;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == TControlMessageEvent::eventType()) {
            got.append(static_cast<TControlMessageEvent*>(e)->message.Msg);
            return true;
        }
        return QObject::event(e);
    }
};

QList<QWidget*> invertFrameWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("InvertFrame") && w->isVisible())
            found.append(w);
    return found;
}

} // namespace

class TestVCLUtils : public QObject
{
    Q_OBJECT
private slots:
    void pointInRect_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("inside");
        // The rectangle 10, 20 .. 40, 60 (width 30, height 40).
        QTest::newRow("top-left corner") << QPoint(10, 20) << true;
        QTest::newRow("bottom-right corner") << QPoint(40, 60) << true;
        QTest::newRow("inside") << QPoint(25, 30) << true;
        QTest::newRow("left of it") << QPoint(9, 30) << false;
        QTest::newRow("past the right edge") << QPoint(41, 30) << false;
        QTest::newRow("above") << QPoint(20, 19) << false;
        QTest::newRow("below the bottom edge") << QPoint(20, 61) << false;
    }
    void pointInRect()
    {
        QFETCH(QPoint, point);
        QFETCH(bool, inside);
        const QRect rect(10, 20, 30, 40);
        QCOMPARE(PointInRect(point, rect), inside);
        QCOMPARE(RectWidth(rect), 30);
        QCOMPARE(RectHeight(rect), 40);
    }

    void shortenText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthInChars");
        QTest::addColumn<QString>("result");
        QTest::newRow("fits") << "Refresh" << 7 << "Refresh";
        // The first step already keeps two characters fewer, and the dots
        // take room too.
        QTest::newRow("one too many") << "Refresh" << 6 << "Ref...";
        QTest::newRow("two letters and dots") << "Refresh" << 5 << "Re...";
        QTest::newRow("dots alone") << "Refresh" << 2 << "...";
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("one letter in nothing") << "R" << 0 << "...";
    }
    void shortenText()
    {
        QFETCH(QString, text);
        QFETCH(int, widthInChars);
        QFETCH(QString, result);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        const QFontMetrics metrics(font);
        QVERIFY2(QFontInfo(font).fixedPitch(), "a fixed-width font must be installed");
        const int width = metrics.horizontalAdvance(QString(widthInChars, u'x'));
        QCOMPARE(ShortenText(text, metrics, width), result);
        QCOMPARE(PassText(text), text);
    }

    void embossedBitmapPixelByPixel()
    {
        // A 3 x 3 picture: a black diagonal on white with one red pixel.
        QImage source(3, 3, QImage::Format_RGB32);
        source.fill(Qt::white);
        source.setPixel(0, 0, qRgb(0, 0, 0));
        source.setPixel(1, 1, qRgb(0, 0, 0));
        source.setPixel(2, 0, qRgb(255, 0, 0));
        const QRgb G = qRgb(1, 1, 1), H = qRgb(2, 2, 2), S = qRgb(3, 3, 3);
        const QImage result =
            MakeEmbossedBitmap(source, Qt::black, QColor(G), QColor(H), QColor(S), true);
        const QRgb expected[3][3] = {{S, G, G}, {G, S, G}, {G, G, H}};
        QCOMPARE(result.size(), source.size());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(result.pixel(x, y), expected[y][x]);

        // Without the highlight, and with the red pixels as outline.
        const QImage red =
            MakeEmbossedBitmap(source, Qt::red, QColor(G), QColor(H), QColor(S), false);
        const QRgb expectedRed[3][3] = {{G, G, S}, {G, G, G}, {G, G, G}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(red.pixel(x, y), expectedRed[y][x]);

        // A one-bit picture: its black pixels are the outline, whatever
        // colour is asked for.
        QImage mono(2, 1, QImage::Format_Mono);
        mono.setColor(0, qRgb(255, 255, 255));
        mono.setColor(1, qRgb(0, 0, 0));
        mono.setPixel(0, 0, 1);
        mono.setPixel(1, 0, 0);
        const QImage fromMono =
            MakeEmbossedBitmap(mono, Qt::blue, QColor(G), QColor(H), QColor(S), false);
        QCOMPARE(fromMono.pixel(0, 0), S);
        QCOMPARE(fromMono.pixel(1, 0), G);

        QVERIFY(MakeEmbossedBitmap(QImage(), Qt::black, QColor(G), QColor(H), QColor(S), true)
                    .isNull());
    }

    void disabledImageIsASilhouette()
    {
        TImageList list(2, 2);
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(qRgb(255, 0, 255));
        image.setPixel(0, 0, qRgb(10, 200, 30));
        list.AddMasked(image, qRgb(255, 0, 255));
        QImage canvas(4, 4, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            DrawDisabledImage(list, painter, 1, 1, 0, Qt::yellow, Qt::gray, true);
            DrawDisabledImage(list, painter, 0, 0, 5, Qt::yellow, Qt::gray, true); // no image
        }
        QCOMPARE(canvas.pixel(1, 1), QColor(Qt::gray).rgb());
        QCOMPARE(canvas.pixel(2, 2), QColor(Qt::yellow).rgb());
        QCOMPARE(canvas.pixel(2, 1), QColor(Qt::white).rgb());
        QCOMPARE(canvas.pixel(0, 0), QColor(Qt::white).rgb());
    }

    void parentImage()
    {
        Parent parent;
        parent.resize(100, 100);
        auto* control = new Filled(Qt::green, &parent);
        control->setGeometry(10, 10, 20, 20);
        auto* below = new Filled(Qt::blue, &parent);
        below->setGeometry(0, 0, 15, 15);
        auto* apart = new Filled(Qt::yellow, &parent);
        apart->setGeometry(60, 60, 10, 10);
        auto* target = new Filled(Qt::green, &parent);
        target->setGeometry(10, 10, 20, 20);
        parent.show();

        auto paintUnder = [](QWidget* widget) {
            QImage image(widget->size(), QImage::Format_RGB32);
            image.fill(Qt::black);
            QPainter painter(&image);
            PaintParentImage(widget, painter);
            return image;
        };
        // The first control of the parent: only the parent's background.
        const QImage first = paintUnder(control);
        QCOMPARE(first.pixel(0, 0), QColor(Qt::red).rgb());
        QCOMPARE(first.pixel(19, 19), QColor(Qt::red).rgb());

        // The last: the graphic controls before it that overlap it too
        // (`below` reaches 4 pixels into it; `control` covers it whole but
        // comes first, then `below` above it).
        apart->paints = 0;
        const QImage last = paintUnder(target);
        QCOMPARE(last.pixel(0, 0), QColor(Qt::blue).rgb());
        QCOMPARE(last.pixel(4, 4), QColor(Qt::blue).rgb());
        QCOMPARE(last.pixel(5, 5), QColor(Qt::green).rgb());
        QCOMPARE(apart->paints, 0);
        QVERIFY(!IsPaintingCopy(&parent));

        QImage none(4, 4, QImage::Format_RGB32);
        none.fill(Qt::black);
        QPainter painter(&none);
        PaintParentImage(nullptr, painter);
        PaintParentImage(&parent, painter); // a window has no parent
        QCOMPARE(none.pixel(0, 0), QColor(Qt::black).rgb());
    }

    // What lies under a control is painted at the control's own pixels,
    // also where it reaches past its parent's top or left edge (nothing is
    // painted there).
    void parentImageInPlace_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QRect>("beneath"); // a yellow graphic control below it
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QRgb>("colour");
        const QRgb blue = QColor(Qt::blue).rgb(), red = QColor(Qt::red).rgb(),
                   yellow = QColor(Qt::yellow).rgb(), none = QColor(Qt::black).rgb();
        const QRect inside(5, 5, 20, 20), left(-5, 5, 20, 20), above(5, -5, 20, 20),
            both(-5, -5, 20, 20), no;
        QTest::newRow("inside, corner") << inside << no << QPoint(0, 0) << blue;
        QTest::newRow("inside, past the corner") << inside << no << QPoint(5, 5) << red;
        QTest::newRow("past the left, outside") << left << no << QPoint(4, 0) << none;
        QTest::newRow("past the left, corner") << left << no << QPoint(5, 0) << blue;
        QTest::newRow("past the left, past the corner") << left << no << QPoint(15, 0) << red;
        QTest::newRow("past the top, outside") << above << no << QPoint(0, 4) << none;
        QTest::newRow("past the top, corner") << above << no << QPoint(0, 5) << blue;
        QTest::newRow("past the top, past the corner") << above << no << QPoint(0, 15) << red;
        QTest::newRow("past both, outside") << both << no << QPoint(4, 4) << none;
        QTest::newRow("past both, corner") << both << no << QPoint(14, 14) << blue;
        QTest::newRow("past both, past the corner") << both << no << QPoint(15, 15) << red;
        QTest::newRow("a control beneath, inside the parent")
            << left << QRect(-10, 0, 30, 30) << QPoint(5, 0) << yellow;
        QTest::newRow("a control beneath, outside the parent")
            << left << QRect(-10, 0, 30, 30) << QPoint(4, 0) << none;
    }
    void parentImageInPlace()
    {
        QFETCH(QRect, geometry);
        QFETCH(QRect, beneath);
        QFETCH(QPoint, pixel);
        QFETCH(QRgb, colour);
        Parent parent;
        parent.blueCorner = true;
        parent.resize(100, 100);
        if (!beneath.isNull())
            (new Filled(Qt::yellow, &parent))->setGeometry(beneath);
        auto* control = new Filled(Qt::green, &parent);
        control->setGeometry(geometry);
        parent.show();
        QImage image(control->size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter painter(&image);
            PaintParentImage(control, painter);
        }
        QCOMPARE(image.pixel(pixel), colour);
    }

    void invertFrameToggles()
    {
        const QRect rect(100, 100, 60, 30);
        QCOMPARE(invertFrameWindows().size(), 0);
        DrawInvertFrame(rect, 3);
        const QList<QWidget*> strips = invertFrameWindows();
        QCOMPARE(strips.size(), 4);
        QRegion covered;
        for (QWidget* strip : strips)
            covered += strip->geometry();
        QCOMPARE(covered, QRegion(rect) - QRegion(rect.adjusted(3, 3, -3, -3)));
        DrawInvertFrame(rect.translated(5, 0), 3);
        QCOMPARE(invertFrameWindows().size(), 8);
        DrawInvertFrame(rect, 3);
        QCOMPARE(invertFrameWindows().size(), 4);
        DrawInvertFrame(rect.translated(5, 0), 3);
        QCOMPARE(invertFrameWindows().size(), 0);
        // An empty frame draws nothing but still pairs.
        DrawInvertFrame(QRect(0, 0, 0, 0), 3);
        DrawInvertFrame(QRect(0, 0, 0, 0), 3);
        QCOMPARE(invertFrameWindows().size(), 0);
    }

    void removePendingMessage()
    {
        Receiver a, b;
        PostControlMessage(&a, WM_USER + 1);
        PostControlMessage(&b, WM_USER + 1);
        PostControlMessage(&a, WM_USER + 2);
        PostControlMessage(&a, WM_USER + 1);
        QVERIFY(RemovePendingMessage(&a, WM_USER + 1));
        QVERIFY(!RemovePendingMessage(&a, WM_USER + 3));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(a.got, (QList<quint32>{WM_USER + 2, WM_USER + 1}));
        QCOMPARE(b.got, (QList<quint32>{WM_USER + 1}));

        // A quit request taken out is queued again with its exit code.
        PostQuitMessage(7);
        QVERIFY(RemovePendingMessage(nullptr, WM_QUIT));
        TMessage pending;
        QVERIFY(PeekControlMessage(pending, nullptr, WM_QUIT, WM_QUIT, false));
        QCOMPARE(pending.WParam, quintptr(7));
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, [&] { loop.exit(-1); });
        QCOMPARE(loop.exec(), 7);
    }

    void foregroundTask()
    {
        QWidget window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(IsForegroundTask());
    }

    void cursorsAreRegistered()
    {
        QVERIFY(Screen::HasCursor(crHandCursor));
        QVERIFY(Screen::HasCursor(crDragCursor));
        const QCursor drag = Screen::Cursor(crDragCursor);
        QCOMPARE(drag.shape(), Qt::BitmapCursor);
        QCOMPARE(drag.bitmap().size(), QSize(32, 32));
        QCOMPARE(Screen::Cursor(crHandCursor).hotSpot(), QPoint(6, 0));
        QCOMPARE(Screen::Cursor(crSizeNS).shape(), Qt::SizeVerCursor);
        QCOMPARE(Screen::Cursor(12345).shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(TestVCLUtils)
#include "test_VCLUtils.moc"
