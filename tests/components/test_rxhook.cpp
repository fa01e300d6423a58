#include "components/RxHook.h"
#include "platform/MessageBox.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>

namespace {

const QEvent::Type kProbe = QEvent::Type(QEvent::User + 7);

// A form that counts the probe events that reach it.
class TProbeForm : public TForm
{
public:
    int probes = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == kProbe)
            ++probes;
        return TForm::event(e);
    }
};

// An event filter of someone else's.
class Spy : public QObject
{
public:
    QList<QEvent::Type> seen;
    bool eventFilter(QObject*, QEvent* e) override
    {
        seen.append(e->type());
        return false;
    }
};

void probe(QObject* target)
{
    QEvent e(kProbe);
    QCoreApplication::sendEvent(target, &e);
}

// A hook on the control that logs its before and after calls of the probe.
TRxWindowHook* loggingHook(QWidget* control, const QString& name, QStringList* log,
                           bool handles = false)
{
    auto* hook = new TRxWindowHook(nullptr, name);
    hook->BeforeMessage = [=](QObject*, QEvent& e, bool& handled) {
        if (e.type() == kProbe) {
            log->append(name + " before");
            handled = handles;
        }
    };
    hook->AfterMessage = [=](QObject*, QEvent& e, bool&) {
        if (e.type() == kProbe)
            log->append(name + " after");
    };
    hook->SetWinControl(control);
    return hook;
}

} // namespace

class TestRxHook : public QObject
{
    Q_OBJECT

private slots:
    void hooksRunFromTheLastAdded()
    {
        TProbeForm form;
        QStringList log;
        std::unique_ptr<TRxWindowHook> first(loggingHook(&form, "first", &log));
        std::unique_ptr<TRxWindowHook> second(loggingHook(&form, "second", &log));
        TControlHook* record = HookRegistry().Find(&form);
        QVERIFY(record);
        QCOMPARE(record->Hooks().size(), 2); // one record for the control
        QCOMPARE(first->Attached(), record);
        probe(&form);
        QCOMPARE(log,
                 (QStringList{"second before", "first before", "second after", "first after"}));
        QCOMPARE(form.probes, 1);
    }

    // The hook added last that sets Handled stops the others and keeps the
    // event from the control (and so from the after side).
    void aHandlingHookSwallowsTheEvent()
    {
        TProbeForm form;
        QStringList log;
        std::unique_ptr<TRxWindowHook> first(loggingHook(&form, "first", &log));
        std::unique_ptr<TRxWindowHook> second(loggingHook(&form, "second", &log, true));
        probe(&form);
        QCOMPARE(log, QStringList{"second before"});
        QCOMPARE(form.probes, 0);
    }

    void quitIsNeverShownBeforehand()
    {
        TProbeForm form;
        QList<QEvent::Type> before;
        TRxWindowHook hook;
        hook.BeforeMessage = [&](QObject*, QEvent& e, bool&) { before.append(e.type()); };
        hook.SetWinControl(&form);
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(&form, &quit);
        probe(&form);
        QCOMPARE(before, QList<QEvent::Type>{kProbe});
    }

    // Deactivating the last hook takes the record off the control; a filter
    // someone installed above it stays where it is.
    void deactivatingTheLastHookUnhooks()
    {
        TProbeForm form;
        QStringList log;
        std::unique_ptr<TRxWindowHook> hook(loggingHook(&form, "h", &log));
        Spy above;
        form.installEventFilter(&above);
        TControlHook* record = HookRegistry().Find(&form);
        QVERIFY(record->Installed());
        hook->SetActive(false);
        QVERIFY(!record->Installed());
        QCOMPARE(HookRegistry().Find(&form), record); // the record waits for a release
        probe(&form);
        QVERIFY(log.isEmpty());
        QCOMPARE(above.seen, QList<QEvent::Type>{kProbe});
        QCOMPARE(form.probes, 1);
        hook->SetActive(true);
        probe(&form);
        QCOMPARE(log, (QStringList{"h before", "h after"}));
        QCOMPARE(above.seen.size(), 2);
    }

    // A hook moved off its control posts the release of the record it left,
    // which the message loop carries out.
    void aLeftRecordIsReleasedFromTheMessageLoop()
    {
        TProbeForm form, other;
        QStringList log;
        std::unique_ptr<TRxWindowHook> hook(loggingHook(&form, "h", &log));
        TControlHook* record = HookRegistry().Find(&form);
        hook->SetWinControl(&other);
        QCOMPARE(hook->WinControl(), &other);
        QVERIFY(HookRegistry().Contains(record));
        QTRY_VERIFY(!HookRegistry().Find(&form));
        probe(&form);
        probe(&other);
        QCOMPARE(log, (QStringList{"h before", "h after"}));
    }

