#include "platform/MessageBox.h"
#include "toolkit/AfterMessages.h"
#include "toolkit/AppWindow.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTest>

#include <stdexcept>

namespace {

// A form that refuses to close while `keep` is set.
class TKeepForm : public TForm
{
public:
    bool keep = false;

protected:
    void FormClose(TCloseAction& action) override
    {
        if (keep)
            action = caNone;
    }
};

struct Recorder : TAfterMessageListener
{
    QString name;
    QStringList* log;
    std::function<void(QEvent*)> also;
    Recorder(QString n, QStringList* l) : name(std::move(n)), log(l) {}
    void AfterMessage(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            log->append(name + (event->isAccepted() ? " close accepted" : " close refused"));
        else if (event->type() == AfterMessages::FormDestroyType())
            log->append(name + " destroy");
        if (also)
            also(event);
    }
};

} // namespace

class TestAfterMessages : public QObject
{
    Q_OBJECT

private slots:
    // Listeners hear what the form did with the event, the last installed
    // first; one removed by another during a notification is not called.
    void listenersHearTheOutcome()
    {
        QStringList log;
        TKeepForm form;
        Recorder a("a", &log), b("b", &log);
        AfterMessages::Install(&form, &a);
        AfterMessages::Install(&form, &b);
        AfterMessages::Install(&form, &b); // once only
        form.show();
        form.keep = true;
        form.close();
        QVERIFY(form.isVisible());
        form.keep = false;
        b.also = [&](QEvent* e) {
            if (e->type() == QEvent::Close)
                AfterMessages::Remove(&form, &a);
        };
        form.close();
        QVERIFY(!form.isVisible());
        QCOMPARE(log, (QStringList{"b close refused", "a close refused", "b close accepted"}));
        AfterMessages::Remove(&form, &b);
        QVERIFY(!AfterMessages::IsInstalled(&form, &b));
    }

    // The destruction notice comes while the form's widgets still stand.
    void destructionIsAnnouncedWhileChildrenStand()
    {
        QStringList log;
        auto* form = new TForm;
        auto* child = new QWidget(form);
        child->setObjectName("child");
        Recorder r("r", &log);
        bool childAlive = false;
        r.also = [&](QEvent* e) {
            if (e->type() == AfterMessages::FormDestroyType())
                childAlive = form->findChild<QWidget*>("child") == child;
        };
        AfterMessages::Install(form, &r);
        delete form;
        QCOMPARE(log, QStringList{"r destroy"});
        QVERIFY(childAlive);
        QVERIFY(!AfterMessages::IsInstalled(form, &r)); // forgotten with its target
    }

    void anEscapingExceptionGoesToTheApplicationsHandler()
    {
        QStringList shown;
        MessageBoxService::ScopedHandler boxes([&](const MessageBoxService::Request& r) {
            shown << r.text;
            return MessageBoxService::IDOK;
        });
        TForm form;
        QStringList log;
        Recorder r("r", &log);
        r.also = [](QEvent* e) {
            if (e->type() == QEvent::Close)
                throw std::runtime_error("listener failed");
        };
        AfterMessages::Install(&form, &r);
        form.show();
        form.close();
        QCOMPARE(shown, QStringList{"listener failed"});
        QVERIFY(!form.isVisible());
        AfterMessages::Remove(&form, &r);
    }

    // SC_MINIMIZE posted to the application window minimises the visible
    // top-level forms once the message loop runs.
    void aPostedMinimizeMinimisesTheApplication()
    {
        TForm main, other, hidden;
        main.show();
        other.show();
        QVERIFY(PostMessage(Application::Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0));
        QVERIFY(!main.isMinimized());
        QTRY_VERIFY(main.isMinimized());
        QVERIFY(other.isMinimized());
        QVERIFY(!hidden.isVisible());
        PostMessage(Application::Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
        QTRY_VERIFY(!main.isMinimized());
    }
};

QTEST_MAIN(TestAfterMessages)
#include "test_aftermessages.moc"
