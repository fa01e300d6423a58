#include "toolkit/Forms.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A main form with a client area, as the program's main window has.
class TMainForm : public TForm
{
public:
    TMainForm()
    {
        SetFormStyle(fsMDIForm);
        area = new QMdiArea(this);
        area->resize(600, 400);
        SetClientArea(area);
        resize(640, 480);
        Application::SetMainForm(this);
    }
    ~TMainForm() override { Application::SetMainForm(nullptr); }
    QMdiArea* area;
};

class TChild : public TForm
{
public:
    explicit TChild(const QString& caption, TCloseAction onClose = caFree)
        : TForm(nullptr, Qt::Widget), onClose_(onClose)
    {
        SetFormStyle(fsMDIChild);
        SetCaption(caption);
        resize(200, 150);
    }
    int activations = 0;
    int deactivations = 0;
    int closes = 0;

protected:
    void FormActivate() override { ++activations; }
    void FormDeactivate() override { ++deactivations; }
    void FormClose(TCloseAction& action) override
    {
        ++closes;
        action = onClose_;
    }

private:
    TCloseAction onClose_;
};

} // namespace

class TestMdi : public QObject
{
    Q_OBJECT

private slots:
    void childEntersTheMainFormsAreaWhenShown()
    {
        TMainForm main;
        main.show();
        auto* child = new TChild(QStringLiteral("one"));
        QVERIFY(!child->MDIFrame());
        child->show();
        QVERIFY(child->MDIFrame());
        QCOMPARE(child->MDIFrame()->mdiArea(), main.area);
        QCOMPARE(child->MDIFrame()->windowTitle(), QStringLiteral("one"));
        QCOMPARE(main.MDIChildren(), QList<TForm*>({child}));
        QCOMPARE(main.ActiveMDIChild(), child);
        QCOMPARE(child->activations, 1);

        // The caption follows the form.
        child->SetCaption(QStringLiteral("renamed"));
        QCOMPARE(child->MDIFrame()->windowTitle(), QStringLiteral("renamed"));
    }

    void activationMovesBetweenChildren()
    {
        TMainForm main;
        main.show();
        auto* first = new TChild(QStringLiteral("first"));
        first->show();
        auto* second = new TChild(QStringLiteral("second"));
        QSignalSpy firstOff(first, &TForm::Deactivated);
        second->show();
        QCOMPARE(main.ActiveMDIChild(), second);
        QCOMPARE(firstOff.count(), 1);
        QCOMPARE(first->deactivations, 1);
        QCOMPARE(second->activations, 1);

        first->BringToFront();
        QCOMPARE(main.ActiveMDIChild(), first);
        QCOMPARE(first->activations, 2);
        QCOMPARE(second->deactivations, 1);
        // Bringing the active child to the front again announces nothing.
        first->BringToFront();
        QCOMPARE(first->activations, 2);
    }

    void closingFreesTheFormAndItsFrame_data()
    {
        QTest::addColumn<bool>("throughFrame");
        QTest::newRow("the frame's close button") << true;
        QTest::newRow("the form's own close") << false;
    }
    void closingFreesTheFormAndItsFrame()
    {
        QFETCH(bool, throughFrame);
        TMainForm main;
        main.show();
        QPointer<TChild> child = new TChild(QStringLiteral("c"));
        child->show();
        QPointer<QMdiSubWindow> frame = child->MDIFrame();
        if (throughFrame)
            frame->close();
        else
            child->close();
        QCOMPARE(child ? child->closes : 1, 1);
        QTRY_VERIFY(!child);
        QTRY_VERIFY(!frame);
        QVERIFY(main.MDIChildren().isEmpty());
    }

    void aFormFreedDirectlyTakesItsFrame()
    {
        // As a plug-in frees its windows in Done: at once, no close asked.
        TMainForm main;
        main.show();
        auto* first = new TChild(QStringLiteral("first"));
        first->show();
        auto* child = new TChild(QStringLiteral("freed"));
        child->show();
        QPointer<QMdiSubWindow> frame = child->MDIFrame();
        QSignalSpy firstOn(first, &TForm::Activated);
        delete child;
        QCOMPARE(main.MDIChildren(), QList<TForm*>({first}));
        QTRY_VERIFY(!frame);
        QCOMPARE(main.area->subWindowList().size(), 1);
        QCOMPARE(main.ActiveMDIChild(), first);
        QCOMPARE(firstOn.count(), 1);
    }

    void aRefusedCloseKeepsTheFrame()
    {
        TMainForm main;
        main.show();
        auto* child = new TChild(QStringLiteral("stays"), TForm::caNone);
        child->show();
        child->Close();
        QCoreApplication::processEvents();
        QVERIFY(child->MDIFrame());
        QVERIFY(child->MDIFrame()->isVisible());
        QCOMPARE(child->closes, 1);
        QCOMPARE(main.MDIChildren(), QList<TForm*>({child}));
    }

    void aHiddenChildKeepsItsFrameForLater()
    {
        TMainForm main;
        main.show();
        auto* child = new TChild(QStringLiteral("hidden"), TForm::caHide);
        child->show();
        QPointer<QMdiSubWindow> frame = child->MDIFrame();
        frame->close();
        QCoreApplication::processEvents();
        QVERIFY(frame);
        QVERIFY(!frame->isVisible());
        child->show();
        QCOMPARE(child->MDIFrame(), frame.data());
        QVERIFY(frame->isVisible());
    }

    void stateAskedBeforeShowingIsTheFramesState()
    {
        TMainForm main;
        main.show();
        auto* child = new TChild(QStringLiteral("max"));
        child->SetWindowState(TForm::wsMaximized);
        QCOMPARE(child->WindowState(), TForm::wsMaximized);
        child->show();
        QVERIFY(child->MDIFrame()->isMaximized());
        child->SetWindowState(TForm::wsNormal);
        QVERIFY(!child->MDIFrame()->isMaximized());
        QCOMPARE(child->WindowState(), TForm::wsNormal);
    }

    void stateChangesOfTheFrameAreSignalled()
    {
        TMainForm main;
        main.show();
        auto* child = new TChild(QStringLiteral("states"));
        QSignalSpy changes(child, &TForm::WindowStateChanged);
        child->SetWindowState(TForm::wsMaximized);
        child->show();
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).value<TForm::TWindowState>(), TForm::wsNormal);
        QCOMPARE(changes.at(0).at(1).value<TForm::TWindowState>(), TForm::wsMaximized);
        // The frame's own buttons change it as well.
        child->MDIFrame()->showNormal();
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(1).at(1).value<TForm::TWindowState>(), TForm::wsNormal);
        child->MDIFrame()->showMinimized();
        QCOMPARE(changes.count(), 3);
        QCOMPARE(changes.at(2).at(0).value<TForm::TWindowState>(), TForm::wsNormal);
        QCOMPARE(changes.at(2).at(1).value<TForm::TWindowState>(), TForm::wsMinimized);
    }

    void withoutAMainFormAChildIsAWindowOfItsOwn()
    {
        Application::SetMainForm(nullptr);
        TChild child(QStringLiteral("alone"), TForm::caHide);
        child.show();
        QVERIFY(!child.MDIFrame());
        QVERIFY(child.isWindow());
    }

    void childrenGoWithTheMainForm()
    {
        QPointer<TChild> child;
        {
            TMainForm main;
            main.show();
            child = new TChild(QStringLiteral("owned"));
            child->show();
        }
        QVERIFY(!child);
        QCOMPARE(Application::MainForm(), nullptr);
    }
};

QTEST_MAIN(TestMdi)
#include "test_mdi.moc"
