#include "platform/Cp874.h"

#include <QTest>

class TestCp874 : public QObject
{
    Q_OBJECT
private slots:
    void everyByteSurvivesARoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp874::fromUnicode(Cp874::toUnicode(all)), all);
    }

    void mapsTheWindowsThaiTable_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("ascii") << 0x41 << 0x41;
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("ellipsis") << 0x85 << 0x2026;
        QTest::newRow("left quote") << 0x91 << 0x2018;
        QTest::newRow("em dash") << 0x97 << 0x2014;
        QTest::newRow("nbsp") << 0xA0 << 0x00A0;
        QTest::newRow("ko kai") << 0xA1 << 0x0E01;
        QTest::newRow("phinthu") << 0xDA << 0x0E3A;
        QTest::newRow("baht") << 0xDF << 0x0E3F;
        QTest::newRow("khomut") << 0xFB << 0x0E5B;
        QTest::newRow("undefined 0x81") << 0x81 << 0xF781;
        QTest::newRow("undefined 0xDB") << 0xDB << 0xF7DB;
        QTest::newRow("undefined 0xFF") << 0xFF << 0xF7FF;
    }
    void mapsTheWindowsThaiTable()
    {
        QFETCH(int, byte);
        QFETCH(int, unicode);
        QCOMPARE(int(Cp874::byteToUnicode(uchar(byte))), unicode);
        QCOMPARE(Cp874::unicodeToByte(char16_t(unicode)), byte);
    }

    void thaiTextEncodes()
    {
        const QString thai = QStringLiteral("เว็บในไทย");
        const QByteArray bytes = Cp874::fromUnicode(thai);
        QCOMPARE(bytes, QByteArray("\xE0\xC7\xE7\xBA\xE3\xB9\xE4\xB7\xC2"));
        QCOMPARE(Cp874::toUnicode(bytes), thai);
    }

    void unmappableCharactersBecomeOneQuestionMark()
    {
        QCOMPARE(Cp874::fromUnicode(QStringLiteral("a\u00E9b")), QByteArray("a?b"));
        QCOMPARE(Cp874::fromUnicode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
        // A private-use point of a defined byte is not a second spelling of it.
        QCOMPARE(Cp874::unicodeToByte(0xF7A1), -1);
    }
};

QTEST_APPLESS_MAIN(TestCp874)
#include "test_cp874.moc"
