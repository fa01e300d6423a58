#include "components/speedbar/Buttons.h"
#include "components/speedbar/RXCtrls.h"
#include "platform/MessageBox.h"
#include "toolkit/Forms.h"
#include "toolkit/PopupMenus.h"

#include "MouseTaker.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

constexpr QRgb kFuchsia = 0xFFFF00FF;
constexpr QRgb kRed = 0xFFFF0000;

// A 16 x 16 red square on fuchsia: the glyph of one cell.
QImage redGlyph()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kFuchsia);
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x)
            image.setPixel(x, y, kRed);
    return image;
}

// A shown, active window holding buttons.
class Window : public TForm
{
public:
    Window()
    {
        resize(300, 120);
        show();
        activateWindow();
    }
    TRxSpeedButton* add(const QString& name, int x)
    {
        auto* b = new TRxSpeedButton(name, this);
        b->SetBounds(x, 10, 40, 40);
        b->show();
        return b;
    }
};

// The frame painter, open to the test.
class FrameButton : public TRxSpeedButton
{
public:
    using TRxSpeedButton::DrawSpeedFrame;
};

// The colour at the middle of a shown button.
QRgb middle(TRxSpeedButton* b)
{
    return b->grab().toImage().pixel(b->width() / 2, b->height() / 2);
}

void clickAt(QWidget* w, QPoint p = QPoint(20, 20))
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, p);
}

} // namespace

class TestRxSpeedButton : public QObject
{
    Q_OBJECT