    // A control whose window is destroyed and made again stays hooked; the
    // destruction of the window reaches the control even when a hook would
    // swallow everything.
    void aNewWindowStaysHooked()
    {
        TProbeForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Spy below; // installed before the hook: it sees what the hook lets through
        form.installEventFilter(&below);
        QList<QEvent::Type> heard;
        TRxWindowHook hook;
        hook.BeforeMessage = [&](QObject*, QEvent& e, bool& handled) {
            heard.append(e.type());
            handled = e.type() == QEvent::WinIdChange || e.type() == kProbe;
        };
        hook.SetWinControl(&form);
        form.setWindowFlags(form.windowFlags() | Qt::WindowStaysOnTopHint);
        QVERIFY(heard.contains(QEvent::WinIdChange));
        QVERIFY(below.seen.contains(QEvent::WinIdChange));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents(); // the reattach message
        heard.clear();
        probe(&form);
        QCOMPARE(heard, QList<QEvent::Type>{kProbe});
        QCOMPARE(form.probes, 0);
        QVERIFY(HookRegistry().Find(&form)->Installed());
    }

    void anExceptionInAHookGoesToTheApplication()
    {
        QStringList shown;
        MessageBoxService::ScopedHandler boxes([&](const MessageBoxService::Request& r) {
            shown << r.text;
            return MessageBoxService::IDOK;
        });
        TProbeForm form;
        QStringList log;
        std::unique_ptr<TRxWindowHook> first(loggingHook(&form, "first", &log));
        TRxWindowHook failing;
        failing.BeforeMessage = [](QObject*, QEvent& e, bool&) {
            if (e.type() == kProbe)
                throw std::runtime_error("hook failed");
        };
        failing.SetWinControl(&form);
        probe(&form);
        QCOMPARE(shown, QStringList{"hook failed"});
        QCOMPARE(log, (QStringList{"first before", "first after"}));
    }

    // Free notification: a destroyed control leaves its hooks unattached and
    // its record is released.
    void aDestroyedControlLeavesTheHookDetached()
    {
        auto* form = new TProbeForm;
        QStringList log;
        std::unique_ptr<TRxWindowHook> hook(loggingHook(form, "h", &log));
        TControlHook* record = HookRegistry().Find(form);
        delete form;
        QVERIFY(!hook->WinControl());
        QVERIFY(!hook->Attached());
        QVERIFY(hook->Active());
        QTRY_VERIFY(!HookRegistry().Contains(record));
    }

    void aHookMayFreeItselfInItsHandler()
    {
        TProbeForm form;
        QStringList log;
        std::unique_ptr<TRxWindowHook> first(loggingHook(&form, "first", &log));
        auto* self = new TRxWindowHook;
        self->BeforeMessage = [self](QObject*, QEvent& e, bool&) {
            if (e.type() == kProbe)
                delete self;
        };
        self->SetWinControl(&form);
        probe(&form);
        QCOMPARE(log, (QStringList{"first before", "first after"}));
        QCOMPARE(HookRegistry().Find(&form)->Hooks().size(), 1);
    }

    // A handler that lets go of its hook (the record is left without
    // hooks) and then runs a nested loop, as a modal box does: the record
    // the loop would release is still dispatching, so it is released only
    // once the handler has returned.
    void aRecordLeftDuringANestedLoopOutlivesTheDispatch_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("hook freed") << "free";
        QTest::newRow("hook moved to another control") << "move";
        QTest::newRow("hook freed, then a throw shows the exception box") << "throw";
    }
    void aRecordLeftDuringANestedLoopOutlivesTheDispatch()
    {
        QFETCH(QString, how);
        auto nestedLoop = [] {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
        };
        int boxes = 0;
        MessageBoxService::ScopedHandler box([&](const MessageBoxService::Request&) {
            ++boxes;
            nestedLoop();
            return MessageBoxService::IDOK;
        });
        TProbeForm form, other;
        QPointer<TRxWindowHook> hook = new TRxWindowHook;
        hook->BeforeMessage = [&](QObject*, QEvent& e, bool&) {
            if (e.type() != kProbe)
                return;
            if (how == "move") {
                hook->SetWinControl(&other);
            } else {
                delete hook.data();
                if (how == "throw")
                    throw std::runtime_error("handler failed");
            }
            nestedLoop();
        };
        hook->SetWinControl(&form);
        TControlHook* record = HookRegistry().Find(&form);
        probe(&form);
        QCOMPARE(boxes, how == "throw" ? 1 : 0);
        QVERIFY(HookRegistry().Contains(record));
        QVERIFY(!record->Dispatching());
        QTRY_VERIFY(!HookRegistry().Contains(record));
        QVERIFY(!HookRegistry().Find(&form));
        delete hook.data();
    }

    void aHookOnItsOwnFormIsForm()
    {
        TProbeForm form;
        auto* hook = new TRxWindowHook(&form);
        QVERIFY(!hook->IsForm());
        hook->SetIsForm(true);
        QCOMPARE(hook->WinControl(), &form);
        QVERIFY(hook->IsForm());
        TRxWindowHook stray;
        stray.SetIsForm(true); // no form owner: nothing
        QVERIFY(!stray.WinControl());
    }

    // Other controls are watched beforehand only: the after side is for
    // the toolkit's forms, which report what they handled.
    void plainWidgetsHaveNoAfterSide()
    {
        QWidget plain;
        QStringList log;
        std::unique_ptr<TRxWindowHook> hook(loggingHook(&plain, "h", &log));
        probe(&plain);
        QCOMPARE(log, QStringList{"h before"});
    }
};

QTEST_MAIN(TestRxHook)
#include "test_rxhook.moc"
