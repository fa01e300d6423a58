// The terminal control painted offscreen: cell colours at cell centres for
// the palette and monochrome, reverse video, the caret, the scroll-back bar,
// the log file and key presses turned into bytes.
#include "telnet/Emulvt.h"

#include "platform/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

QColor pal(int i)
{
    return QColor(TCustomEmulVT::Palette[size_t(i)]);
}

QImage snapshot(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor pixel(const QImage& img, QPoint p)
{
    return QColor(img.pixel(p));
}

// Whether any pixel of the rectangle has the colour.
bool contains(const QImage& img, const QRect& r, const QColor& c)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (QColor(img.pixel(x, y)) == c)
                return true;
    return false;
}

QByteArray rowText(const TScreen& s, int row, int count)
{
    return QByteArray(reinterpret_cast<const char*>(s.LineAt(row)->Txt.data()), count);
}

// A terminal in a window of its own, with the focus, a fixed cell size and
// what it sends collected.
struct Terminal
{
    QWidget window;
    TEmulVT* vt;
    QLineEdit* other;
    QByteArray sent;

    Terminal()
    {
        auto* layout = new QVBoxLayout(&window);
        vt = new TEmulVT(&window);
        other = new QLineEdit(&window);
        layout->addWidget(vt, 1);
        layout->addWidget(other);
        window.resize(900, 640);
        vt->OnKeyPress = [this](QObject*, char& key) { sent += key; };
    }
    bool focus()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        vt->setFocus();
        return QTest::qWaitFor([this] { return vt->hasFocus(); }, 2000);
    }
};

// A key press and release with the text the key produces, for keys that
// QTest cannot name (dead keys).
void typeKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString& text = QString())
{
    QTest::sendKeyEvent(QTest::Press, w, key, text, mods);
    QTest::sendKeyEvent(QTest::Release, w, key, text, mods);
}

} // namespace

class TestEmulvt : public QObject
{
    Q_OBJECT
private slots:
    void newControl();
    void palette_data();
    void palette();
    void monochrome_data();
    void monochrome();
    void caret();
    void caretRowNotShown();
    void scrollBack();
    void rowsAndColumnsUnderPoints();
    void logFile();
    void logFileUnwritable();
    void logFileFailingIsClosed();
    void traceGoesToItsCategory();
    void keys_data();
    void keys();
    void tabStaysInTerminal();
    void keysBeforeShortcuts();
    void deadKeyAndTranslation();
    void typedText_data();
    void typedText();
    void keyDefinitionDisplay();
    void localEcho();
    void onKeyDownTakesKey();
    void repaintsOnlyDirtyCells();
    void paintsAtMostOncePerFrame();
    void wideGlyphsStayInTheirCells();
    void selection();
    void publishedProperties();
};

void TestEmulvt::newControl()
{
    TEmulVT vt;
    QCOMPARE(vt.size(), QSize(250, 100));
    QCOMPARE(rowText(vt.Screen(), 0, 7), QByteArray("EmulVT "));
    QCOMPARE(vt.Screen().Row, 1);
    QCOMPARE(vt.Screen().Col, 0);
    QCOMPARE(vt.Rows(), 25);
    QCOMPARE(vt.Cols(), 80);
    QCOMPARE(vt.BackRows(), 0);
    QCOMPARE(vt.FKeys(), 1);
    QVERIFY(vt.AutoRepaint());
    QVERIFY(vt.Xlat());
    QVERIFY(!vt.Log());
    QVERIFY(vt.LineHeight() >= 1);
    QVERIFY(vt.CharWidth() >= 1);
    QCOMPARE(vt.ScrollBar()->orientation(), Qt::Vertical);
    QCOMPARE(vt.ScrollBar()->geometry(), QRect(250 - 16, 0, 16, 100));
    // Cell geometry.
    vt.SetCharWidth(9);
    vt.SetLineHeight(17);
    QCOMPARE(vt.ColLeft(3), 3 * 9 + 6);
    QCOMPARE(vt.RowTop(2), 2 * 17 + 4);
    // A line height of 0 would divide by zero.
    vt.SetLineHeight(0);
    QCOMPARE(vt.LineHeight(), 1);
    vt.resize(250, 300);
    vt.UpdateScrollBar();
    QCOMPARE(vt.ScrollBar()->maximum(), 0);
    // Sizes beyond the model are clamped.
    vt.SetRows(80);
    QCOMPARE(vt.Rows(), 50);
    vt.SetCols(200);
    QCOMPARE(vt.Cols(), 133);
}

