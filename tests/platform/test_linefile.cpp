#include "platform/LineFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLineFile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lf") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("no final end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty line kept")
            << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
        QTest::newRow("blanks kept") << QByteArray(" a \t\r\n") << QStringList{" a \t"};
        QTest::newRow("ctrl-z ends") << QByteArray("a\r\nb\x1a"
                                                   "c\r\nd\r\n")
                                     << QStringList{"a", "b"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        QTest::newRow("thai") << QByteArray("\xE0\xC7\xE7\xBA\r\n")
                              << QStringList{QStringLiteral("เว็บ")};
    }
    void readingRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(LineFile::splitLines(bytes), lines);
    }

    void writesCrLfAndCodePage874ByteForByte()
    {
        QByteArray bytes;
        for (int b = 0x20; b < 256; ++b)
            if (b != 0x7F)
                bytes.append(char(b));
        const QString path = dir_.filePath(QStringLiteral("lines.dat"));
        QVERIFY(LineFile::write(path, LineFile::splitLines(bytes + "\r\nsecond\r\n")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes + "\r\nsecond\r\n");
        const LineFile::ReadResult r = LineFile::read(path);
        QCOMPARE(r.status, LineFile::ReadStatus::Ok);
        QCOMPARE(r.lines.size(), 2);
    }

    void aMissingFileReadsAsAnEmptyList()
    {
        const LineFile::ReadResult r = LineFile::read(dir_.filePath(QStringLiteral("none.dat")));
        QCOMPARE(r.status, LineFile::ReadStatus::NotOpened);
        QVERIFY(r.lines.isEmpty());
    }

    void aFailedWriteLeavesTheOldFile()
    {
        QString error;
        QVERIFY(
            !LineFile::write(dir_.filePath(QStringLiteral("no/such/folder/x.dat")), {"a"}, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestLineFile)
#include "test_linefile.moc"
