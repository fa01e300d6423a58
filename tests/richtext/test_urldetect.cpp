#include "richtext/RxUrlDetect.h"

#include <QtTest>

class TestUrlDetect : public QObject
{
    Q_OBJECT

private slots:
    void findsLinks_data()
    {
        QTest::addColumn<QString>("text");
        // The links found, as the texts they cover.
        QTest::addColumn<QStringList>("links");

        QTest::newRow("chat channel") << " http:#chan" << QStringList{"http:#chan"};
        QTest::newRow("channel then text") << "join http:#thai now" << QStringList{"http:#thai"};
        QTest::newRow("telnet host") << "telnet:host" << QStringList{"telnet:host"};
        QTest::newRow("www word, sentence end") << "see www.x.th." << QStringList{"www.x.th"};
        QTest::newRow("scheme in capitals")
            << "HTTP://EXAMPLE.COM/A" << QStringList{"HTTP://EXAMPLE.COM/A"};
        QTest::newRow("every scheme")
            << "https:a ftp:b file:c mailto:d@e news:f nntp:g gopher:h wais:i prospero:j"
            << QStringList{"https:a", "ftp:b",    "file:c", "mailto:d@e", "news:f",
                           "nntp:g",  "gopher:h", "wais:i", "prospero:j"};
        QTest::newRow("Thai around, spaced")
            << QString::fromUtf8("ไปที่ http://www.x.th/หน้า แล้ว")
            << QStringList{QString::fromUtf8("http://www.x.th/หน้า")};
        QTest::newRow("Thai straight before")
            << QString::fromUtf8("ดูhttp://x.th ครับ") << QStringList{"http://x.th"};
        QTest::newRow("Latin letter before") << "xhttp://x.th awww.y.th" << QStringList{};
        QTest::newRow("prefix alone") << "http: www. mailto:" << QStringList{};
        QTest::newRow("only punctuation after") << "http:..." << QStringList{};
        QTest::newRow("brackets") << "(http://x.th/a_(b)) <www.y.th>"
                                  << QStringList{"http://x.th/a_(b)", "www.y.th"};
        QTest::newRow("closers after a link") << "http:x)))" << QStringList{"http:x"};
        QTest::newRow("pairs kept, spare closers not")
            << "http:a(b)c)) http:a((b)))." << QStringList{"http:a(b)c", "http:a((b))"};
        QTest::newRow("each bracket kind counted apart")
            << "<http:a[b)]>" << QStringList{"http:a[b)]"};
        QTest::newRow("quotes and comma")
            << "\"http://a.th\", 'www.b.th'" << QStringList{"http://a.th", "www.b.th"};
        QTest::newRow("tab ends a link") << "http://a.th\tb" << QStringList{"http://a.th"};
        QTest::newRow("two in a row")
            << "http://a.th http://b.th" << QStringList{"http://a.th", "http://b.th"};
        QTest::newRow("object character ends a link")
            << QString("http://a.th") + QChar(0xFFFC) + "x" << QStringList{"http://a.th"};
        QTest::newRow("no link") << "just words" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void findsLinks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, links);
        QStringList found;
        for (const RxUrlDetect::Range& r : RxUrlDetect::FindURLs(text)) {
            QVERIFY(r.start >= 0 && r.length > 0 && r.start + r.length <= text.size());
            found << text.mid(r.start, r.length);
        }
        QCOMPARE(found, links);
    }

    void longLineStaysLinear()
    {
        // A long run of non-blanks after many prefixes is scanned once.
        const QString text = QString("http:").repeated(20000);
        const QList<RxUrlDetect::Range> links = RxUrlDetect::FindURLs(text);
        QCOMPARE(links.size(), 1);
        // The colon at the very end closes no link.
        QCOMPARE(links.first().length, text.size() - 1);
    }
};

QTEST_APPLESS_MAIN(TestUrlDetect)
#include "test_urldetect.moc"
