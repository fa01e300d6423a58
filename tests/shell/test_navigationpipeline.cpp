#include "shell/navigation/NavigationPipeline.h"
#include "shell/navigation/UserLinkChoice.h"

#include <QTest>

class TestNavigationPipeline : public QObject
{
    Q_OBJECT

    static TNavigationContext context()
    {
        TNavigationContext c;
        c.banners.append(QStringLiteral("Ad"), QStringLiteral("abc"));
        c.banners.append(QStringLiteral(""), QStringLiteral("")); // skipped
        c.claimingPlugin = [](const QString& url) {
            return url.toUpper().contains(QLatin1String("IRC:")) ? 0 : -1;
        };
        return c;
    }

private slots:
    void routes_data()
    {
        QTest::addColumn<bool>("useBanner");
        QTest::addColumn<bool>("useTelnet");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("topLevel");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("address");
        const int banner = int(TNavigationStep::Banner), telnet = int(TNavigationStep::Telnet),
                  plugin = int(TNavigationStep::Plugin), refuse = int(TNavigationStep::Refuse),
                  load = int(TNavigationStep::Load);
        QTest::newRow("banner prefix") << true << true << "abcdef" << true << banner << "";
        QTest::newRow("banner in a frame loads") << true << true << "abcdef" << false << load << "";
        QTest::newRow("banner is case-sensitive") << true << true << "ABCDEF" << true << load << "";
        QTest::newRow("banners off") << false << true << "abcdef" << true << load << "";
        QTest::newRow("telnet") << true << true << "telnet://host:23/" << true << telnet
                                << "telnet:host:23";
        QTest::newRow("telnet in a frame")
            << true << true << "telnet://host/" << false << refuse << "";
        QTest::newRow("telnet is case-sensitive")
            << true << true << "TELNET://h/" << true << load << "";
        QTest::newRow("telnet off: plug-ins, then load")
            << true << false << "telnet://h/" << true << load << "";
        QTest::newRow("plug-in claims")
            << true << true << "see irc://Server/#Chan" << true << plugin << "";
        QTest::newRow("plug-in address in a frame")
            << true << true << "IRC://s/" << false << refuse << "";
        QTest::newRow("page") << true << true << "http://example.org/" << true << load << "";
    }
    void routes()
    {
        QFETCH(bool, useBanner);
        QFETCH(bool, useTelnet);
        QFETCH(QString, url);
        QFETCH(bool, topLevel);
        QFETCH(int, step);
        QFETCH(QString, address);
        TNavigationContext c = context();
        c.useBanner = useBanner;
        c.useTelnet = useTelnet;
        const TNavigationRoute route = RouteNavigation(c, url, topLevel);
        QCOMPARE(int(route.step), step);
        if (route.step == TNavigationStep::Telnet)
            QCOMPARE(route.address, address);
    }

    void thePageItselfCannotOpenTerminalsOrPlugins()
    {
        const TNavigationContext c = context();
        QCOMPARE(RouteNavigation(c, QStringLiteral("telnet://h/"), true, true).step,
                 TNavigationStep::Refuse);
        QCOMPARE(RouteNavigation(c, QStringLiteral("irc://s/"), true, true).step,
                 TNavigationStep::Refuse);
        QCOMPARE(RouteNavigation(c, QStringLiteral("abcdef"), true, true).step,
                 TNavigationStep::Banner);
        QCOMPARE(RouteNavigation(c, QStringLiteral("http://x/"), true, true).step,
                 TNavigationStep::Load);
    }

    // Steps: "press@T", "release@T" (milliseconds), "answer LINK" ("-" for
    // no link), "answer-earlier LINK" (for the choice before the last),
    // "give up", "clear", "follow URL@T yes|no".
    void userLinkChoice_data()
    {
        QTest::addColumn<QStringList>("steps");
        const QString l = QStringLiteral("telnet:127.0.0.1:23");
        QTest::newRow("the answered link, once") << QStringList{
            "press@0", "answer " + l, "follow " + l + "@10 yes", "follow " + l + "@20 no"};
        QTest::newRow("no answer yet") << QStringList{"press@0", "follow " + l + "@5 no"};
        QTest::newRow("no link under the press")
            << QStringList{"press@0", "answer -", "follow " + l + "@5 no"};
        QTest::newRow("another link does not use it up") << QStringList{
            "press@0", "answer " + l, "follow telnet:evil.example@5 no", "follow " + l + "@6 yes"};
        QTest::newRow("too long after the input")
            << QStringList{"press@0", "answer " + l, "follow " + l + "@1001 no"};
        QTest::newRow("the release starts the time again")
            << QStringList{"press@0", "answer " + l, "release@900", "follow " + l + "@1800 yes"};
        QTest::newRow("a later press takes its place") << QStringList{"press@0",
                                                                      "answer " + l,
                                                                      "press@10",
                                                                      "follow " + l + "@20 no",
                                                                      "answer-earlier " + l,
                                                                      "follow " + l + "@30 no",
                                                                      "answer -",
                                                                      "follow " + l + "@40 no"};
        QTest::newRow("an answer for an earlier press is not this one's")
            << QStringList{"press@0",
                           "press@5",
                           "answer-earlier " + l,
                           "follow " + l + "@10 no",
                           "answer http://a.example/",
                           "follow http://a.example/@11 yes"};
        QTest::newRow("an answer after giving up")
            << QStringList{"press@0", "give up", "answer " + l, "follow " + l + "@5 no"};
        QTest::newRow("the program navigates")
            << QStringList{"press@0", "answer " + l, "clear", "follow " + l + "@5 no"};
    }
    void userLinkChoice()
    {
        QFETCH(QStringList, steps);
        TUserLinkChoice choice;
        int serial = 0;
        const auto at = [](const QString& step) { return step.section(u'@', -1).toLongLong(); };
        for (const QString& step : steps) {
            const QString arg = step.section(u' ', 1, 1);
            const QString link = arg == QLatin1String("-") ? QString() : arg;
            if (step.startsWith(QLatin1String("press@"))) {
                serial = choice.Begin(at(step));
                QVERIFY(choice.Waiting());
            } else if (step.startsWith(QLatin1String("release@"))) {
                choice.Touch(at(step));
            } else if (step.startsWith(QLatin1String("answer "))) {
                choice.Answer(serial, link);
            } else if (step.startsWith(QLatin1String("answer-earlier "))) {
                choice.Answer(serial - 1, link);
            } else if (step == QLatin1String("give up")) {
                choice.GiveUp(serial);
            } else if (step == QLatin1String("clear")) {
                choice.Clear();
            } else if (step.startsWith(QLatin1String("follow "))) {
                const QString url = arg.section(u'@', 0, -2);
                const bool expected = step.endsWith(QLatin1String(" yes"));
                QVERIFY2(choice.Follow(QUrl(url), at(arg)) == expected, qPrintable(step));
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
    }

    void bannerTitles()
    {
        TLinkPairs banners;
        banners.append(QStringLiteral("โฆษณา"), QStringLiteral("http://ads/"));
        banners.append(QString(), QStringLiteral("http://x/"));
        QVERIFY(IsBannerTitle(banners, QStringLiteral("โฆษณา ลดราคา")));
        QVERIFY(!IsBannerTitle(banners, QStringLiteral("ข่าว")));
        QVERIFY(!IsBannerTitle(banners, QString()));
    }
};

QTEST_APPLESS_MAIN(TestNavigationPipeline)
#include "test_navigationpipeline.moc"
