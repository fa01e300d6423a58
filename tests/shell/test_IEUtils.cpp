#include "shell/data/IEUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWebEngineCore/qtwebenginecoreversion.h>

class TestIEUtils : public QObject
{
    Q_OBJECT

private slots:
    void versionNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("5.50") << "5.50.4134.600" << 5.5;
        QTest::newRow("6.00") << "6.00.2800.1106" << 6.0;
        QTest::newRow("engine") << "6.4.2" << 6.4;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("not a number") << "abc" << 0.0;
        QTest::newRow("short") << "7" << 7.0;
    }

    void versionNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(IEVersionFromText(text), expected);
    }

    void versionFromLibraryFiles()
    {
        QTemporaryDir dir;
        QCOMPARE(GetIEVersionFromFolder(dir.path()), QString());
        QCOMPARE(GetIEVersionFromFolder(QString()), QString());
        for (const char* name : {"libQt6WebEngineCore.so", "libQt6WebEngineCore.so.6",
                                 "libQt6WebEngineCore.so.6.4.2", "libQt6Core.so.6.9.9"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(GetIEVersionFromFolder(dir.path()), QStringLiteral("6.4.2"));
        // The loader's name links to the library: its target names the
        // version, whatever else the folder holds.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("libQt6WebEngineCore.so.6"))));
        QFile newer(dir.filePath(QStringLiteral("libQt6WebEngineCore.so.6.9.1")));
        QVERIFY(newer.open(QIODevice::WriteOnly));
        newer.close();
        QVERIFY(QFile::link(QStringLiteral("libQt6WebEngineCore.so.6.9.1"),
                            dir.filePath(QStringLiteral("libQt6WebEngineCore.so.6"))));
        QCOMPARE(GetIEVersionFromFolder(dir.path()), QStringLiteral("6.9.1"));
        // A link to a name that carries no version falls back on the files.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("libQt6WebEngineCore.so.6"))));
        QVERIFY(QFile::link(QStringLiteral("libQt6WebEngineCore.so"),
                            dir.filePath(QStringLiteral("libQt6WebEngineCore.so.6"))));
        QCOMPARE(GetIEVersionFromFolder(dir.path()), QStringLiteral("6.4.2"));
        // The engine this program is built with is found where it is
        // installed, with its own version.
        const QString installed = GetIEVersion();
        QCOMPARE(installed, QStringLiteral(QTWEBENGINECORE_VERSION_STR));
        QVERIFY(IEVersionFromText(installed) >= 6);
    }

    void pidlSize_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("next");
        QTest::newRow("one item of 10") << QByteArray("\x0a\x00"
                                                      "abcdefgh"
                                                      "\x00\x00",
                                                      12)
                                        << qsizetype(12) << qsizetype(10);
        QTest::newRow("terminator only")
            << QByteArray("\x00\x00", 2) << qsizetype(2) << qsizetype(-1);
        QTest::newRow("two items, bytes after") << QByteArray("\x03\x00x"
                                                              "\x04\x00yz"
                                                              "\x00\x00"
                                                              "junk",
                                                              13)
                                                << qsizetype(9) << qsizetype(3);
        QTest::newRow("empty buffer") << QByteArray() << qsizetype(0) << qsizetype(-1);
        QTest::newRow("one byte") << QByteArray("\x00", 1) << qsizetype(0) << qsizetype(-1);
        QTest::newRow("item past the end") << QByteArray("\xff\x00"
                                                         "ab",
                                                         4)
                                           << qsizetype(0) << qsizetype(-1);
        QTest::newRow("no terminator") << QByteArray("\x04\x00"
                                                     "ab",
                                                     4)
                                       << qsizetype(0) << qsizetype(4);
        QTest::newRow("half a terminator")
            << QByteArray("\x02\x00\x00", 3) << qsizetype(0) << qsizetype(2);
        QTest::newRow("count of one")
            << QByteArray("\x01\x00\x00\x00", 4) << qsizetype(0) << qsizetype(-1);
        QTest::newRow("big count, little endian")
            << (QByteArray("\x02\x01", 2) + QByteArray(256, 'x') + QByteArray("\x00\x00", 2))
            << qsizetype(260) << qsizetype(258);
    }

    void pidlSize()
    {
        QFETCH(QByteArray, list);
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, next);
        QCOMPARE(PIDLSize(list), size);
        QCOMPARE(NextPIDL(list), next);
        const QByteArray copy = CopyPIDL(list);
        QCOMPARE(copy.size(), size);
        if (size > 0)
            QCOMPARE(copy, list.left(size));
    }

    void allocPIDL()
    {
        QCOMPARE(AllocPIDL(6), QByteArray(6, '\0'));
        QVERIFY(AllocPIDL(0).isEmpty());
        QVERIFY(AllocPIDL(-5).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestIEUtils)
#include "test_IEUtils.moc"