void TestEmulvt::palette_data()
{
    QTest::addColumn<QByteArray>("sequence");
    QTest::addColumn<int>("attribute");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("text");

    const QColor black(0, 0, 0), white(200, 200, 200), brightWhite(255, 255, 255);
    const QColor blue(0, 0, 168), red(168, 0, 0), brightRed(255, 84, 84), brightBlue(84, 84, 255);
    QTest::newRow("default") << QByteArray("\x1b[0m") << 0x07 << black << white;
    QTest::newRow("bright red on blue") << QByteArray("\x1b[1;31;44m") << 0x49 << blue << brightRed;
    QTest::newRow("reverse video") << QByteArray("\x1b[7m") << 0x70 << white << black;
    QTest::newRow("reverse of bright red on blue")
        << QByteArray("\x1b[1;31;44m\x1b[7m") << 0x1C << red << brightBlue;
    QTest::newRow("blink makes a bright background")
        << QByteArray("\x1b[5;47;30m") << 0xF0 << brightWhite << black;
    QTest::newRow("cyan on green")
        << QByteArray("\x1b[36;42m") << 0x26 << QColor(0, 168, 0) << QColor(0, 112, 216);
    QTest::newRow("bright yellow on magenta")
        << QByteArray("\x1b[1;33;45m") << 0x5B << QColor(168, 0, 168) << QColor(255, 255, 84);
    QTest::newRow("bright black on yellow")
        << QByteArray("\x1b[1;30;43m") << 0x38 << QColor(168, 168, 0) << QColor(84, 84, 84);
    QTest::newRow("bright green on bright cyan")
        << QByteArray("\x1b[1;32;46;5m") << 0xEA << QColor(84, 255, 255) << QColor(84, 255, 84);
    QTest::newRow("bright magenta on bright blue")
        << QByteArray("\x1b[1;35;44;5m") << 0xCD << QColor(84, 84, 255) << QColor(255, 84, 255);
}

void TestEmulvt::palette()
{
    QFETCH(QByteArray, sequence);
    QFETCH(int, attribute);
    QFETCH(QColor, back);
    QFETCH(QColor, text);

    TEmulVT vt;
    vt.resize(900, 500);
    vt.ClearScreen();
    vt.PutString("\x1b[3;5H" + sequence + "H ");
    QCOMPARE(int(vt.Screen().LineAt(2)->Att[4]), attribute);

    const QImage img = snapshot(vt);
    // The space's cell shows only the background; the letter's cell both.
    QCOMPARE(pixel(img, vt.CellRect(2, 5).center()), back);
    QVERIFY(contains(img, vt.CellRect(2, 4), text));
    QVERIFY(contains(img, vt.CellRect(2, 4), back));
    // Untouched cells keep white on black, and the margins take the
    // background of the current attribute.
    QCOMPARE(pixel(img, vt.CellRect(0, 0).center()), pal(0));
    QCOMPARE(pixel(img, QPoint(3, 1)), back);
    QCOMPARE(pixel(img, QPoint(vt.ColLeft(80) + 4, 200)), back);
    QCOMPARE(pixel(img, QPoint(100, vt.RowTop(25) + vt.InternalLeading() + 2)), back);
}

void TestEmulvt::monochrome_data()
{
    QTest::addColumn<QByteArray>("sequence");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("text");

    const QColor white(255, 255, 255), grey(127, 127, 127), black(0, 0, 0);
    QTest::newRow("attribute 7") << QByteArray("\x1b[0m") << white << black;
    QTest::newRow("attribute 0x70") << QByteArray("\x1b[7m") << grey << white;
    QTest::newRow("attribute 0x49") << QByteArray("\x1b[1;31;44m") << grey << black;
    QTest::newRow("black on black") << QByteArray("\x1b[8m") << white << white;
}

void TestEmulvt::monochrome()
{
    QFETCH(QByteArray, sequence);
    QFETCH(QColor, back);
    QFETCH(QColor, text);

    TEmulVT vt;
    vt.SetMonoChrome(true);
    vt.resize(900, 500);
    vt.ClearScreen();
    vt.PutString("\x1b[2;2H" + sequence + "M ");
    const QImage img = snapshot(vt);
    QCOMPARE(pixel(img, vt.CellRect(1, 2).center()), back);
    QVERIFY(contains(img, vt.CellRect(1, 1), text));
    // The margins are white whatever the attribute.
    QCOMPARE(pixel(img, QPoint(3, 1)), QColor(255, 255, 255));
}

