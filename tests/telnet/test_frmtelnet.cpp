// The telnet window in the main window: opened from a "telnet:" address,
// its tab and caption, the texts of the connection on the screen, typing,
// the selection, and closing (by the user, by the server, after a failed
// attempt). The host side is a peer scripted in the test on loopback.
#include "../net/LoopbackPeer.h"
#include "net/WSocket.h"
#include "platform/Cp874.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainServices.h"
#include "telnet/FrmTelnet.h"
#include "toolkit/Controls.h"

#include "ScreenText.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

void sendKey(QWidget* w, const QString& text, int key = 0)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Opens a telnet window from a "telnet:" address through the main window.
TF_Telnet* openTelnet(TF_Main& main, const QString& address)
{
    main.OpenTelnetURL(address);
    return F_Telnet;
}

quint16 closedPort()
{
    Loopback::Listener gone;
    return gone.port();
}

} // namespace

class TestFrmTelnet : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TMainServices services_;

    void setSetting(const QString& name, const QString& value)
    {
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(name, value);
    }

    std::unique_ptr<TF_Main> start()
    {
        auto main = std::make_unique<TF_Main>(services_);
        main->show();
        if (!QTest::qWaitForWindowExposed(main.get()))
            qWarning("main window not exposed");
        return main;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("home"))));
        qputenv("BREVANT_HOME", dir_->filePath(QStringLiteral("home")).toUtf8());
        qputenv("BREVANT_REGISTRY", dir_->filePath(QStringLiteral("registry.reg")).toUtf8());
        setSetting(QStringLiteral("UseSpash"), QStringLiteral("0"));
        setSetting(QStringLiteral("StartMode"), QStringLiteral("0"));
    }

    void cleanup()
    {
        QTRY_VERIFY(!Application::MainForm());
        dir_.reset();
    }

    void opensConnectsShowsAndClosesWithTheConnection()
    {
        setSetting(QStringLiteral("TCols"), QStringLiteral("100"));
        setSetting(QStringLiteral("TRows"), QStringLiteral("30"));
        auto main = start();
        Loopback::Listener listener;
        openTelnet(*main, QStringLiteral("telnet:127.0.0.1:") + listener.portText());
        QPointer<TF_Telnet> form = F_Telnet;
        QVERIFY(form);
        TTnEmulVT* t = form->Telnet;
        QCOMPARE(t->HostName(), QStringLiteral("127.0.0.1"));
        QCOMPARE(t->Port, listener.portText());
        QCOMPARE(t->Cols(), 100);
        QCOMPARE(t->Rows(), 30);
        QCOMPARE(main->WindowList.size(), 1);
        QCOMPARE(main->WindowList.first().data(), form.data());
        QCOMPARE(main->TC_Pages->tabText(0), QStringLiteral("Telnet:"));
        QCOMPARE(form->Caption(), QStringLiteral("F_Telnet"));

        // The new window is the active one and has taken over the commands.
        QCOMPARE(main->ActiveChild(), form.data());
        QVERIFY(!main->ActiveWebBrowser());
        QVERIFY(!main->N_Print->isEnabled());
        QVERIFY(!main->N_PSetup->isEnabled());
        QVERIFY(!main->N_SaveHTML->isEnabled());
        QVERIFY(!main->RSB_Back->isEnabled());
        QVERIFY(!main->RSB_Forward->isEnabled());
        QVERIFY(!main->N_GoFavorite->isEnabled());

        const int fd = listener.accept();
        QVERIFY(fd >= 0);
        QTRY_COMPARE(form->Caption(), QStringLiteral("Telnet:127.0.0.1"));
        QCOMPARE(t->Error, quint16(0));
        QVERIFY(screenText(t->Screen()).contains(QLatin1String("Connected")));
        QVERIFY(Loopback::writeAll(fd, "hello from the server\r\n"));
        QTRY_VERIFY2(screenText(t->Screen()).contains(QLatin1String("hello from the server")),
                     qPrintable(screenText(t->Screen())));

        // The user closes the window: the connection closes with it.
        form->MDIFrame()->close();
        QTRY_VERIFY(form.isNull());
        QCOMPARE(main->WindowList.size(), 0);
        QCOMPARE(main->TC_Pages->count(), 0);
        QCOMPARE(Loopback::readToEndPumping(fd, 3000), QByteArray());
        ::close(fd);
    }

    void portFromTheAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::newRow("no port: the telnet service") << "telnet:127.0.0.1"
                                                     << "telnet";
        const QString free = QString::number(closedPort());
        QTest::newRow("port") << QStringLiteral("telnet:127.0.0.1:") + free << free;
    }

    void portFromTheAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        auto main = start();
        QPointer<TF_Telnet> form = openTelnet(*main, address);
        QVERIFY(form);
        QCOMPARE(form->Telnet->HostName(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form->Telnet->Port, port);
        QCOMPARE(form->Telnet->Cnx()->Port, port);
        // Nothing listens there: the window goes away by itself.
        QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), 10000);
    }

    void activationTakesOverTheMainWindow()
    {
        auto main = start();
        Loopback::Listener listener;
        const QString address = QStringLiteral("telnet:127.0.0.1:") + listener.portText();
        QPointer<TF_Telnet> first = openTelnet(*main, address);
        QPointer<TF_Telnet> second = openTelnet(*main, address);
        QVERIFY(first && second && first != second);
        QCOMPARE(main->ActiveChild(), second.data());
        QCOMPARE(main->TC_Pages->currentIndex(), 1);

        // Whatever another window left enabled, activating a telnet window
        // turns it off again.
        main->N_Print->setEnabled(true);
        main->N_PSetup->setEnabled(true);
        main->N_SaveHTML->setEnabled(true);
        main->RSB_Back->setEnabled(true);
        main->RSB_Forward->setEnabled(true);
        main->MDIClient->setActiveSubWindow(first->MDIFrame());
        QCOMPARE(main->ActiveChild(), first.data());
        QCOMPARE(main->TC_Pages->currentIndex(), 0);
        QVERIFY(!main->N_Print->isEnabled());
        QVERIFY(!main->N_PSetup->isEnabled());
        QVERIFY(!main->N_SaveHTML->isEnabled());
        QVERIFY(!main->RSB_Back->isEnabled());
        QVERIFY(!main->RSB_Forward->isEnabled());
        QVERIFY(!main->N_GoFavorite->isEnabled());
        QTRY_VERIFY(first->Telnet->hasFocus());
    }

    void closesItselfWhenTheSessionEnds_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("failure");
        QTest::newRow("server closes") << QString() << QString();
        QTest::newRow("refused port") << QStringLiteral("telnet:127.0.0.1:%1").arg(closedPort())
                                      << QStringLiteral("Connection failed: Connection refused");
        QTest::newRow("unknown service") << QStringLiteral("telnet:127.0.0.1:no-such-service")
                                         << QStringLiteral("Connection failed: ");
        QTest::newRow("unknown host") << QStringLiteral("telnet:no-such-host.invalid:23")
                                      << QStringLiteral("Connection failed: ");
    }

    void closesItselfWhenTheSessionEnds()
    {
        QFETCH(QString, address);
        QFETCH(QString, failure);
        auto main = start();
        Loopback::Listener listener;
        openTelnet(*main, address.isEmpty()
                              ? QStringLiteral("telnet:127.0.0.1:") + listener.portText()
                              : address);
        QPointer<TF_Telnet> form = F_Telnet;
        QVERIFY(form);
        // Opening never waits for the host: the attempt goes on in the
        // background.
        QVERIFY(screenText(form->Telnet->Screen()).contains(QLatin1String("Connecting to '")));

        QString shownAtClose;
        QString captionAtClose;
        bool aliveAfterHandler = false;
        auto closedHandler = form->Telnet->OnSessionClosed;
        form->Telnet->OnSessionClosed = [&, form](QObject* sender) {
            shownAtClose = screenText(form->Telnet->Screen());
            captionAtClose = form->Caption();
            closedHandler(sender);
            aliveAfterHandler = !form.isNull();
        };
        int fd = -1;
        if (address.isEmpty()) {
            fd = listener.accept();
            QVERIFY(fd >= 0);
            QTRY_COMPARE(form->Caption(), QStringLiteral("Telnet:127.0.0.1"));
            QVERIFY(Loopback::writeAll(fd, "bye\r\n"));
            QTRY_VERIFY(screenText(form->Telnet->Screen()).contains(QLatin1String("bye")));
            ::close(fd);
        }
        // A name lookup may take its time; the program goes on meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), 30000);
        QVERIFY(aliveAfterHandler);
        QVERIFY2(shownAtClose.contains(QLatin1String("*** Server has closed ***")),
                 qPrintable(shownAtClose));
        if (!failure.isEmpty()) {
            QVERIFY2(shownAtClose.contains(failure), qPrintable(shownAtClose));
            QVERIFY(captionAtClose.startsWith(QLatin1String("Telnet:")));
            QVERIFY(shownAtClose.indexOf(failure) < shownAtClose.indexOf(QLatin1String("***")));
        }
        QCOMPARE(main->WindowList.size(), 0);
    }

    void typing()
    {
        auto main = start();
        Loopback::Listener listener;
        openTelnet(*main, QStringLiteral("telnet:127.0.0.1:") + listener.portText());
        QPointer<TF_Telnet> form = F_Telnet;
        TTnEmulVT* t = form->Telnet;
        // Typed while the connection is being made: dropped, and the attempt
        // goes on.
        sendKey(t, QStringLiteral("q"));
        const int fd = listener.accept();
        QVERIFY(fd >= 0);
        QTRY_COMPARE(form->Caption(), QStringLiteral("Telnet:127.0.0.1"));
        QCOMPARE(t->Error, quint16(0));

        t->UpperLock = true;
        sendKey(t, QStringLiteral("l"));
        sendKey(t, QStringLiteral("s"));
        sendKey(t, QString(), Qt::Key_Up);
        sendKey(t, QStringLiteral("\r"), Qt::Key_Return);
        // A byte 255 handed over as key text (as pasted text is) is data: it
        // goes out doubled.
        t->SendKeyString("\xff", 1);
        const QByteArray expected = QByteArray("LS\x1b[A\r\xff\xff");
        QCOMPARE(Loopback::readPumping(fd, expected.size()), expected);
        // Thai typed on the keyboard goes as its code page 874 bytes (no
        // quote or Latin letter a shell would read), as a character outside
        // that code page goes as "?".
        t->UpperLock = false;
        for (const QChar c : QStringLiteral("สวัสดี中"))
            sendKey(t, QString(c), c.unicode());
        QCOMPARE(Loopback::readPumping(fd, 7), QByteArray("\xca\xc7\xd1\xca\xb4\xd5?"));

        // The terminal's own echo shows what is sent, mapped keys included.
        t->UpperLock = false;
        t->SetLocalEcho(true);
        sendKey(t, QStringLiteral("e"));
        sendKey(t, QStringLiteral("x"));
        QCOMPARE(Loopback::readPumping(fd, 2), QByteArray("ex"));
        QVERIFY2(screenText(t->Screen()).contains(QLatin1String("Connected\nex")),
                 qPrintable(screenText(t->Screen())));
        ::close(fd);
        QTRY_VERIFY(form.isNull());
    }

    void receivedBlocksAndRelayedEvents()
    {
        Loopback::Listener listener;
        TTnEmulVT t;
        QList<QObject*> senders;
        QStringList shownBefore;
        t.OnDataAvailable = [&](QObject* sender, const char* buffer, int& len) {
            senders.append(sender);
            shownBefore.append(screenText(t.Screen()) + u'|' + QString::fromLatin1(buffer, len));
            len = 0; // the whole block is shown anyway
        };
        t.OnTermType = [&](QObject* sender) { senders.append(sender); };
        t.OnSendLoc = [&](QObject* sender) { senders.append(sender); };
        t.SetHostName(QStringLiteral("127.0.0.1"));
        t.Port = listener.portText();
        t.Connect();
        const int fd = listener.accept();
        QVERIFY(fd >= 0);
        QTRY_VERIFY(screenText(t.Screen()).contains(QLatin1String("Connected")));

        QVERIFY(Loopback::writeAll(fd, QByteArray("\xff\xfd\x18\xff\xfd\x17\xff\xfa\x18\x01\xff\xf0"
                                                  "block one")));
        const QByteArray replies = QByteArray("\xff\xfb\x18\xff\xfb\x17\xff\xfa\x17TNCNX\xff\xf0"
                                              "\xff\xfa\x18\x00VT100\xff\xf0");
        QCOMPARE(Loopback::readPumping(fd, replies.size()), replies);
        QTRY_VERIFY(screenText(t.Screen()).contains(QLatin1String("block one")));
        QCOMPARE(senders, (QList<QObject*>{&t, &t, &t}));
        QCOMPARE(shownBefore.size(), 1);
        QVERIFY(!shownBefore.first().contains(QLatin1String("block one|")));
        QVERIFY(shownBefore.first().endsWith(QLatin1String("|block one")));
        ::close(fd);
    }

    void dragSelectsCells()
    {
        TTnEmulVT t;
        t.resize(700, 420);
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        const QPoint inCell11(t.ColLeft(1) + 3, t.RowTop(1) + 3);
        const QPoint inCell43(t.ColLeft(4) + 3, t.RowTop(3) + 3);

        sendMouse(&t, QEvent::MouseButtonPress, inCell11);
        sendMouse(&t, QEvent::MouseMove, inCell11);
        sendMouse(&t, QEvent::MouseMove, inCell43);
        sendMouse(&t, QEvent::MouseButtonRelease, inCell43);
        QVERIFY(t.HasSelection());
        QCOMPARE(t.SelectRect().topLeft(), QPoint(t.ColLeft(1), t.RowTop(1)));
        QCOMPARE(t.SelectRect().right(), t.ColLeft(5));
        QCOMPARE(t.SelectRect().bottom(), t.RowTop(4) + 4);

        // A new press drops the selection; a drag back past the start
        // corner is narrower than a cell and selects nothing.
        sendMouse(&t, QEvent::MouseButtonPress, inCell43);
        QVERIFY(!t.HasSelection());
        sendMouse(&t, QEvent::MouseMove, inCell43);
        sendMouse(&t, QEvent::MouseMove, QPoint(t.ColLeft(3) + 2, t.RowTop(3) + 2));
        sendMouse(&t, QEvent::MouseButtonRelease, QPoint(t.ColLeft(3) + 2, t.RowTop(3) + 2));
        QVERIFY(!t.HasSelection());
    }
};

QTEST_MAIN(TestFrmTelnet)
#include "test_frmtelnet.moc"
