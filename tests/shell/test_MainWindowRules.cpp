#include "shell/data/MainWindowRules.h"

#include <QtTest>

#include <stdexcept>

class TestMainWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void tabWidths_data()
    {
        QTest::addColumn<char>("rule");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("bar");
        QTest::addColumn<int>("expected");
        // Five tabs of 100 on 569 px, a sixth added: 569 div 6 - 11.
        QTest::newRow("A sixth tab") << 'A' << 100 << 6 << 569 << 83;
        QTest::newRow("A still fits") << 'A' << 100 << 5 << 569 << 100;
        QTest::newRow("A exactly fits") << 'A' << 100 << 5 << 555 << 100;
        QTest::newRow("A many tabs hold the minimum") << 'A' << 20 << 500 << 569 << MinTabWidth;
        QTest::newRow("A zero-width bar") << 'A' << 100 << 1 << 0 << MinTabWidth;
        // Closing down to two: 569 div 2 - 11, capped at 100.
        QTest::newRow("B two left") << 'B' << 83 << 2 << 569 << 100;
        QTest::newRow("B six left") << 'B' << 50 << 6 << 569 << 83;
        QTest::newRow("B none left keeps") << 'B' << 83 << 0 << 569 << 83;
        QTest::newRow("B many hold the minimum") << 'B' << 83 << 1000 << 569 << MinTabWidth;
        QTest::newRow("C shrink") << 'C' << 100 << 6 << 569 << 83;
        QTest::newRow("C grow capped") << 'C' << 40 << 2 << 900 << 100;
        QTest::newRow("C grow to share") << 'C' << 40 << 6 << 569 << 83;
        QTest::newRow("C no tabs keeps") << 'C' << 100 << 0 << 10 << 100;
        QTest::newRow("C huge width no overflow") << 'C' << 2000000000 << 3 << 569 << 178;
    }

    void tabWidths()
    {
        QFETCH(char, rule);
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, bar);
        QFETCH(int, expected);
        int result = 0;
        switch (rule) {
        case 'A':
            result = TabWidthAfterAdd(width, count, bar);
            break;
        case 'B':
            result = TabWidthAfterRemove(width, count, bar);
            break;
        default:
            result = TabWidthOnResize(width, count, bar);
            break;
        }
        QCOMPARE(result, expected);
    }

    void sizeRule_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("635 stays") << QSize(635, 600) << QSize(635, 600);
        QTest::newRow("630 stays") << QSize(630, 600) << QSize(630, 600);
        QTest::newRow("629 becomes 640") << QSize(629, 600) << QSize(640, 600);
        QTest::newRow("479 becomes 480") << QSize(800, 479) << QSize(800, 480);
        QTest::newRow("both") << QSize(100, 100) << QSize(640, 480);
    }

    void sizeRule()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, expected);
        QCOMPARE(ConstrainMainWindowSize(size), expected);
    }

    void doubleAmpersands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << "ไทย"
                              << "ไทย";
        QTest::newRow("one") << "Tom & Jerry"
                             << "Tom && Jerry";
        QTest::newRow("two in a row") << "a&&b"
                                      << "a&&&&b";
        QTest::newRow("ends") << "&x&"
                              << "&&x&&";
        QTest::newRow("empty") << ""
                               << "";
    }

    void doubleAmpersands()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(DoubleAmpersands(text), expected);
    }

    void telnetAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::newRow("host and port") << "telnet:myhost:2323" << true << "myhost"
                                       << "2323";
        QTest::newRow("host only") << "telnet:myhost" << true << "myhost"
                                   << "";
        QTest::newRow("empty port") << "telnet:myhost:" << true << "myhost"
                                    << "";
        QTest::newRow("service name") << "telnet:bbs.example:telnet" << true << "bbs.example"
                                      << "telnet";
        QTest::newRow("lowest port") << "telnet:h:1" << true << "h"
                                     << "1";
        QTest::newRow("highest port") << "telnet:h:65535" << true << "h"
                                      << "65535";
        QTest::newRow("port zero") << "telnet:h:0" << false << "h"
                                   << "0";
        QTest::newRow("port too big") << "telnet:h:65536" << false << "h"
                                      << "65536";
        QTest::newRow("port far too big") << "telnet:h:99999999999999999999" << false << "h"
                                          << "99999999999999999999";
        QTest::newRow("scheme is case-sensitive") << "TELNET:myhost" << true << "TELNET"
                                                  << "myhost";
        QTest::newRow("second colon stays in port") << "telnet:h:23:x" << true << "h"
                                                    << "23:x";
    }

    void telnetAddress()
    {
        QFETCH(QString, address);
        QFETCH(bool, ok);
        QFETCH(QString, host);
        QFETCH(QString, port);
        const TTelnetAddress parsed = ParseTelnetAddress(address);
        QCOMPARE(parsed.ok, ok);
        QCOMPARE(parsed.host, host);
        QCOMPARE(parsed.port, port);
        if (!ok)
            QVERIFY(parsed.error.contains(QLatin1String("1-65535")));
    }

    void startPlan_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("first");
        QTest::addColumn<int>("effective");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("engineHome");
        QTest::addColumn<QString>("url");
        QTest::newRow("none") << 0 << false << 0 << false << false << "";
        QTest::newRow("unknown number") << 7 << false << 7 << false << false << "";
        QTest::newRow("engine home") << 1 << false << 1 << true << true << "";
        QTest::newRow("maker home") << 2 << false << 2 << true << false << "home";
        QTest::newRow("start URL") << 3 << false << 3 << true << false << "mine";
        QTest::newRow("first start over 3") << 3 << true << 2 << true << false << "start";
        QTest::newRow("first start over 0") << 0 << true << 2 << true << false << "start";
    }

    void startPlan()
    {
        QFETCH(int, mode);
        QFETCH(bool, first);
        QFETCH(int, effective);
        QFETCH(bool, open);
        QFETCH(bool, engineHome);
        QFETCH(QString, url);
        const TStartPlan plan = PlanStartWindow(mode, first, QStringLiteral("mine"),
                                                QStringLiteral("home"), QStringLiteral("start"));
        QCOMPARE(plan.startMode, effective);
        QCOMPARE(plan.openWindow, open);
        QCOMPARE(plan.engineHome, engineHome);
        QCOMPARE(plan.url, url);
    }

    void retitle()
    {
        const QString app = QStringLiteral("Brevant++ 1.00 Release");
        QCOMPARE(RetitleEngineCaption(QStringLiteral("Microsoft Internet Explorer"), app), app);
        QCOMPARE(RetitleEngineCaption(QStringLiteral("Script - Microsoft Internet Explorer"), app),
                 QStringLiteral("Script - ") + app);
        QCOMPARE(RetitleEngineCaption(QStringLiteral("Save As"), app), QStringLiteral("Save As"));
    }

    void exitSequenceRunsEveryStep()
    {
        TExitSequence exit;
        QStringList done;
        exit.add(QStringLiteral("one"), [&] { done << "one"; });
        exit.add(QStringLiteral("two"), [] { throw std::runtime_error("disk full"); });
        exit.add(QStringLiteral("three"), [] { throw 42; });
        exit.add(QStringLiteral("four"), [&] { done << "four"; });
        exit.run();
        QCOMPARE(done, QStringList({"one", "four"}));
        QCOMPARE(exit.ran(), QStringList({"one", "two", "three", "four"}));
        QCOMPARE(exit.failed(), QStringList({"two: disk full", "three: unknown error"}));
    }
};

QTEST_APPLESS_MAIN(TestMainWindowRules)
#include "test_MainWindowRules.moc"
