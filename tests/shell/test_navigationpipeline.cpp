#include "shell/navigation/NavigationPipeline.h"

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
