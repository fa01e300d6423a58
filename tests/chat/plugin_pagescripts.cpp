// A page's own scripts cannot open the terminal or the chat plug-in: the
// real main window, the real terminal and the real Plugins/Zentrel.so, with
// listeners on 127.0.0.1 standing in for the telnet host and the IRC
// server. Every way a script can go to "telnet:" or "irc:" is refused and
// no connection reaches the listeners; the user's own click on a link, or
// Enter on it, still opens them.

#include "LoopbackHttp.h"
#include "ZentrelHarness.h"

#include "EngineTestMain.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

class TestPageScripts : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;
    LoopbackHttp http_;
    QTcpServer telnetHost_;
    QTcpServer ircServer_;
    QList<QTcpSocket*> telnetPeers_;
    QList<QTcpSocket*> ircPeers_;
    // Every address offered to the pipeline of any control, in order.
    QStringList offered_;
    TF_Browser* window_ = nullptr;

    QString telnetTarget() const
    {
        return QStringLiteral("telnet:127.0.0.1:%1").arg(telnetHost_.serverPort());
    }
    QString ircTarget() const
    {
        return QStringLiteral("irc:eve@127.0.0.1:%1#scripts").arg(ircServer_.serverPort());
    }

    static void listen(QTcpServer& server, QList<QTcpSocket*>& peers)
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, &server, [&server, &peers] {
            while (QTcpSocket* s = server.nextPendingConnection())
                peers << s;
        });
    }

    QVariant script(const QString& source)
    {
        QVariant result;
        bool finished = false;
        page()->runJavaScript(source, [&](const QVariant& v) {
            result = v;
            finished = true;
        });
        if (!QTest::qWaitFor([&] { return finished; }, 20000))
            qWarning("script did not finish");
        return result;
    }

    QWebEnginePage* page() const { return static_cast<TEmbeddedWB*>(window_->WB_Document)->Page(); }
    QWidget* viewInput() const
    {
        QWebEngineView* view = static_cast<TEmbeddedWB*>(window_->WB_Document)->View();
        return view->focusProxy() ? view->focusProxy() : view;
    }

    // Loads a page served by the test and waits until its document is
    // there (its own script may stop the load from completing).
    bool load(const QByteArray& path)
    {
        window_->Navigate(http_.url(path));
        return QTest::qWaitFor(
                   [&] {
                       return page()->url().toString() == http_.url(path) &&
                              page()->title() == QString::fromLatin1(path);
                   },
                   20000) &&
               QTest::qWaitFor(
                   [&] {
                       return script(QStringLiteral("document.readyState")).toString() !=
                              QLatin1String("loading");
                   },
                   20000);
    }

    // Waits until the pipeline has seen an address that begins with
    // `target`, then long enough for a connection that would follow it.
    bool attempted(QString target)
    {
        // A form sent by GET puts its query before the fragment.
        target = target.section(u'#', 0, 0);
        const bool seen = QTest::qWaitFor(
            [&] {
                for (const QString& a : std::as_const(offered_))
                    if (a.startsWith(target))
                        return true;
                return false;
            },
            20000);
        QTest::qWait(300);
        return seen;
    }

    // Closes the terminal windows the test opened.
    void closeTerminals()
    {
        const auto terminals = [this] {
            QList<TForm*> found;
            for (TForm* form : h_.main->MDIChildren())
                if (form->objectName() == QLatin1String("F_Telnet"))
                    found << form;
            return found;
        };
        for (TForm* form : terminals())
            form->close();
        QTRY_VERIFY(terminals().isEmpty());
    }

    // Types an address into the window's address box as the keyboard does:
    // the keys go to the box, which has the focus, and end with `enter`.
    void typeInAddressBox(TF_Browser* window, const QString& address, Qt::Key enter,
                          Qt::KeyboardModifiers modifiers)
    {
        h_.main->ActivateChildTab(window);
        TComboBox* box = window->CB_URL;
        box->setFocus();
        box->SetText(QString());
        QTest::keyClicks(box, address);
        QCOMPARE(box->Text(), address);
        QTest::keyClick(box, enter, modifiers);
    }

    // The centre of element `id` in the view's coordinates.
    QPoint centreOf(const QString& id)
    {
        const QVariantList r =
            script(QStringLiteral("(function(){var b=document.getElementById('%1')"
                                  ".getBoundingClientRect();return [b.left+b.width/2,"
                                  "b.top+b.height/2];})()")
                       .arg(id))
                .toList();
        if (r.size() != 2)
            return {};
        const double zoom = page()->zoomFactor();
        return QPoint(int(r[0].toDouble() * zoom), int(r[1].toDouble() * zoom));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(h_.setUp(MessageBoxService::IDOK, [this] {
            h_.services.BrowserControl = [this]() -> TWebBrowser* {
                auto* control = new TEmbeddedWB;
                connect(control, &TWebBrowser::BeforeNavigate2,
                        [this](const QString& url, bool, bool*) { offered_ << url; });
                return control;
            };
            listen(telnetHost_, telnetPeers_);
            listen(ircServer_, ircPeers_);
        }));
        window_ = h_.browser();
        QVERIFY(window_);
        window_->Form()->showMaximized();
    }

    void cleanupTestCase() { h_.tearDown(); }

    void scriptsCannotOpenTheTerminalOrThePlugin_data()
    {
        QTest::addColumn<QByteArray>("html");
        // What the user does, in order: "press:ID" clicks element ID,
        // "key:Space", "key:Return" or "key:Tab" presses that key,
        // "reported" waits until the engine reports the focus the page gave
        // its link, "focused:ID" until element ID has the focus.
        QTest::addColumn<QStringList>("userInput");
        QTest::newRow("location") << QByteArray("<script>location.href = 'TARGET';</script>")
                                  << QStringList();
        QTest::newRow("synthetic click")
            << QByteArray("<a id='l' href='TARGET'>l</a>"
                          "<script>document.getElementById('l').click();</script>")
            << QStringList();
        QTest::newRow("window.open")
            << QByteArray("<script>window.open('TARGET');</script>") << QStringList();
        QTest::newRow("form submitted by script")
            << QByteArray("<form id='f' method='get' action='TARGET'></form>"
                          "<script>document.getElementById('f').submit();</script>")
            << QStringList();
        QTest::newRow("meta refresh")
            << QByteArray("<meta http-equiv='refresh' content='0; url=TARGET'>") << QStringList();
        QTest::newRow("frame") << QByteArray("<iframe src='TARGET'></iframe>") << QStringList();
        // The user clicks, but not on a link to the address: the page's
        // handler of that click goes there.
        QTest::newRow("location on the user's click")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p><script>"
                          "document.onclick = function() { location.href = 'TARGET'; };"
                          "</script>")
            << QStringList{"press:p"};
        QTest::newRow("synthetic click on the user's click")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p>"
                          "<a id='l' href='TARGET'></a><script>"
                          "document.onclick = function() {"
                          " document.getElementById('l').click(); };</script>")
            << QStringList{"press:p"};
        // The page gives the link the keyboard focus while handling the
        // user's click elsewhere, then clicks it.
        QTest::newRow("focus and click on the user's press")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p>"
                          "<a id='l' href='TARGET'>l</a><script>"
                          "document.onmousedown = function() {"
                          " var l = document.getElementById('l'); l.focus(); l.click(); };"
                          "</script>")
            << QStringList{"press:p"};
        QTest::newRow("focus and click on the user's click")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p>"
                          "<a id='l' href='TARGET'>l</a><script>"
                          "document.onclick = function() {"
                          " var l = document.getElementById('l'); l.focus(); l.click(); };"
                          "</script>")
            << QStringList{"press:p"};
        // Space follows no link: a link the page focused is not the user's
        // when the user presses Space (to scroll) and the page clicks it.
        QTest::newRow("focused link clicked on the user's Space")
            << QByteArray("<a id='l' href='TARGET'>l</a><script>"
                          "document.getElementById('l').focus();"
                          "document.onkeydown = function() {"
                          " document.getElementById('l').click(); };</script>")
            << QStringList{"reported", "key:Space"};
        // A link that the page, not the user, gave the focus is not the
        // user's, at the user's next click elsewhere or Enter.
        QTest::newRow("script focus at load, then a click on plain text")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p>"
                          "<a id='l' href='TARGET'>l</a><script>"
                          "document.getElementById('l').focus();"
                          "document.onclick = function() {"
                          " document.getElementById('l').click(); };</script>")
            << QStringList{"reported", "press:p"};
        QTest::newRow("script focus, then Enter")
            << QByteArray("<a id='l' href='TARGET'>l</a><script>"
                          "document.getElementById('l').focus();</script>")
            << QStringList{"reported", "key:Return"};
        QTest::newRow("autofocus, then a click elsewhere")
            << QByteArray("<p id='p' style='font-size:40px'>click here</p>"
                          "<a id='l' href='TARGET' autofocus>l</a><script>"
                          "document.onclick = function() {"
                          " document.getElementById('l').click(); };</script>")
            << QStringList{"focused:l", "press:p"};
        // The user's Tab focuses the field; the page then moves the focus to
        // its link on a timer, and the user presses Enter.
        QTest::newRow("script focus after the user's Tab, then Enter")
            << QByteArray("<input id='f'><a id='l' href='TARGET'>l</a><script>"
                          "document.onkeyup = function() { setTimeout(function() {"
                          " document.getElementById('l').focus(); }, 0); };</script>")
            << QStringList{"key:Tab", "focused:l", "key:Return"};
    }
    void scriptsCannotOpenTheTerminalOrThePlugin()
    {
        QFETCH(QByteArray, html);
        QFETCH(QStringList, userInput);
        int round = 0;
        for (const QString& target : {telnetTarget(), ircTarget()}) {
            const QByteArray path = "/" + QByteArray(QTest::currentDataTag()).replace(' ', '-') +
                                    QByteArray::number(round++) + ".html";
            QByteArray body = html;
            body.replace("TARGET", target.toUtf8());
            http_.addPage(path, "<html><head><title>" + path + "</title></head><body>" + body +
                                    "</body></html>");
            offered_.clear();
            QSignalSpy reported(page(), &QWebEnginePage::linkHovered);
            QVERIFY(load(path));
            if (userInput.contains(QLatin1String("key:Tab")))
                script(QStringLiteral("document.activeElement.blur();"));
            for (const QString& input : std::as_const(userInput)) {
                const QString what = input.section(u':', 1);
                if (input == QLatin1String("reported")) {
                    QTRY_VERIFY(
                        std::any_of(reported.cbegin(), reported.cend(), [&](const auto& args) {
                            return args.at(0).toString().startsWith(target.section(u':', 0, 0));
                        }));
                } else if (input.startsWith(QLatin1String("focused:"))) {
                    QTRY_COMPARE(script(QStringLiteral("document.activeElement.id")).toString(),
                                 what);
                } else if (input.startsWith(QLatin1String("key:"))) {
                    const Qt::Key key = what == QLatin1String("Space")    ? Qt::Key_Space
                                        : what == QLatin1String("Return") ? Qt::Key_Return
                                                                          : Qt::Key_Tab;
                    QTest::keyClick(viewInput(), key);
                } else {
                    const QPoint at = centreOf(what);
                    QVERIFY(!at.isNull());
                    QTest::mouseClick(viewInput(), Qt::LeftButton, {}, at);
                }
            }
            QVERIFY2(attempted(target), qPrintable(offered_.join(u' ')));
            QCOMPARE(telnetPeers_.size(), 0);
            QCOMPARE(ircPeers_.size(), 0);
        }
    }

    void theUsersClickOnALinkStillOpensThem()
    {
        http_.addPage("/links.html",
                      "<html><head><title>/links.html</title></head><body style='font-size:40px'>"
                      "<p><a id='t' href='" +
                          telnetTarget().toUtf8() + "'>terminal</a></p><p><a id='i' href='" +
                          ircTarget().toUtf8() + "'>chat</a></p></body></html>");
        QVERIFY(load("/links.html"));
        // Enter on a link the user moved the keyboard focus to.
        window_->Form()->activateWindow();
        h_.main->ActivateChildTab(window_);
        viewInput()->setFocus();
        script(QStringLiteral("document.activeElement.blur();"));
        QTest::keyClick(viewInput(), Qt::Key_Tab);
        QTest::keyClick(viewInput(), Qt::Key_Tab);
        QTRY_COMPARE(script(QStringLiteral("document.activeElement.id")).toString(),
                     QStringLiteral("i"));
        QTest::keyClick(viewInput(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(ircPeers_.size(), 1, 20000);

        // The pointer goes to the other link, as a hand does, and clicks,
        // in a new window over the chat window.
        window_ = h_.browser();
        QVERIFY(window_);
        window_->Form()->showMaximized();
        QVERIFY(load("/links.html"));
        const QPoint link = centreOf(QStringLiteral("t"));
        QTest::mouseMove(viewInput(), link);
        QTRY_COMPARE(window_->L_Stat->Caption(), telnetTarget());
        QTest::mouseClick(viewInput(), Qt::LeftButton, {}, link);
        QTRY_COMPARE_WITH_TIMEOUT(telnetPeers_.size(), 1, 20000);
        QCOMPARE(ircPeers_.size(), 1);
    }

    // A real click on a telnet link, and on the one the page itself gave
    // the focus, opens the terminal: every time, not by luck of timing.
    void theUsersClickOpensTheTerminalEveryTime_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("a link") << QByteArray();
        QTest::newRow("the link the page focused")
            << QByteArray("document.getElementById('t').focus();");
    }
    void theUsersClickOpensTheTerminalEveryTime()
    {
        QFETCH(QByteArray, script);
        const QByteArray path =
            "/every-" + QByteArray(QTest::currentDataTag()).replace(' ', '-') + ".html";
        http_.addPage(path, "<html><head><title>" + path +
                                "</title></head><body style='font-size:40px'>"
                                "<p>text</p><p><a id='t' href='" +
                                telnetTarget().toUtf8() + "'>terminal</a></p></body></html>");
        QVERIFY(load(path));
        const QPoint link = centreOf(QStringLiteral("t"));
        QVERIFY(!link.isNull());
        for (int run = 0; run < 20; ++run) {
            const qsizetype before = telnetPeers_.size();
            if (!script.isEmpty()) {
                this->script(QString::fromLatin1(script));
                QTRY_COMPARE(this->script(QStringLiteral("document.activeElement.id")).toString(),
                             QStringLiteral("t"));
            }
            QTest::mouseClick(viewInput(), Qt::LeftButton, {}, link);
            QTRY_COMPARE_WITH_TIMEOUT(telnetPeers_.size(), before + 1, 20000);
            closeTerminals();
        }
    }

    // Enter and the keypad's Enter in the address box go where the Go
    // button goes, for the chat, the terminal and the web, in one window and
    // in the next.
    void enterInTheAddressBoxIsTheGoButton()
    {
        http_.addPage("/typed.html",
                      "<html><head><title>/typed.html</title></head><body>typed</body></html>");
        const QString irc =
            QStringLiteral("irc://eve@127.0.0.1:%1/#test").arg(ircServer_.serverPort());
        const QString telnet =
            QStringLiteral("telnet://127.0.0.1:%1").arg(telnetHost_.serverPort());
        for (int round = 0; round < 2; ++round) {
            // A chat address of a server already connected joins in that
            // server's window; each round connects anew.
            for (TForm* server : h_.serverWindows())
                server->close();
            QTRY_VERIFY(h_.serverWindows().isEmpty());
            TF_Browser* window = h_.browser();
            QVERIFY(window);
            QPointer<TF_Browser> guard(window);
            const qsizetype chats = ircPeers_.size(), terminals = telnetPeers_.size();
            typeInAddressBox(window, irc, Qt::Key_Return, Qt::NoModifier);
            QTRY_COMPARE_WITH_TIMEOUT(ircPeers_.size(), chats + 1, 20000);
            QVERIFY(guard);
            typeInAddressBox(window, telnet, Qt::Key_Enter, Qt::KeypadModifier);
            QTRY_COMPARE_WITH_TIMEOUT(telnetPeers_.size(), terminals + 1, 20000);
            QVERIFY(guard);
            typeInAddressBox(window, http_.url("/typed.html"), Qt::Key_Return, Qt::NoModifier);
            QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("/typed.html"), 20000);
            QCOMPARE(ircPeers_.size(), chats + 1);
            QCOMPARE(telnetPeers_.size(), terminals + 1);
            closeTerminals();
        }
    }

    void theUsersEnterFollowsTheLinkOnce()
    {
        // After the user's Enter on the link the page clicks it again, three
        // times, well within a second.
        http_.addPage(
            "/again.html",
            "<html><head><title>/again.html</title></head><body style='font-size:40px'>"
            "<p><a id='t' href='" +
                telnetTarget().toUtf8() +
                "'>terminal</a></p><script>var again = 3;"
                "document.getElementById('t').onclick = function() {"
                " var l = this; if (again-- > 0) setTimeout(function() { l.click(); }, 50);"
                "};</script></body></html>");
        const qsizetype before = telnetPeers_.size();
        window_ = h_.browser();
        QVERIFY(window_);
        window_->Form()->showMaximized();
        QVERIFY(load("/again.html"));
        offered_.clear();
        window_->Form()->activateWindow();
        h_.main->ActivateChildTab(window_);
        viewInput()->setFocus();
        script(QStringLiteral("document.activeElement.blur();"));
        QSignalSpy reported(page(), &QWebEnginePage::linkHovered);
        QTest::keyClick(viewInput(), Qt::Key_Tab);
        QTRY_VERIFY(reported.contains(QVariantList{telnetTarget()}));
        QTest::keyClick(viewInput(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(offered_.count(telnetTarget()), 4, 20000);
        QTest::qWait(300);
        QCOMPARE(telnetPeers_.size(), before + 1);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPageScripts)
#include "plugin_pagescripts.moc"