void TestEmulvt::caret()
{
    Terminal t;
    TEmulVT& vt = *t.vt;
    vt.ClearScreen();
    QVERIFY(!vt.CaretShown());
    QVERIFY(t.focus());
    vt.PutString("ab");
    QVERIFY(vt.CaretShown());
    QVERIFY(vt.Screen().Focused);
    // 2 pixels wide at the cursor's column position + 8 and its row
    // position + 7, inverting the black cell.
    const QRect expected(2 * vt.CharWidth() + 8, vt.LineHeight() * 0 + 7, 2, vt.LineHeight());
    QCOMPARE(vt.CaretRect(), expected);
    QImage img = snapshot(vt);
    QCOMPARE(pixel(img, expected.center()), QColor(255, 255, 255));

    vt.PutString("\x1b[?25l");
    QVERIFY(!vt.CaretShown());
    vt.PutString("cd\r\nef");
    QVERIFY(!vt.CaretShown());
    img = snapshot(vt);
    QCOMPARE(pixel(img, vt.CaretRect().center()), pal(0));

    vt.PutString("\x1b[?25h");
    QVERIFY(vt.CaretShown());
    img = snapshot(vt);
    QCOMPARE(pixel(img, vt.CaretRect().center()), QColor(255, 255, 255));

    // Losing the focus takes the caret away.
    t.other->setFocus();
    QTRY_VERIFY(!vt.hasFocus());
    QVERIFY(!vt.CaretShown());
    QVERIFY(!vt.Screen().Focused);
}

void TestEmulvt::caretRowNotShown()
{
    Terminal t;
    TEmulVT& vt = *t.vt;
    QVERIFY(t.focus());
    vt.SetBackRows(100);
    vt.ClearScreen();
    vt.PutString("\x1b[25;1H");
    for (int i = 0; i < 40; ++i)
        vt.PutString("\r\nline");
    QVERIFY(vt.CaretInView());
    vt.repaint();
    vt.ScrollBar()->setValue(vt.ScrollBar()->minimum());
    QCOMPARE(vt.TopLine(), -vt.Screen().BackUsed());
    // The cursor's row is far below the shown rows: no caret is drawn
    // anywhere, however far the scroll-back reaches.
    QVERIFY(!vt.CaretInView());
    const QImage img = snapshot(vt);
    QVERIFY(!contains(img, QRect(0, 0, vt.width() - 16, vt.height()), QColor(255, 255, 255)));
    vt.ScrollBar()->setValue(0);
    QVERIFY(vt.CaretInView());
}

void TestEmulvt::scrollBack()
{
    TEmulVT vt;
    vt.resize(700, 300);
    vt.SetBackRows(100);
    // Lines keep their black background in the scroll-back.
    vt.SetBackColor(vtsBlack);
    vt.ClearScreen();
    for (int i = 0; i < 55; ++i)
        vt.PutString(QStringLiteral("L%1\r\n").arg(i, 2, 10, QLatin1Char('0')).toLatin1());
    const int used = vt.Screen().BackUsed();
    QCOMPARE(used, 31);
    const int v = (300 - 8) / vt.LineHeight();
    QVERIFY(v < 25);
    QScrollBar* bar = vt.ScrollBar();
    // The bar follows the scroll-back when the control paints.
    snapshot(vt);
    QCOMPARE(bar->minimum(), -used);
    QCOMPARE(bar->maximum(), 25 - v);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->pageStep(), v);
    QCOMPARE(bar->singleStep(), 1);
    QVERIFY(bar->isEnabled());

    // Moving the bar to its top shows the oldest kept line at the top, drawn
    // as that line would be drawn in the first row.
    bar->setValue(-used);
    QCOMPARE(vt.TopLine(), -used);
    QCOMPARE(rowText(vt.Screen(), -used, 3), QByteArray("L00"));
    TEmulVT reference;
    reference.resize(700, 300);
    reference.ClearScreen();
    reference.PutString("L00\r\nL01");
    const QImage shown = snapshot(vt);
    const QImage expected = snapshot(reference);
    const QRect twoRows(0, 0, 700 - 16, vt.RowTop(2) + vt.InternalLeading());
    QCOMPARE(shown.copy(twoRows), expected.copy(twoRows));

    // Without back rows the range is empty and the bar disabled.
    TEmulVT plain;
    plain.resize(700, 600);
    plain.UpdateScrollBar();
    QCOMPARE(plain.ScrollBar()->minimum(), 0);
    QCOMPARE(plain.ScrollBar()->maximum(), 0);
    QVERIFY(!plain.ScrollBar()->isEnabled());
}

void TestEmulvt::rowsAndColumnsUnderPoints()
{
    TEmulVT vt;
    vt.SetCharWidth(8);
    vt.SetLineHeight(16);
    QCOMPARE(vt.RowAt(0), 0);
    QCOMPARE(vt.RowAt(4 + 16 - 1), 0);
    QCOMPARE(vt.RowAt(4 + 16), 1);
    QCOMPARE(vt.RowAt(100000), 24);
    QCOMPARE(vt.ColAt(6 + 8 * 10), 10);
    QCOMPARE(vt.ColAt(6 + 8 * 10 - 1), 9);
    QCOMPARE(vt.ColAt(-50), 0);
    QCOMPARE(vt.ColAt(100000), 79);
}

