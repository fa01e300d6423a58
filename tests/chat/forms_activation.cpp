// Query windows opening beside a channel window under a real X server
// (Xvfb, started by the test), where giving a widget the focus activates
// the window it is in: a query made by a received private message, by the
// nick menu's "private chat" (for a new nick and for one whose query exists)
// and by a double click on the nick list. Afterwards neither window is
// activated again once the first second has passed, and what is typed
// (real key presses through the X server) reaches the window the user is
// in, in both windows.
#include "IrcPeers.h"
#include "MdiMainForm.h"
#include "XServer.h"

#include "chat/plugin/FrmChildWin.h"
#include "chat/plugin/FrmMDIServer.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "toolkit/Controls.h"
#include "toolkit/ListBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Zentrel;

namespace {

XServer& xserver()
{
    static XServer x;
    return x;
}

// Every activation of a child window of the area, with its time.
struct Activations
{
    QElapsedTimer clock;
    QList<QPair<qint64, QWidget*>> seen;
    qint64 since(qint64 ms) const
    {
        qint64 n = 0;
        for (const auto& [at, w] : seen)
            n += at > ms;
        return n;
    }
};

} // namespace

class TestFormsActivation : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<TMainForm> main_;
    IrcPeers::ScriptedIrc irc_;
    QPointer<TMDIServer> server_;
    Activations activations_;

    TMDIChild* window(const QByteArray& name) const
    {
        const int id = server_ ? server_->Session().FindWindow(name) : 0;
        return id ? server_->ChildWindow(id) : nullptr;
    }
    TMDIChild* channel() const { return window("#chan"); }

    // The window the user is in, as the area and the keyboard focus see it.
    static bool current(TMDIChild* w)
    {
        return w && w->IsActiveForm() && QApplication::focusWidget() == w->edtInputText;
    }
    // Makes a window the user's, as a click on its tab does.
    bool goTo(TMDIChild* w)
    {
        w->BringToFront();
        return QTest::qWaitFor([&] { return current(w); }, 5000);
    }
    // Real key presses: the text and Enter, then the line the server gets.
    QByteArray typeLine(const QByteArray& text)
    {
        if (!xserver().typeLine(QString::fromLatin1(text)))
            return "xdotool: " + xserver().errorString().toUtf8();
        return irc_.takeLine(text, 5000);
    }
    // The global centre of a rectangle of a widget, for the pointer.
    static QPoint at(QWidget* w, const QRect& r) { return w->mapToGlobal(r.center()); }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("BREVANT_HOME", dir_.filePath(QStringLiteral("home")).toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        main_ = std::make_unique<TMainForm>();
        // The plug-in started on this main form, as the host starts it.
        PluginInit(THostCallbacks(), nullptr);
        main_->show();
        main_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main_.get()));
        activations_.clock.start();
        connect(main_->area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
            if (w)
                activations_.seen.append({activations_.clock.elapsed(), w->widget()});
        });
        QVERIFY(irc_.listen());
        server_ = new TMDIServer();
        server_->SetServerText(QStringLiteral("127.0.0.1:%1").arg(irc_.port()));
        server_->SetNick(QStringLiteral("me"));
        server_->show();
        server_->B_ConnectClick();
        QVERIFY(irc_.waitForClient());
        QVERIFY(irc_.waitFor("USER "));
        irc_.send(":srv 001 me :Welcome");
        irc_.send(":me!u@h JOIN :#chan");
        irc_.send(":srv 353 me = #chan :me bob carol dan dave");
        irc_.send(":srv 366 me #chan :End of NAMES list");
        QTRY_COMPARE(channel() ? channel()->lstNameList->AllItems().size() : 0, qsizetype(5));
        irc_.take();
    }

    void cleanupTestCase()
    {
        delete server_.data();
        PluginDone();
        main_.reset();
    }

    // Every query window goes after each row: each row starts from the
    // channel window alone.
    void cleanup()
    {
        for (const int id : server_->Session().ChildIds())
            if (TMDIChild* w = server_->ChildWindow(id); w && w != channel())
                w->Close();
        QTRY_COMPARE(server_->Session().ChildIds().size(), qsizetype(1));
    }

    // Each row: how the query of `nick` opens while the channel window is
    // the user's, and which of the two is the user's then.
    void aQueryOpensWithoutFreezingTheChat_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("nick");
        QTest::addColumn<bool>("queryInFront");
        QTest::newRow("received private message") << "privmsg" << QByteArray("bob") << false;
        QTest::newRow("nick menu, new query") << "menu" << QByteArray("carol") << true;
        QTest::newRow("nick menu, query exists") << "menu" << QByteArray("dan") << true;
        QTest::newRow("double click on the nick list") << "dblclick" << QByteArray("dave") << true;
    }
    void aQueryOpensWithoutFreezingTheChat()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, nick);
        QFETCH(bool, queryInFront);
        TMDIChild* chan = channel();
        QVERIFY(chan);
        if (QTest::currentDataTag() == QLatin1String("nick menu, query exists")) {
            // The query is there already, behind the channel.
            irc_.send(":" + nick + "!u@h PRIVMSG me :earlier");
            QTRY_VERIFY(window(nick));
        }
        QVERIFY(goTo(chan));
        QTest::qWait(200);

        const qint64 start = activations_.clock.elapsed();
        if (how == QLatin1String("privmsg")) {
            irc_.send(":" + nick + "!u@h PRIVMSG me :hello there");
        } else {
            const int row = chan->lstNameList->IndexOf(QString::fromLatin1(nick));
            QVERIFY(row >= 0);
            chan->lstNameList->clearSelection();
            chan->lstNameList->SetSelected(row, true);
            const QRect item = chan->lstNameList->visualItemRect(chan->lstNameList->item(row));
            const QPoint pos = at(chan->lstNameList->viewport(), item);
            if (how == QLatin1String("dblclick")) {
                QVERIFY2(xserver().click(pos, 1, 2), qPrintable(xserver().errorString()));
            } else {
                // The right button opens the nick menu; its item is clicked.
                QMenu* menu = chan->PopupMenu2;
                QVERIFY2(xserver().click(pos, 3), qPrintable(xserver().errorString()));
                QTRY_VERIFY(menu->isVisible());
                QVERIFY(QTest::qWaitForWindowExposed(menu));
                QVERIFY2(xserver().click(at(menu, menu->actionGeometry(chan->N2))),
                         qPrintable(xserver().errorString()));
            }
        }
        QTRY_VERIFY(window(nick));
        const qint64 opened = activations_.clock.elapsed();
        TMDIChild* query = window(nick);
        TMDIChild* front = queryInFront ? query : chan;
        TMDIChild* behind = queryInFront ? chan : query;

        // Idle: whatever activations the opening made are over within the
        // first second after the window appeared.
        QTest::qWait(3000);
        const auto seen = [&] {
            QStringList out;
            for (const auto& [t, w] : activations_.seen)
                if (t > start)
                    out << QStringLiteral("%1 ms %2").arg(t - start).arg(w->windowTitle());
            return out.join(u',');
        };
        QVERIFY2(activations_.since(opened + 1000) == 0, qPrintable(seen()));
        QVERIFY2(current(front), qPrintable(seen()));
        QVERIFY(!behind->IsActiveForm());

        // Typing works in both windows.
        irc_.take();
        QCOMPARE(typeLine("typed in front"),
                 "PRIVMSG " + (queryInFront ? nick : QByteArray("#chan")) + " :typed in front");
        QVERIFY(goTo(behind));
        QCOMPARE(typeLine("typed behind"),
                 "PRIVMSG " + (queryInFront ? QByteArray("#chan") : nick) + " :typed behind");
        // Back in the channel, once more after the switch.
        QVERIFY(goTo(chan));
        QCOMPARE(typeLine("and again"), QByteArray("PRIVMSG #chan :and again"));
    }
};

int main(int argc, char** argv)
{
    // The X server comes before the application that talks to it.
    if (!xserver().start()) {
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(xserver().errorString()));
        return 1;
    }
    QApplication app(argc, argv);
    TestFormsActivation test;
    return QTest::qExec(&test, argc, argv);
}

#include "forms_activation.moc"