    std::unique_ptr<Window> window;

private slots:
    void init()
    {
        window = std::make_unique<Window>();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void defaults()
    {
        TRxSpeedButton b;
        QCOMPARE(b.geometry(), QRect(0, 0, 25, 25));
        QCOMPARE(b.Spacing(), 1);
        QCOMPARE(b.Margin(), -1);
        QCOMPARE(b.Layout(), blGlyphTop);
        QCOMPARE(b.Style(), bsAutoDetect);
        QVERIFY(b.MarkDropDown());
        QVERIFY(b.GrayedInactive());
        QVERIFY(b.ShowHint());
        QVERIFY(!b.ParentShowHint());
        QCOMPARE(int(b.InitPause), 500);
        QCOMPARE(int(b.RepeatInterval), 100);
        QCOMPARE(b.NumGlyphs(), 1);
        b.SetMargin(-5);
        QCOMPARE(b.Margin(), -1);
        b.SetNumGlyphs(8);
        QCOMPARE(b.NumGlyphs(), 5);
    }

    void plainSpeedButton()
    {
        auto* b = new TSpeedButton(QStringLiteral("SB_Go"), window.get());
        b->SetBounds(10, 10, 40, 40);
        b->show();
        QCOMPARE(b->Layout(), blGlyphLeft);
        QCOMPARE(b->Spacing(), 4);
        QVERIFY(b->Transparent());
        QVERIFY(!b->MarkDropDown());
        // Flat at rest, its glyph keeps its colours.
        b->SetFlat(true);
        b->SetGlyph(redGlyph());
        QCOMPARE(middle(b), kRed);
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        clickAt(b);
        QCOMPARE(clicks, 1);
    }

    void clickInsideOnly()
    {
        TRxSpeedButton* b = window->add("B", 10);
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        clickAt(b);
        QCOMPARE(clicks, 1);
        QCOMPARE(b->ButtonState(), gdsUp);
        // Pressed, dragged out, released outside: no click.
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(b->ButtonState(), gdsDown);
        QTest::mouseMove(b, QPoint(60, 20));
        QCOMPARE(b->ButtonState(), gdsUp);
        QTest::mouseMove(b, QPoint(20, 20));
        QCOMPARE(b->ButtonState(), gdsDown);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(60, 20));
        QCOMPARE(clicks, 1);
        QCOMPARE(b->ButtonState(), gdsUp);
        // The bottom edge row counts as inside, the right edge column not.
        clickAt(b, QPoint(20, 40));
        QCOMPARE(clicks, 2);
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(40, 20));
        QCOMPARE(clicks, 2);
    }

    // The modal result goes to the form the button sits on: its window, or
    // the MDI child it is on (not the main form around it).
    void modalResultOnClick_data()
    {
        QTest::addColumn<bool>("mdiChild");
        QTest::newRow("top-level form") << false;
        QTest::newRow("MDI child") << true;
    }
    void modalResultOnClick()
    {
        QFETCH(bool, mdiChild);
        TForm* form = window.get();
        QMdiArea* area = nullptr;
        if (mdiChild) {
            window->SetFormStyle(TForm::fsMDIForm);
            area = new QMdiArea(window.get());
            area->resize(window->size());
            area->show();
            window->SetClientArea(area);
            Application::SetMainForm(window.get());
            form = new TForm(nullptr, Qt::Widget);
            form->SetFormStyle(TForm::fsMDIChild);
            form->resize(120, 80);
            form->show();
            QVERIFY(form->MDIFrame());
            QTest::qWait(20);
        }
        const auto unset = qScopeGuard([&] {
            if (mdiChild)
                Application::SetMainForm(nullptr);
        });
        auto* b = new TRxSpeedButton(QStringLiteral("B"), form);
        b->SetBounds(10, 10, 40, 40);
        b->show();
        b->ModalResult = TForm::mrOk;
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        clickAt(b);
        QCOMPARE(clicks, 1);
        QCOMPARE(form->ModalResult(), int(TForm::mrOk));
        if (mdiChild)
            QCOMPARE(window->ModalResult(), int(TForm::mrNone));
    }

    void clickExceptionIsShown()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->OnClick = [] { throw std::runtime_error("broken handler"); };
        QString shown;
        MessageBoxService::ScopedHandler answer([&](const MessageBoxService::Request& r) {
            shown = r.text;
            return MessageBoxService::IDOK;
        });
        clickAt(b);
        QCOMPARE(shown, QStringLiteral("broken handler"));
        QVERIFY(!b->Pressing());
    }

    void downNeedsAGroup()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetDown(true);
        QVERIFY(!b->Down());
        b->SetGroupIndex(1);
        b->SetDown(true);
        QVERIFY(b->Down());
        QCOMPARE(b->ButtonState(), gdsLatched);
    }

    void latchingGroup_data()
    {
        QTest::addColumn<bool>("allowAllUp");
        QTest::newRow("one stays down") << false;
        QTest::newRow("all may be up") << true;
    }
    void latchingGroup()
    {
        QFETCH(bool, allowAllUp);
        TRxSpeedButton* a = window->add("A", 10);
        TRxSpeedButton* b = window->add("B", 60);
        TRxSpeedButton* other = window->add("Other", 110);
        for (TRxSpeedButton* button : {a, b})
            button->SetGroupIndex(1);
        other->SetGroupIndex(2);
        a->SetAllowAllUp(allowAllUp);
        // The group shares AllowAllUp; another group does not.
        QCOMPARE(b->AllowAllUp(), allowAllUp);
        QVERIFY(!other->AllowAllUp());

        other->SetDown(true);
        clickAt(a);
        QVERIFY(a->Down());
        QCOMPARE(a->ButtonState(), gdsLatched);
        clickAt(b);
        QVERIFY(b->Down());
        QVERIFY(!a->Down());
        QCOMPARE(a->ButtonState(), gdsUp);
        QVERIFY(other->Down());

        // Clicking the latched button again.
        clickAt(b);
        QCOMPARE(b->Down(), !allowAllUp);
        // Nor can it be raised directly when one must stay down.
        b->SetDown(false);
        QCOMPARE(b->Down(), !allowAllUp);
    }

    void pressedLatchedButtonReleasedOutside()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetGroupIndex(1);
        b->SetAllowAllUp(true);
        b->SetDown(true);
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(b, QPoint(80, 20));
        QCOMPARE(b->ButtonState(), gdsLatched);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(80, 20));
        QVERIFY(b->Down());
        QCOMPARE(b->ButtonState(), gdsLatched);
    }

    void doubleClickOnlyWhenDown()
    {
        TRxSpeedButton* b = window->add("B", 10);
        int doubles = 0;
        b->OnDblClick = [&] { ++doubles; };
        QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(doubles, 0);
        b->SetGroupIndex(1);
        b->SetAllowAllUp(true);
        b->SetDown(true);
        QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(doubles, 1);
    }

    void dropDownMenu_data()
    {
        QTest::addColumn<bool>("autoPopup");
        QTest::newRow("pops up by itself") << true;
        QTest::newRow("plain press") << false;
    }
    void dropDownMenu()
    {
        QFETCH(bool, autoPopup);
        TRxSpeedButton* b = window->add("B", 10);
        QMenu menu;
        menu.addAction(QStringLiteral("One"));
        SetAutoPopup(&menu, autoPopup);
        b->SetDropDownMenu(&menu);
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        bool popped = false;
        QTimer closer;
        closer.setSingleShot(true);
        connect(&closer, &QTimer::timeout, this, [&] {
            popped = QApplication::activePopupWidget() == &menu;
            QVERIFY(b->MenuShowing());
            menu.hide();
        });
        closer.start(0);
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(popped, autoPopup);
        QCOMPARE(clicks, autoPopup ? 0 : 1);
        QVERIFY(!b->MenuShowing());
        QVERIFY(!b->Pressing());
        QCOMPARE(PopupComponent(&menu), autoPopup ? b : nullptr);
        if (autoPopup)
            QCOMPARE(menu.pos(), b->mapToGlobal(QPoint(-1, b->height())));
    }

    void dropDownAnchor_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QPoint>("anchor");
        // The button is 40 x 40.
        QTest::newRow("bottom left") << int(dmpBottom) << int(paLeft) << QPoint(-1, 40);
        QTest::newRow("bottom right") << int(dmpBottom) << int(paRight) << QPoint(41, 40);
        QTest::newRow("bottom centre") << int(dmpBottom) << int(paCenter) << QPoint(20, 40);
        QTest::newRow("right left") << int(dmpRight) << int(paLeft) << QPoint(40, -1);
        QTest::newRow("right right") << int(dmpRight) << int(paRight) << QPoint(-1, -1);
        QTest::newRow("right centre") << int(dmpRight) << int(paCenter) << QPoint(20, 40);
    }
    void dropDownAnchor()
    {
        QFETCH(int, position);
        QFETCH(int, alignment);
        QFETCH(QPoint, anchor);
        TRxSpeedButton* b = window->add("B", 10);
        QCOMPARE(b->DropDownAnchor(), QPoint(0, 0));
        QMenu menu;
        SetPopupAlignment(&menu, TPopupAlignment(alignment));
        b->SetDropDownMenu(&menu);
        b->MenuPosition = TRxDropDownMenuPos(position);
        QCOMPARE(b->DropDownAnchor(), anchor);
    }

    void dropDownMarkOnlyWithAMenu()
    {
        // No glyph, no caption: the mark alone, in the middle of the 34 x 34
        // inside of the frame, 7 + 5 + 3 + 1 pixels of the button text's
        // colour from (16, 19).
        TRxSpeedButton* b = window->add("B", 10);
        auto markPixels = [b] {
            const QImage image = b->grab().toImage();
            const QRgb text = SysColor(clBtnText).rgb();
            QList<QPoint> found;
            for (int y = 3; y < 37; ++y)
                for (int x = 3; x < 37; ++x)
                    if (image.pixel(x, y) == text)
                        found.append(QPoint(x, y));
            return found;
        };
        QVERIFY(markPixels().isEmpty());
        QMenu menu;
        b->SetDropDownMenu(&menu);
        const QList<QPoint> mark = markPixels();
        QCOMPARE(mark.size(), 16);
        QCOMPARE(mark.first(), QPoint(16, 19));
        QCOMPARE(mark.last(), QPoint(19, 22));
        b->SetMarkDropDown(false);
        QVERIFY(markPixels().isEmpty());
        b->SetMarkDropDown(true);
        b->setEnabled(false);
        // Disabled: engraved, in highlight and shadow.
        QVERIFY(markPixels().isEmpty());
        const QImage grey = b->grab().toImage();
        QCOMPARE(grey.pixel(16, 19), SysColor(clBtnShadow).rgb());
        QCOMPARE(grey.pixel(23, 20), SysColor(clBtnHighlight).rgb());
    }

    void closingClickDoesNotPressAgain()
    {
        // Through the window, the way the user's mouse reaches the program:
        // the open menu takes the press outside it and closes.
        TRxSpeedButton* b = window->add("B", 10);
        QMenu menu;
        menu.addAction(QStringLiteral("One"));
        b->SetDropDownMenu(&menu);
        int presses = 0;
        b->OnMouseDown = [&](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++presses; };
        QWindow* handle = window->windowHandle();
        const QPoint onButton = b->mapTo(window.get(), QPoint(20, 20));
        QTimer closer;
        closer.setSingleShot(true);
        connect(&closer, &QTimer::timeout, this, [&] {
            QVERIFY(menu.isVisible());
            QTest::mouseClick(handle, Qt::LeftButton, {}, onButton);
            if (menu.isVisible())
                menu.hide(); // the test fails below, but does not hang
        });
        closer.start(0);
        QTest::mousePress(handle, Qt::LeftButton, {}, onButton);
        QVERIFY(!menu.isVisible());
        QTest::mouseRelease(handle, Qt::LeftButton, {}, onButton);
        QCoreApplication::processEvents();
        QCOMPARE(presses, 1);
        QVERIFY(!b->Pressing());
    }

    void menuAndButtonGoTogether()
    {
        // The button goes while its menu is open: the menu closes, nothing
        // touches the button afterwards.
        QPointer<TRxSpeedButton> b = window->add("B", 10);
        QMenu menu;
        menu.addAction(QStringLiteral("One"));
        b->SetDropDownMenu(&menu);
        QTimer::singleShot(0, this, [&] { delete b.data(); });
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!b);
        QVERIFY(!menu.isVisible());

        // The menu goes first: the button forgets it.
        TRxSpeedButton* c = window->add("C", 60);
        auto* gone = new QMenu;
        c->SetDropDownMenu(gone);
        delete gone;
        QVERIFY(c->DropDownMenu() == nullptr);
    }

    void menuClosesWhenButtonIsHidden()
    {
        TRxSpeedButton* b = window->add("B", 10);
        QMenu menu;
        menu.addAction(QStringLiteral("One"));
        b->SetDropDownMenu(&menu);
        QTimer::singleShot(0, this, [&] { b->hide(); });
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!menu.isVisible());
        QVERIFY(!b->MenuShowing());
    }

    void autoRepeat()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetAllowTimer(true);
        b->InitPause = 300;
        b->RepeatInterval = 40;
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QTimer* timer = b->RepeatTimer();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 300);
        // Each tick of the timer stands for its interval passing.
        b->RepeatTick();
        QCOMPARE(clicks, 1);
        QCOMPARE(timer->interval(), 40);
        b->RepeatTick();
        QCOMPARE(clicks, 2);
        // Dragged off the button: held, but no repeats.
        QTest::mouseMove(b, QPoint(80, 20));
        b->RepeatTick();
        QCOMPARE(clicks, 2);
        QVERIFY(timer->isActive());
        QTest::mouseMove(b, QPoint(20, 20));
        b->RepeatTick();
        QCOMPARE(clicks, 3);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks, 4); // the release's own click
        QVERIFY(!timer->isActive());

        // The real timer runs the same ticks.
        b->InitPause = 1;
        b->RepeatInterval = 1;
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_VERIFY(clicks >= 6);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));

        b->SetAllowTimer(false);
        QVERIFY(b->RepeatTimer() == nullptr);
    }

    // A press ends without a click, and the button is no longer drawn
    // pressed, when the button goes or the mouse is taken from it before
    // the release.
    void repeatStopsWhenTheButtonGoes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("hidden") << "hidden";
        QTest::newRow("disabled") << "disabled";
        QTest::newRow("modal box") << "modal";
        QTest::newRow("another window activated") << "activate";
        QTest::newRow("a menu takes the mouse") << "menu";
    }
    void repeatStopsWhenTheButtonGoes()
    {
        QFETCH(QString, how);
        TRxSpeedButton* b = window->add("B", 10);
        b->SetGlyph(redGlyph());
        const QImage atRest = b->grab().toImage();
        b->SetAllowTimer(true);
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        // The mouse comes onto the button first, and goes away at the end.
        const auto away = qScopeGuard([this] { QTest::mouseMove(window.get(), QPoint(200, 100)); });
        QTest::mouseMove(b, QPoint(20, 20));
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(b->RepeatTimer()->isActive());
        QCOMPARE(b->ButtonState(), gdsDown);
        std::unique_ptr<MouseTaker> taker;
        if (how == QLatin1String("hidden"))
            b->hide();
        else if (how == QLatin1String("disabled"))
            b->setEnabled(false);
        else
            QVERIFY((taker = std::make_unique<MouseTaker>(how, window.get()))->Taken());
        QVERIFY(!b->RepeatTimer()->isActive());
        QVERIFY(!b->Pressing());
        QVERIFY(!b->HasCapture());
        b->RepeatTick();
        QCOMPARE(clicks, 0);
        if (b->isVisible() && b->isEnabled()) {
            QCOMPARE(b->ButtonState(), gdsUp);
            QCOMPARE(b->grab().toImage(), atRest);
        }
        taker.reset();
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks, 0);
    }

    void repeatedClickThatThrowsStopsTheTimer()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetAllowTimer(true);
        b->OnClick = [] { throw std::runtime_error("no"); };
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b->RepeatTick());
        QVERIFY(!b->RepeatTimer()->isActive());
        MessageBoxService::ScopedHandler answer(
            [](const MessageBoxService::Request&) { return MessageBoxService::IDOK; });
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
    }

    void flatHotTracking()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetFlat(true);
        b->SetGlyph(redGlyph());
        int enters = 0, leaves = 0;
        b->OnMouseEnter = [&] { ++enters; };
        b->OnMouseLeave = [&] { ++leaves; };
        // At rest the glyph is grey and there is no frame.
        const QRgb grey = qRgb(76, 76, 76);
        QCOMPARE(middle(b), grey);
        QCOMPARE(b->grab().toImage().pixel(0, 0), SysColor(clBtnFace).rgb());
        QTest::mouseMove(b, QPoint(20, 20));
        QTRY_VERIFY(b->MouseOver());
        QCOMPARE(enters, 1);
        QCOMPARE(middle(b), kRed);
        QCOMPARE(b->grab().toImage().pixel(0, 0), SysColor(clBtnHighlight).rgb());
        QTest::mouseMove(window.get(), QPoint(200, 100));
        QTRY_VERIFY(!b->MouseOver());
        QCOMPARE(leaves, 1);
        QCOMPARE(middle(b), grey);
        // A right press away from the mouse leaves the button at rest.
        QTest::mousePress(b, Qt::RightButton, {}, QPoint(20, 20));
        QVERIFY(!b->MouseOver());
        QCOMPARE(middle(b), grey);
        QTest::mouseRelease(b, Qt::RightButton, {}, QPoint(20, 20));
        QVERIFY(!b->MouseOver());
        QCOMPARE(enters, 1);
        // Without GrayedInactive the glyph keeps its colours at rest.
        b->SetGrayedInactive(false);
        QCOMPARE(middle(b), kRed);
    }

    void latchedFlatButton()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetFlat(true);
        b->SetGroupIndex(1);
        b->SetDown(true);
        // At rest: a pressed frame and the checker ground.
        QImage rest = b->grab().toImage();
        QCOMPARE(rest.pixel(0, 0), SysColor(clWindowFrame).rgb());
        const QRgb a = rest.pixel(10, 10), c = rest.pixel(11, 10);
        QVERIFY(a != c);
        QVERIFY(a == SysColor(clBtnHighlight).rgb() || c == SysColor(clBtnHighlight).rgb());
        // Hovered: the frame without the checker.
        QTest::mouseMove(b, QPoint(20, 20));
        QTRY_VERIFY(b->MouseOver());
        QImage hot = b->grab().toImage();
        QCOMPARE(hot.pixel(0, 0), SysColor(clWindowFrame).rgb());
        QCOMPARE(hot.pixel(10, 10), hot.pixel(11, 10));
        // Transparent: never the checker.
        b->SetTransparent(true);
        QTest::mouseMove(window.get(), QPoint(200, 100));
        QTRY_VERIFY(!b->MouseOver());
        QImage clear = b->grab().toImage();
        QCOMPARE(clear.pixel(10, 10), clear.pixel(11, 10));
    }

    void disabledLook()
    {
        TRxSpeedButton* b = window->add("B", 10);
        QImage glyph = redGlyph();
        glyph.setPixel(8, 8, qRgb(0, 0, 0)); // one black line pixel
        b->SetGlyph(glyph);
        b->setEnabled(false);
        const QImage image = b->grab().toImage();
        QCOMPARE(b->ButtonState(), gdsDisabled);
        // Embossed: the black pixel in shadow, the red ones gone.
        bool sawShadow = false, sawRed = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                sawShadow |= image.pixel(x, y) == SysColor(clBtnShadow).rgb() && x > 3 && y > 3 &&
                             x < 36 && y < 36;
                sawRed |= image.pixel(x, y) == kRed;
            }
        QVERIFY(sawShadow);
        QVERIFY(!sawRed);
        b->setEnabled(true);
        b->grab();
        QCOMPARE(b->ButtonState(), gdsUp);
    }

    void frames_data()
    {
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("flat");
        // Colours at the outer top-left, outer bottom-right, inner top-left
        // and inner bottom-right corners (0 for the untouched face).
        QTest::addColumn<int>("outerTL");
        QTest::addColumn<int>("outerBR");
        QTest::addColumn<int>("innerTL");
        QTest::addColumn<int>("innerBR");
        QTest::addColumn<int>("inset");
        const int H = clBtnHighlight, S = clBtnShadow, F = clWindowFrame, B = clBtnFace;
        QTest::newRow("up new") << false << int(bsNew) << false << H << F << B << S << 3;
        QTest::newRow("up new flat") << false << int(bsNew) << true << H << S << B << B << 2;
        QTest::newRow("up old") << false << int(bsWin31) << false << F << F << H << S << 3;
        QTest::newRow("up old flat") << false << int(bsWin31) << true << H << F << B << B << 2;
        QTest::newRow("down new") << true << int(bsNew) << false << F << H << S << B << 3;
        QTest::newRow("down new flat") << true << int(bsNew) << true << F << H << B << B << 2;
        QTest::newRow("down old") << true << int(bsWin31) << false << F << F << S << B << 2;
        QTest::newRow("down old flat") << true << int(bsWin31) << true << F << H << B << B << 2;
        QTest::newRow("auto is new")
            << false << int(bsAutoDetect) << false << H << F << B << S << 3;
    }
    void frames()
    {
        QFETCH(bool, pressed);
        QFETCH(int, style);
        QFETCH(bool, flat);
        QFETCH(int, outerTL);
        QFETCH(int, outerBR);
        QFETCH(int, innerTL);
        QFETCH(int, innerBR);
        QFETCH(int, inset);
        FrameButton b;
        b.SetStyle(TButtonStyle(style));
        b.SetFlat(flat);
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(SysColor(clBtnFace).rgb());
        QRect inner;
        {
            QPainter painter(&image);
            inner = b.DrawSpeedFrame(painter, QRect(0, 0, 10, 10), pressed);
        }
        QCOMPARE(inner, QRect(inset, inset, 10 - 2 * inset, 10 - 2 * inset));
        QCOMPARE(image.pixel(0, 0), SysColor(TColor(outerTL)).rgb());
        QCOMPARE(image.pixel(9, 9), SysColor(TColor(outerBR)).rgb());
        QCOMPARE(image.pixel(1, 1), SysColor(TColor(innerTL)).rgb());
        QCOMPARE(image.pixel(8, 8), SysColor(TColor(innerBR)).rgb());
    }

    void transparentOverItsParent()
    {
        // A parent painted blue: a transparent flat button at rest shows it.
        class Blue : public QWidget
        {
        protected:
            void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::blue); }
        };
        auto* parent = new Blue;
        parent->setParent(window.get());
        parent->setGeometry(0, 0, 200, 100);
        parent->show();
        auto* b = new TRxSpeedButton(QStringLiteral("B"), parent);
        b->SetBounds(10, 10, 40, 40);
        b->SetFlat(true);
        b->show();
        QCOMPARE(b->grab().toImage().pixel(1, 1), SysColor(clBtnFace).rgb());
        b->SetTransparent(true);
        QCOMPARE(b->grab().toImage().pixel(1, 1), QColor(Qt::blue).rgb());
    }

    void mnemonicClicks()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetCaption(QStringLiteral("&Back"));
        int clicks = 0;
        b->OnClick = [&] { ++clicks; };
        QTest::keyClick(window.get(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        b->setEnabled(false);
        QTest::keyClick(window.get(), Qt::Key_B, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        b->setEnabled(true);
        b->SetCaption(QStringLiteral("&Next"));
        QTest::keyClick(window.get(), Qt::Key_N, Qt::AltModifier);
        QCOMPARE(clicks, 2);
    }

    void hintFollowsShowHint()
    {
        TRxSpeedButton* b = window->add("B", 10);
        b->SetHint(QStringLiteral("Back"));
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
        b->SetShowHint(false);
        QVERIFY(QApplication::sendEvent(b, &help));
        QVERIFY(!help.isAccepted());
    }
};

QTEST_MAIN(TestRxSpeedButton)
#include "test_RxSpeedButton.moc"