void TestEmulvt::logFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString path = dir.filePath(QStringLiteral("EMULVT.LOG"));
    auto contents = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    {
        TEmulVT vt;
        vt.SetLog(true);
        vt.SetLog(true);
        QCOMPARE(contents(), QByteArray("<Open>"));
        // Every byte is written unchanged as it arrives.
        vt.PutString("ab\x1b[1m\r\n");
        QCOMPARE(contents(), QByteArray("<Open>ab\x1b[1m\r\n"));
        vt.PutChar('\xe1');
        vt.SetLog(false);
        vt.SetLog(false);
        QCOMPARE(contents(), QByteArray("<Open>ab\x1b[1m\r\n\xe1<Close>"));
        vt.PutString("not logged");
        // Switching it on again appends; destruction closes it.
        vt.SetLog(true);
        vt.PutString("z");
    }
    QCOMPARE(contents(), QByteArray("<Open>ab\x1b[1m\r\n\xe1<Close><Open>z<Close>"));
    QVERIFY(QDir::setCurrent(saved));
}

void TestEmulvt::logFileUnwritable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    // A folder in the log file's place cannot be opened for writing.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("EMULVT.LOG")));
    TEmulVT vt;
    QVERIFY_THROWS_EXCEPTION(std::ios_base::failure, vt.SetLog(true));
    QVERIFY(!vt.Log());
    vt.PutString("still shown");
    QCOMPARE(rowText(vt.Screen(), 1, 11), QByteArray("still shown"));
    QVERIFY(QDir::setCurrent(saved));
}

// The log file stops accepting bytes (the file size limit stands in for a
// full disk): the byte that fails raises and ends what was being fed, the log
// is closed, and what the host sends next is shown.
void TestEmulvt::logFileFailingIsClosed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    TEmulVT vt;
    vt.ClearScreen();
    vt.SetLog(true);
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        vt.PutString("abcdef");
    } catch (const std::ios_base::failure&) {
        raised = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    QVERIFY(raised);
    QVERIFY(!vt.Log());
    QCOMPARE(rowText(vt.Screen(), 0, 3), QByteArray("ab "));
    vt.PutString("xyz");
    QCOMPARE(rowText(vt.Screen(), 0, 5), QByteArray("abxyz"));
    QFile f(dir.filePath(QStringLiteral("EMULVT.LOG")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("<Open>ab"));
    QVERIFY(QDir::setCurrent(saved));
}

// The interpreter's trace lines reach no output unless their category is
// switched on, and then with the host's bytes escaped.
void TestEmulvt::traceGoesToItsCategory()
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& m) {
            messages << QString::fromLatin1(context.category) + u' ' + m;
        });
    TEmulVT vt;
    vt.PutString("\x1b[6n\x1b\x1b");
    QCOMPARE(messages, QStringList());
    QLoggingCategory::setFilterRules(QStringLiteral("brevant.terminal.debug=true"));
    vt.PutString("\x1b\x07");
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
    QCOMPARE(messages,
             QStringList({QStringLiteral("brevant.terminal 0003 Invalid Escape Sequence: \\x07")}));
}

void TestEmulvt::keys_data()
{
    QTest::addColumn<int>("fkeys");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<QByteArray>("bytes");

    const Qt::KeyboardModifiers no = Qt::NoModifier;
    const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
    QTest::newRow("F1") << 1 << int(Qt::Key_F1) << no << QByteArray("\x1bOP");
    QTest::newRow("F12") << 1 << int(Qt::Key_F12) << no << QByteArray("\x1b[29~");
    QTest::newRow("grey up") << 1 << int(Qt::Key_Up) << no << QByteArray("\x1b[A");
    QTest::newRow("keypad up sends the grey key's text")
        << 1 << int(Qt::Key_Up) << kp << QByteArray("\x1b[A");
    QTest::newRow("keypad page down") << 1 << int(Qt::Key_PageDown) << kp << QByteArray("\x1b[6~");
    QTest::newRow("home has no entry in map 1") << 1 << int(Qt::Key_Home) << no << QByteArray();
    QTest::newRow("grey delete") << 1 << int(Qt::Key_Delete) << no << QByteArray("\x7f");
    QTest::newRow("map 2 home") << 2 << int(Qt::Key_Home) << no << QByteArray("\x1bH");
    QTest::newRow("map 2 ctrl home")
        << 2 << int(Qt::Key_Home) << Qt::KeyboardModifiers(Qt::ControlModifier)
        << QByteArray("\x1b\x43");
    QTest::newRow("map 2 tab") << 2 << int(Qt::Key_Tab) << no << QByteArray("\x1bZ");
    QTest::newRow("map 2 F10 sends nothing") << 2 << int(Qt::Key_F10) << no << QByteArray();
    QTest::newRow("map 0 shift F2")
        << 0 << int(Qt::Key_F2) << Qt::KeyboardModifiers(Qt::ShiftModifier) << QByteArray("\x1b[Z");
    QTest::newRow("map 0 keypad end") << 0 << int(Qt::Key_End) << kp << QByteArray("\x1b[F");
}

