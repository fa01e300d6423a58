#include "platform/LineFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

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

    void bytesAfterTheEndMarkAreCounted()
    {
        const QList<QPair<QByteArray, qsizetype>> cases = {
            {"a\r\nb\r\n", 0},
            {"a\r\n\x1a", 0},
            {"a\x1a"
             "b\r\nc",
             4},
            {"\x1a\x1a", 1},
            {"\x1a", 0},
            {"", 0},
        };
        const QString path = dir_.filePath(QStringLiteral("end.dat"));
        for (const auto& [bytes, after] : cases) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
            f.close();
            QCOMPARE(LineFile::read(path).bytesAfterEnd, after);
        }
    }

    void aMissingFileReadsAsAnEmptyList()
    {
        const LineFile::ReadResult r = LineFile::read(dir_.filePath(QStringLiteral("none.dat")));
        QCOMPARE(r.status, LineFile::ReadStatus::NotOpened);
        QVERIFY(r.lines.isEmpty());
    }

    void aFailedWriteLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.dat"));
        QVERIFY(LineFile::write(path, {"old", "lines"}));
        const QByteArray before = readBytes(path);

        // A write that fails part way: the file size limit stops it after
        // a few bytes (this also holds for root, whom permissions would not
        // stop).
        const QStringList big(4096, QStringLiteral("a line that will not all fit"));
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool written = LineFile::write(path, big, &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readBytes(path), before);
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("old.dat")});

        // A folder that is not there: nothing is written anywhere.
        QVERIFY(
            !LineFile::write(dir_.filePath(QStringLiteral("no/such/folder/x.dat")), {"a"}, &error));
        QVERIFY(!error.isEmpty());
    }

private:
    static QByteArray readBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
};

QTEST_APPLESS_MAIN(TestLineFile)
#include "test_linefile.moc"
