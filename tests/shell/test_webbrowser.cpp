#include "FakeWebBrowser.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/browser/UrlZone.h"

#include <QTest>

// The control's rules that need no engine: flag masks, the page settings
// the download flags come down to, text-size clamping, the user-agent token
// and the zone classifier.
class TestWebBrowser : public QObject
{
    Q_OBJECT

private slots:
    void downloadMasks_data()
    {
        QTest::addColumn<TDownloadControlOptions>("options");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("empty") << TDownloadControlOptions{} << 0u;
        QTest::newRow("browser window")
            << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_VIDEOS, DLCTL_BGSOUNDS} << 0x70u;
        QTest::newRow("no scripts, java, activex, cache")
            << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_NO_SCRIPTS, DLCTL_NO_JAVA,
                                       DLCTL_NO_RUNACTIVEXCTLS, DLCTL_PRAGMA_NO_CACHE}
            << (0x10u | 0x80u | 0x100u | 0x200u | 0x4000u);
        QTest::newRow("high flags")
            << TDownloadControlOptions{DLCTL_URL_ENCODING_ENABLE_UTF8, DLCTL_FORCEOFFLINE,
                                       DLCTL_NO_CLIENTPULL, DLCTL_SILENT, DLCTL_OFFLINE}
            << 0xF0040000u;
    }
    void downloadMasks()
    {
        QFETCH(TDownloadControlOptions, options);
        QFETCH(quint32, mask);
        QCOMPARE(DownloadControlMask(options), mask);
        FakeWebBrowser browser;
        browser.SetDownloadOptions(options);
        QCOMPARE(browser.DownloadMask(), mask);
        QCOMPARE(browser.appliedOptions, 1); // the control is told at once
    }

    void newControlHasTheDefaultDownloadOptions()
    {
        FakeWebBrowser browser;
        QCOMPARE(browser.DownloadMask(), 0x70u);
        QCOMPARE(browser.UIMask(), 0u);
        QCOMPARE(browser.PrintOptions()->HTMLHeader()->lines(),
                 QStringList{QStringLiteral("<HTML></HTML>")});
        QCOMPARE(browser.PrintOptions()->Orientation, TPrintOptions::poPortrait);
    }

    void interfaceMasks_data()
    {
        QTest::addColumn<TUserInterfaceOptions>("options");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("empty") << TUserInterfaceOptions{} << 0u;
        QTest::newRow("browser window")
            << TUserInterfaceOptions{NO3DBORDER, FLAT_SCROLLBAR} << 0x84u;
        QTest::newRow("in-place navigation skips 0x8000")
            << TUserInterfaceOptions{ENABLE_INPLACE_NAVIGATION} << 0x10000u;
        QTest::newRow("autocomplete and reconversion")
            << TUserInterfaceOptions{ENABLE_FORMS_AUTOCOMPLETE, IME_ENABLE_RECONVERSION}
            << 0x24000u;
        QTest::newRow("first and last")
            << TUserInterfaceOptions{DIALOG, IME_ENABLE_RECONVERSION} << 0x20001u;
    }
    void interfaceMasks()
    {
        QFETCH(TUserInterfaceOptions, options);
        QFETCH(quint32, mask);
        FakeWebBrowser browser;
        browser.SetUserInterfaceOptions(options);
        QCOMPARE(browser.UIMask(), mask);
    }

    void pageSettings_data()
    {
        QTest::addColumn<TDownloadControlOptions>("options");
        QTest::addColumn<bool>("images");
        QTest::addColumn<bool>("scripts");
        QTest::addColumn<bool>("plugins");
        QTest::addColumn<bool>("noCache");
        QTest::newRow("defaults") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_VIDEOS,
                                                             DLCTL_BGSOUNDS}
                                  << true << true << true << false;
        QTest::newRow("no images")
            << TDownloadControlOptions{DLCTL_VIDEOS} << false << true << true << false;
        QTest::newRow("no scripts") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_NO_SCRIPTS}
                                    << true << false << true << false;
        QTest::newRow("no java") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_NO_JAVA} << true
                                 << true << false << false;
        QTest::newRow("no activex")
            << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_NO_RUNACTIVEXCTLS} << true << true
            << false << false;
        QTest::newRow("no cache") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_PRAGMA_NO_CACHE}
                                  << true << true << true << true;
        QTest::newRow("flags without an equivalent")
            << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_SILENT, DLCTL_OFFLINE,
                                       DLCTL_NO_DLACTIVEXCTLS}
            << true << true << true << false;
    }
    void pageSettings()
    {
        QFETCH(TDownloadControlOptions, options);
        const TPageSettings s = PageSettingsFor(options);
        QTEST(s.autoLoadImages, "images");
        QTEST(s.javascriptEnabled, "scripts");
        QTEST(s.pluginsEnabled, "plugins");
        QTEST(s.noCacheHeaders, "noCache");
    }

    void flagsWithoutAnEquivalentAreKept()
    {
        FakeWebBrowser browser;
        const TDownloadControlOptions options{DLCTL_SILENT, DLCTL_NO_CLIENTPULL, DLCTL_OFFLINE};
        browser.SetDownloadOptions(options);
        QCOMPARE(browser.DownloadOptions(), options);
    }

    void zoomIsClamped_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("sent");
        QTest::newRow("negative") << -1 << 0;
        QTest::newRow("far below") << -1000 << 0;
        QTest::newRow("low") << 0 << 0;
        QTest::newRow("middle") << 2 << 2;
        QTest::newRow("high") << 4 << 4;
        QTest::newRow("above") << 5 << 4;
        QTest::newRow("far above") << 70000 << 4;
    }
    void zoomIsClamped()
    {
        QFETCH(int, level);
        FakeWebBrowser browser;
        QCOMPARE(browser.ZoomRangeLow(), 0);
        QCOMPARE(browser.ZoomRangeHigh(), 4);
        browser.SetZoom(level);
        QTEST(browser.GetZoom(), "sent");
    }

    void zoomStepsRoundTrip()
    {
        for (int level = 0; level <= 4; ++level)
            QCOMPARE(ZoomLevelForFactor(ZoomFactorForLevel(level)), level);
        QVERIFY(ZoomFactorForLevel(0) < ZoomFactorForLevel(1));
        QCOMPARE(ZoomFactorForLevel(2), 1.0);
        QCOMPARE(ZoomLevelForFactor(5.0), 4);
        QCOMPARE(ZoomLevelForFactor(0.1), 0);
    }

    void userAgentToken_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("token");
        QTest::newRow("browser window") << "Brevant++ 1.00 SE"
                                        << "Brevant++/1.00 (SE)";
        QTest::newRow("two words") << "Brevant++ 1.00"
                                   << "Brevant++/1.00";
        QTest::newRow("one word") << "Brevant"
                                  << "Brevant";
        QTest::newRow("extra blanks") << "  Brevant++   1.00  SE "
                                      << "Brevant++/1.00 (SE)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void userAgentToken()
    {
        QFETCH(QString, text);
        QTEST(UserAgentToken(text), "token");
    }

    void tokenIsAppendedOnce()
    {
        const QString engine = QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) QtWebEngine/6.4.2");
        const QString token = UserAgentToken(QStringLiteral("Brevant++ 1.00 SE"));
        const QString once = AppendUserAgentToken(engine, token);
        QCOMPARE(once, engine + QStringLiteral(" Brevant++/1.00 (SE)"));
        QCOMPARE(AppendUserAgentToken(once, token), once);
        QCOMPARE(AppendUserAgentToken(engine, QString()), engine);
    }

    void zones_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("zone");
        const int local = int(TUrlZone::LocalMachine);
        const int intranet = int(TUrlZone::Intranet);
        const int internet = int(TUrlZone::Internet);
        QTest::newRow("file") << "file:///home/user/page.html" << local;
        QTest::newRow("file, upper case scheme") << "FILE:///tmp/a.htm" << local;
        QTest::newRow("file on localhost") << "file://localhost/tmp/a.htm" << local;
        QTest::newRow("file on a share") << "file://server/share/a.htm" << intranet;
        QTest::newRow("bare path") << "/tmp/page.html" << local;
        QTest::newRow("drive path") << "C:\\pages\\a.htm" << local;
        QTest::newRow("view-source of a file") << "view-source:file:///tmp/a.htm" << local;
        QTest::newRow("loopback") << "http://127.0.0.1:8080/" << intranet;
        QTest::newRow("localhost") << "http://localhost/" << intranet;
        QTest::newRow("loopback v6") << "http://[::1]/" << intranet;
        QTest::newRow("10/8") << "http://10.1.2.3/" << intranet;
        QTest::newRow("172.16/12") << "https://172.16.0.1/" << intranet;
        QTest::newRow("172.32 is outside") << "http://172.32.0.1/" << internet;
        QTest::newRow("192.168/16") << "http://192.168.1.1/x" << intranet;
        QTest::newRow("link local") << "http://169.254.1.1/" << intranet;
        QTest::newRow("single label") << "http://intranetserver/page" << intranet;
        QTest::newRow(".local") << "http://printer.local/" << intranet;
        QTest::newRow("public name") << "http://www.example.com/" << internet;
        QTest::newRow("public address") << "http://8.8.8.8/" << internet;
        QTest::newRow("telnet") << "telnet://bbs.example.com:23/" << internet;
        QTest::newRow("about") << "about:blank" << internet;
        QTest::newRow("empty") << "" << internet;
        QTest::newRow("garbage") << "http://%%%/" << internet;
    }
    void zones()
    {
        QFETCH(QString, url);
        QTEST(int(MapUrlToZone(url)), "zone");
    }

    void zoneNames()
    {
        QCOMPARE(ZoneDisplayName(TUrlZone::LocalMachine), QStringLiteral("My Computer"));
        QCOMPARE(ZoneDisplayName(TUrlZone::Intranet), QStringLiteral("Local intranet"));
        QCOMPARE(ZoneDisplayName(TUrlZone::Internet), QStringLiteral("Internet"));
        QVERIFY(!ZoneIcon(TUrlZone::Internet).isNull());
    }

    void offlineIsProcessWide()
    {
        FakeWebBrowser a, b;
        QVERIFY(!TWebBrowser::GetOffline());
        a.SetOffline(true);
        QVERIFY(b.GetOffline());
        b.SetOffline(false);
        QVERIFY(!a.GetOffline());
    }
};

QTEST_MAIN(TestWebBrowser)
#include "test_webbrowser.moc"