void TestEmulvt::keys()
{
    QFETCH(int, fkeys);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(QByteArray, bytes);

    Terminal t;
    QByteArray buffered;
    int calls = 0;
    t.vt->OnKeyBuffer = [&](QObject* sender, const char* text, int len) {
        QCOMPARE(sender, t.vt);
        buffered.append(text, len);
        ++calls;
    };
    t.vt->SetFKeys(fkeys);
    QVERIFY(t.focus());
    QTest::keyClick(t.vt, Qt::Key(key), mods);
    QCOMPARE(buffered, bytes);
    QCOMPARE(calls, bytes.isEmpty() ? 0 : 1);
    QVERIFY(t.vt->hasFocus());
}

void TestEmulvt::tabStaysInTerminal()
{
    Terminal t;
    QVERIFY(t.focus());
    QTest::keyClick(t.vt, Qt::Key_Tab);
    QTest::keyClick(t.vt, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(t.vt->hasFocus());
    QCOMPARE(t.sent, QByteArray("\t\t"));
    // The typed keys of the key-press step.
    t.sent.clear();
    QTest::keyClick(t.vt, Qt::Key_Return);
    QTest::keyClick(t.vt, Qt::Key_Backspace);
    QTest::keyClick(t.vt, Qt::Key_Escape);
    QTest::keyClick(t.vt, Qt::Key_A);
    QTest::keyClick(t.vt, Qt::Key_B, Qt::ShiftModifier);
    QTest::keyClick(t.vt, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(t.vt, '5');
    QTest::keyClick(t.vt, ']');
    QCOMPARE(t.sent, QByteArray("\r\b\x1b"
                                "aB\x03"
                                "5]"));
}

void TestEmulvt::keysBeforeShortcuts()
{
    Terminal t;
    int triggered = 0;
    auto* action = new QAction(&t.window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    action->setShortcutContext(Qt::WindowShortcut);
    t.window.addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
    auto* f5 = new QAction(&t.window);
    f5->setShortcut(QKeySequence(Qt::Key_F5));
    t.window.addAction(f5);
    int f5Triggered = 0;
    QObject::connect(f5, &QAction::triggered, [&] { ++f5Triggered; });
    QVERIFY(t.focus());

    // Ctrl+T goes to the host; F5, which the terminal does not take, stays a
    // shortcut.
    QTest::keyClick(t.vt, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(triggered, 0);
    QCOMPARE(t.sent, QByteArray("\x14"));
    QTest::keyClick(t.vt, Qt::Key_F5);
    QCOMPARE(f5Triggered, 1);

    // Without the focus the terminal takes nothing.
    t.other->setFocus();
    QTRY_VERIFY(!t.vt->hasFocus());
    QTest::keyClick(t.other, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(triggered, 1);
    QCOMPARE(t.sent, QByteArray("\x14"));
}

void TestEmulvt::deadKeyAndTranslation()
{
    Terminal t;
    QVERIFY(t.focus());
    // With Xlat off (DisplayXlat on) typed characters are not translated.
    t.vt->SetXlat(false);
    typeKey(t.vt, Qt::Key_Dead_Circumflex);
    QCOMPARE(t.sent, QByteArray());
    QTest::keyClick(t.vt, Qt::Key_E);
    typeKey(t.vt, Qt::Key_Dead_Diaeresis, Qt::ShiftModifier);
    QTest::keyClick(t.vt, Qt::Key_U);
    typeKey(t.vt, Qt::Key_Dead_Circumflex);
    QTest::keyClick(t.vt, Qt::Key_E, Qt::ShiftModifier);
    QTest::keyClick(t.vt, Qt::Key_E);
    QCOMPARE(t.sent, QByteArray("\xea\xfc"
                                "Ee"));

    // With Xlat on, typed characters pass through OutTable.
    t.sent.clear();
    t.vt->SetXlat(true);
    typeKey(t.vt, Qt::Key_Dead_Circumflex);
    QTest::keyClick(t.vt, Qt::Key_A);
    QCOMPARE(t.sent, QByteArray(1, char(NormalTable[0xE2])));
}

// Text typed for a key the key handling leaves, as the platform reports it
// (a Thai keyboard's keys carry the character as key code): the bytes the
// key-press step hands on, with Xlat on (the default) and off, and with the
// line-drawing set selected.
void TestEmulvt::typedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("xlat");
    QTest::addColumn<bool>("graphics");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray thai("\xca\xc7\xd1\xca\xb4\xd5");
    QTest::newRow("thai") << QStringLiteral("สวัสดี") << true << false << thai;
    QTest::newRow("thai, Xlat off") << QStringLiteral("สวัสดี") << false << false << thai;
    QTest::newRow("thai, line drawing") << QStringLiteral("สวัสดี") << true << true << thai;
    QTest::newRow("thai digit and baht")
        << QStringLiteral("๕฿") << true << false << QByteArray("\xf5\xdf");
    QTest::newRow("euro sign") << QStringLiteral("€") << true << false << QByteArray("\x80");
    QTest::newRow("outside code page 874")
        << QStringLiteral("中é") << true << false << QByteArray("??");
    // Below 0x80 the tables still apply.
    QTest::newRow("digit") << QStringLiteral("5") << true << false << QByteArray("5");
    QTest::newRow("letter key, line drawing")
        << QStringLiteral("q") << true << true << QByteArray(1, char(GraphicsTable['q']));
}

void TestEmulvt::typedText()
{
    QFETCH(QString, text);
    QFETCH(bool, xlat);
    QFETCH(bool, graphics);
    QFETCH(QByteArray, bytes);

    Terminal t;
    QVERIFY(t.focus());
    t.vt->SetXlat(xlat);
    if (graphics)
        t.vt->PutString("\x1b(0");
    for (const QChar c : text)
        typeKey(t.vt, Qt::Key(c.toUpper().unicode()), Qt::NoModifier, QString(c));
    QCOMPARE(t.sent, bytes);
}

void TestEmulvt::keyDefinitionDisplay()
{
    QList<MessageBoxService::Request> boxes;
    MessageBoxService::ScopedHandler handler([&](const MessageBoxService::Request& r) {
        boxes.append(r);
        return int(MessageBoxService::IDOK);
    });
    Terminal t;
    QByteArray buffered;
    t.vt->OnKeyBuffer = [&](QObject*, const char* text, int len) { buffered.append(text, len); };
    QVERIFY(t.focus());

    QTest::keyClick(t.vt, Qt::Key_Asterisk,
                    Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier);
    QVERIFY(TCustomEmulVT::KeyDefinitionArmed());
    QVERIFY(boxes.isEmpty());
    QTest::keyClick(t.vt, Qt::Key_F1);
    QVERIFY(!TCustomEmulVT::KeyDefinitionArmed());
    QCOMPARE(buffered, QByteArray());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral(R"(3B, ssNormal, FALSE, '\x1BOP')"));
    QCOMPARE(boxes[0].caption, QStringLiteral("Key definition from rarove1.cfg"));
    QCOMPARE(boxes[0].flags, unsigned(MessageBoxService::MB_OK));
    QCOMPARE(QGuiApplication::clipboard()->text(), boxes[0].text);

    // Disarmed: the next F1 is sent again. The display is shared by all
    // terminals, and the key that follows need not have an entry.
    QTest::keyClick(t.vt, Qt::Key_F1);
    QCOMPARE(buffered, QByteArray("\x1bOP"));
    t.vt->SetFKeys(2);
    QTest::keyClick(t.vt, Qt::Key_Asterisk,
                    Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier);
    TEmulVT second;
    QVERIFY(TCustomEmulVT::KeyDefinitionArmed());
    QTest::keyClick(t.vt, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].text, QStringLiteral("47, ssShift , TRUE"));
    QCOMPARE(boxes[1].caption, QStringLiteral("Key definition from rarove2.cfg"));
}

void TestEmulvt::localEcho()
{
    Terminal t;
    t.vt->ClearScreen();
    t.vt->SetLocalEcho(true);
    QVERIFY(t.focus());
    QTest::keyClick(t.vt, Qt::Key_H, Qt::ShiftModifier);
    QTest::keyClick(t.vt, Qt::Key_I);
    QTest::keyClick(t.vt, Qt::Key_F1);
    // F1's escape sequence went through the key-press step too, and the
    // screen shows the 'O' of the sequence it does not know.
    QCOMPARE(t.sent, QByteArray("Hi\x1bOP"));
    QCOMPARE(rowText(t.vt->Screen(), 0, 4), QByteArray("HiOP"));

    // Without AutoRepaint the echo still repaints.
    t.vt->SetAutoRepaint(false);
    QTest::keyClick(t.vt, Qt::Key_X);
    QCOMPARE(t.vt->Screen().DirtyRight, -1);
    QCOMPARE(rowText(t.vt->Screen(), 0, 5), QByteArray("HiOPx"));
}

void TestEmulvt::onKeyDownTakesKey()
{
    Terminal t;
    QByteArray buffered;
    t.vt->OnKeyBuffer = [&](QObject*, const char* text, int len) { buffered.append(text, len); };
    int seen = 0;
    t.vt->OnKeyDown = [&](QObject*, uint16_t& vk, TShiftState& shift, bool&, uint8_t& scan,
                          bool& ext) {
        ++seen;
        if (vk == 'Q')
            vk = 0; // taken
        if (scan == 0x3F) {
            // F5 becomes F1 for the map.
            scan = 0x3B;
            shift = 0;
            ext = false;
        }
    };
    QVERIFY(t.focus());
    QTest::keyClick(t.vt, Qt::Key_Q);
    QCOMPARE(t.sent, QByteArray());
    QTest::keyClick(t.vt, Qt::Key_F5);
    QCOMPARE(buffered, QByteArray("\x1bOP"));
    QCOMPARE(seen, 2);
}

namespace {

// Records the regions it is asked to paint.
class RecordingVT : public TEmulVT
{
public:
    QRegion painted;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        painted += e->region();
        ++paints;
        TEmulVT::paintEvent(e);
    }
};

} // namespace

void TestEmulvt::repaintsOnlyDirtyCells()
{
    RecordingVT vt;
    vt.resize(900, 600);
    vt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&vt));
    vt.ClearScreen();
    vt.repaint();
    vt.PutString("\x1b[4;11H");
    QCoreApplication::processEvents();
    vt.painted = QRegion();

    // One letter: its cell and the cursor's cell, nothing else.
    vt.PutString("x");
    QTRY_VERIFY(!vt.painted.isEmpty());
    const QRegion cells = QRegion(vt.CellRect(3, 10)) + QRegion(vt.CellRect(3, 11));
    QVERIFY(cells.contains(vt.painted.boundingRect()));
    QVERIFY(vt.painted.contains(vt.CellRect(3, 10)));

    // A whole line's erase repaints the line.
    vt.painted = QRegion();
    vt.PutString("\x1b[1;1H\x1b[K");
    QTRY_VERIFY(vt.painted.contains(vt.CellRect(0, 79)));
    QVERIFY(!vt.painted.contains(vt.CellRect(5, 0).center()));

    // Without AutoRepaint nothing is invalidated until RepaintDirty.
    vt.SetAutoRepaint(false);
    vt.painted = QRegion();
    vt.PutString("\x1b[10;1Hhidden");
    QCoreApplication::processEvents();
    QVERIFY(!vt.painted.contains(vt.CellRect(9, 0).center()));
    vt.RepaintDirty();
    QTRY_VERIFY(vt.painted.contains(vt.CellRect(9, 5)));
}

