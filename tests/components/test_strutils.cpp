#include "components/StrUtils.h"

#include <QTest>

class TestStrUtils : public QObject
{
    Q_OBJECT
private slots:
    void words()
    {
        const TCharSet blankComma{' ', ','};
        const QString text = QStringLiteral(" ,a,, b ,");
        QCOMPARE(WordCount(text, blankComma), 2);
        QCOMPARE(WordPosition(1, text, blankComma), 3);
        QCOMPARE(WordPosition(2, text, blankComma), 7);
        QCOMPARE(WordPosition(3, text, blankComma), 0);
        QCOMPARE(WordPosition(0, text, blankComma), 0);
        QCOMPARE(ExtractWord(2, text, blankComma), QStringLiteral("b"));
        QCOMPARE(ExtractWord(3, text, blankComma), QString());
        QCOMPARE(WordCount(QString(), blankComma), 0);

        const TCharSet setDelims{' ', ',', '[', ']'};
        QCOMPARE(ExtractWord(1, QStringLiteral("[fsBold,fsItalic]"), setDelims),
                 QStringLiteral("fsBold"));
        QCOMPARE(ExtractWord(2, QStringLiteral("[fsBold, fsItalic]"), setDelims),
                 QStringLiteral("fsItalic"));
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("result");
        QTest::newRow("decimal comma") << "1,5"
                                       << ","
                                       << "."
                                       << "1.5";
        QTest::newRow("not rescanned") << "aaa"
                                       << "aa"
                                       << "b"
                                       << "ba";
        QTest::newRow("growing") << "a.b.c"
                                 << "."
                                 << ".."
                                 << "a..b..c";
        QTest::newRow("empty search") << "abc"
                                      << ""
                                      << "x"
                                      << "abc";
        QTest::newRow("case sensitive") << "Aa"
                                        << "a"
                                        << "b"
                                        << "Ab";
    }
    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(QString, result);
        QCOMPARE(ReplaceAll(text, search, replacement), result);
    }

    void numbers()
    {
        QCOMPARE(IntMax(-3, 2), 2);
        QCOMPARE(IntMin(-3, 2), -3);
        int a = 1, b = 2;
        SwapInts(a, b);
        QCOMPARE(a, 2);
        QCOMPARE(b, 1);
    }
};

QTEST_APPLESS_MAIN(TestStrUtils)
#include "test_strutils.moc"
