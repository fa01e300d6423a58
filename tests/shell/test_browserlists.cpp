#include "shell/data/BrowserLists.h"

#include <QTest>

// The address suggestions and the back list of a browser window, as rules.
class TestBrowserLists : public QObject
{
    Q_OBJECT

    static QStringList numbered(const QString& stem, int count)
    {
        QStringList list;
        for (int i = 1; i <= count; ++i)
            list << QStringLiteral("http://%1%2/").arg(stem).arg(i);
        return list;
    }

private slots:
    void typedAddresses_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("host name") << "www.Example.com"
                                   << "http://www.Example.com";
        QTest::newRow("bare host") << "localhost"
                                   << "http://localhost";
        QTest::newRow("address") << "192.168.1.1"
                                 << "http://192.168.1.1";
        QTest::newRow("ftp host is a web address") << "ftp.example.com"
                                                   << "http://ftp.example.com";
        QTest::newRow("host with port") << "localhost:8080"
                                        << "http://localhost:8080";
        QTest::newRow("address with port and path") << "192.168.1.1:8080/a?b#c"
                                                    << "http://192.168.1.1:8080/a?b#c";
        QTest::newRow("bracketed address with port") << "[::1]:8080"
                                                     << "http://[::1]:8080";
        QTest::newRow("path without scheme") << "example.com/Dir/x.html"
                                             << "http://example.com/Dir/x.html";
        QTest::newRow("blanks around") << "  www.example.com \t"
                                       << "http://www.example.com";
        QTest::newRow("web address as it is") << "http://Host/Path"
                                              << "http://Host/Path";
        QTest::newRow("terminal keeps its case") << "telnet://BBS.Example:23/"
                                                 << "telnet://BBS.Example:23/";
        QTest::newRow("terminal without slashes") << "telnet:Host:2323"
                                                  << "telnet:Host:2323";
        QTest::newRow("chat") << "irc://127.0.0.1:6667/#test"
                              << "irc://127.0.0.1:6667/#test";
        QTest::newRow("engine page") << "about:blank"
                                     << "about:blank";
        QTest::newRow("file address") << "file:///tmp/Missing.html"
                                      << "file:///tmp/Missing.html";
        QTest::newRow("absolute path, missing or not") << "/tmp/No Such/Page.html"
                                                       << "file:///tmp/No Such/Page.html";
        QTest::newRow("path with a hash") << "/tmp/a#b.html"
                                          << "file:///tmp/a%23b.html";
        QTest::newRow("nothing") << "   "
                                 << "";
    }
    void typedAddresses()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(TypedAddress(typed), address);
    }

    void suggestions_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("matches");
        QTest::addColumn<bool>("shown");
        const QStringList h = {"http://a.com/", "http://b.org/", "http://A.com/x", "ftp://a.com/"};
        QTest::newRow("substring, history order")
            << h << "a.com" << QStringList{"http://a.com/", "ftp://a.com/"} << true;
        QTest::newRow("case counts") << h << "A.com" << QStringList{"http://A.com/x"} << true;
        QTest::newRow("empty text matches nothing") << h << "" << QStringList{} << false;
        QTest::newRow("no match") << h << "zzz" << QStringList{} << false;
        QTest::newRow("20 are shown")
            << numbered("site", 20) << "site" << numbered("site", 20) << true;
        QTest::newRow("21 are not")
            << numbered("site", 21) << "site" << numbered("site", 21) << false;
        QTest::newRow("one") << numbered("site", 21) << "site21" << QStringList{"http://site21/"}
                             << true;
    }
    void suggestions()
    {
        QFETCH(QStringList, history);
        QFETCH(QString, text);
        QFETCH(QStringList, matches);
        QCOMPARE(URLSuggestions(history, text), matches);
        QTEST(ShowsSuggestions(matches.size()), "shown");
    }

    void keys_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QString>("addressAfter");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("navigate");
        const QStringList h = {"http://hello/", "http://help/", "http://other/"};
        QTest::newRow("letter that narrows")
            << h << "http://hel" << int('l') << true << true << "http://hell"
            << QStringList{"http://hello/"} << false;
        QTest::newRow("h consumed while the list stays")
            << h << "http://" << int('h') << true << true << "http://h"
            << QStringList{"http://hello/", "http://help/"} << false;
        QTest::newRow("h consumed when the list hides")
            << h << "http://x" << int('h') << true << false << "http://xh" << QStringList{}
            << false;
        QTest::newRow("H too") << h << "http://x" << int('H') << true << false << "http://xH"
                               << QStringList{} << false;
        QTest::newRow("other letter that hides is left to the list")
            << h << "http://x" << int('q') << false << false << "http://xq" << QStringList{}
            << false;
        QTest::newRow("escape keeps the text")
            << h << "http://he" << 27 << true << false << "http://he" << QStringList{} << false;
        QTest::newRow("backspace widens") << h << "http://hell" << 8 << true << true << "http://hel"
                                          << QStringList{"http://hello/", "http://help/"} << false;
        QTest::newRow("backspace to empty hides and empties")
            << h << "h" << 8 << false << false << "" << QStringList{} << false;
        QTest::newRow("enter navigates to the text")
            << h << "http://hel" << 13 << true << false << "http://hel"
            << QStringList{"http://hello/", "http://help/"} << true;
        QTest::newRow("enter with no match hides") << h << "http://none" << 13 << false << false
                                                   << "http://none" << QStringList{} << false;
        QTest::newRow("too many hide") << numbered("s", 21) << "http://" << int('s') << false
                                       << false << "http://s" << QStringList{} << false;
    }
    void keys()
    {
        QFETCH(QStringList, history);
        QFETCH(QString, address);
        QFETCH(int, key);
        const TSuggestionKey r = SuggestionKeyPress(history, address, QChar(key));
        QTEST(r.consumed, "consumed");
        QTEST(r.listVisible, "visible");
        QTEST(r.addressText, "addressAfter");
        QTEST(r.items, "items");
        QTEST(r.navigate, "navigate");
        if (r.navigate)
            QCOMPARE(r.navigateTo, address);
        QCOMPARE(r.focusAddress, !r.listVisible && !r.navigate);
    }

    void backList()
    {
        QStringList urls, titles;
        AddToBackList(urls, titles, "http://a/", "A");
        AddToBackList(urls, titles, "http://b/", "B");
        AddToBackList(urls, titles, "http://a/", "A"); // already held: stays where it is
        QCOMPARE(urls, (QStringList{"http://b/", "http://a/"}));
        QCOMPARE(titles, (QStringList{"B", "A"}));
        AddToBackList(urls, titles, "http://a/", "A2"); // another title: a new pair
        AddToBackList(urls, titles, "http://c/", "");   // no title: never listed
        AddToBackList(urls, titles, "", "D");
        QCOMPARE(urls, (QStringList{"http://a/", "http://b/", "http://a/"}));
        QCOMPARE(titles, (QStringList{"A2", "B", "A"}));
    }

    void backListKeepsTwenty()
    {
        QStringList urls, titles;
        for (int i = 1; i <= 21; ++i)
            AddToBackList(urls, titles, QStringLiteral("http://p%1/").arg(i),
                          QStringLiteral("P%1").arg(i));
        QCOMPARE(urls.size(), 20);
        QCOMPARE(titles.size(), 20);
        QCOMPARE(urls.first(), QStringLiteral("http://p21/"));
        QCOMPARE(urls.last(), QStringLiteral("http://p2/")); // the oldest dropped
    }
};

QTEST_MAIN(TestBrowserLists)
#include "test_browserlists.moc"