// A stream of received blocks, with the event loop running between them as
// it does between socket reads, paints once per frame of the screen, not once
// per block; the first change after a quiet moment is painted at the next
// turn of the event loop, and the last one is painted too.
void TestEmulvt::paintsAtMostOncePerFrame()
{
    RecordingVT vt;
    vt.resize(900, 600);
    vt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&vt));
    vt.ClearScreen();
    vt.repaint();
    QTest::qWait(100);
    QVERIFY(!vt.RepaintPending());

    vt.paints = 0;
    vt.PutString("a");
    QCoreApplication::processEvents();
    QCOMPARE(vt.paints, 1);

    const qreal rate = vt.screen()->refreshRate();
    const double frameMs = 1000.0 / std::clamp(rate, 24.0, 240.0);
    vt.paints = 0;
    QElapsedTimer clock;
    clock.start();
    int blocks = 0;
    while (clock.elapsed() < 300) {
        vt.painted = QRegion();
        vt.PutString("\x1b[" + QByteArray::number(blocks % 25 + 1) + ";1Hline " +
                     QByteArray::number(blocks));
        QCoreApplication::processEvents();
        ++blocks;
    }
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(blocks > 20, "too few blocks to tell");
    QVERIFY2(vt.paints <= int(elapsed / frameMs) + 2,
             qPrintable(QStringLiteral("%1 paints for %2 blocks in %3 ms")
                            .arg(vt.paints)
                            .arg(blocks)
                            .arg(elapsed)));
    QVERIFY(vt.paints >= 1);
    // The last block reaches the screen.
    const int lastRow = (blocks - 1) % 25;
    QTRY_VERIFY(!vt.RepaintPending());
    QVERIFY(vt.painted.contains(vt.CellRect(lastRow, 0)));
}

// Cells narrower than the font's characters: each character is cut to its
// own cell, and the blank cells beside it keep only their background.
void TestEmulvt::wideGlyphsStayInTheirCells()
{
    TEmulVT vt;
    vt.resize(900, 500);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(20);
    vt.SetFont(f);
    vt.SetCharWidth(4);
    vt.ClearScreen();
    vt.PutString("\x1b[2;6HWW \x1b[7m \x1b[0m  W");
    const QImage img = snapshot(vt);
    QVERIFY(contains(img, vt.CellRect(1, 5), pal(7)));
    for (int c : {7, 9, 10}) {
        const QRect cell = vt.CellRect(1, c);
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                QVERIFY2(pixel(img, QPoint(x, y)) == pal(0),
                         qPrintable(QStringLiteral("column %1 at %2,%3").arg(c).arg(x).arg(y)));
    }
    QVERIFY(contains(img, vt.CellRect(1, 11), pal(7)));
}

void TestEmulvt::selection()
{
    TEmulVT vt;
    vt.resize(900, 500);
    vt.ClearScreen();
    QVERIFY(!vt.HasSelection());
    const QRect sel(QPoint(50, 40), QPoint(120, 80));
    vt.SetSelectRect(sel);
    QVERIFY(vt.HasSelection());
    const QImage img = snapshot(vt);
    const QColor black(0, 0, 0), white(255, 255, 255);
    // A black frame with a white one around it, over black cells.
    QCOMPARE(pixel(img, QPoint(50, 60)), black);
    QCOMPARE(pixel(img, QPoint(49, 60)), white);
    QCOMPARE(pixel(img, QPoint(85, 39)), white);
    QCOMPARE(pixel(img, QPoint(121, 60)), white);
    QCOMPARE(pixel(img, QPoint(85, 79)), white);
    QCOMPARE(pixel(img, QPoint(85, 60)), pal(0));
    vt.SetSelectRect(QRect(QPoint(0, -1), QPoint(0, 0)));
    QVERIFY(!vt.HasSelection());
    QCOMPARE(pixel(snapshot(vt), QPoint(49, 60)), pal(0));
}

void TestEmulvt::publishedProperties()
{
    TEmulVT vt;
    vt.PutString("\x1b[5;5Hxyz");
    QVERIFY(vt.setProperty("Rows", 30));
    QCOMPARE(vt.Rows(), 30);
    QCOMPARE(vt.Screen().RegionBottom, 29);
    // A change of Rows or Cols clears the screen.
    QCOMPARE(rowText(vt.Screen(), 4, 7), QByteArray("       "));
    QCOMPARE(vt.Screen().Row, 0);
    vt.PutString("abc");
    QVERIFY(vt.setProperty("Rows", 30));
    QCOMPARE(rowText(vt.Screen(), 0, 3), QByteArray("abc"));
    QVERIFY(vt.setProperty("Cols", 132));
    QCOMPARE(vt.Cols(), 132);
    QCOMPARE(rowText(vt.Screen(), 0, 3), QByteArray("   "));
    QVERIFY(vt.setProperty("BackRows", 200));
    QCOMPARE(vt.Screen().BackRows(), 200);
    QVERIFY(vt.setProperty("Xlat", false));
    QVERIFY(vt.Screen().DisplayXlat);
    QVERIFY(vt.setProperty("AutoLF", true));
    QVERIFY(vt.Screen().AutoLF);
    QVERIFY(vt.setProperty("AutoCR", true));
    QVERIFY(vt.Screen().AutoCR);
    QVERIFY(vt.setProperty("BackColor", int(vtsBlue)));
    QCOMPARE(int(vt.Screen().BackColor), int(vtsBlue));
    QVERIFY(vt.setProperty("Options", uint(vtoBackColor | vtoCopyBackOnClear)));
    QCOMPARE(vt.Screen().Options, TScreenOptions(vtoBackColor | vtoCopyBackOnClear));
    QVERIFY(vt.setProperty("FKeys", 2));
    QCOMPARE(vt.FKeys(), 2);
    QVERIFY(vt.setProperty("LineHeight", 20));
    QCOMPARE(vt.RowTop(3), 64);
    QVERIFY(vt.setProperty("CharWidth", 7));
    QCOMPARE(vt.ColLeft(3), 27);
    // A font sets the cell size from its metrics.
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(20);
    QVERIFY(vt.setProperty("Font", f));
    const QFontMetrics fm(f);
    QCOMPARE(vt.CharWidth(), fm.maxWidth());
    QCOMPARE(vt.LineHeight(), fm.height());
}

QTEST_MAIN(TestEmulvt)
#include "test_emulvt.moc"
