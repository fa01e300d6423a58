#include "shell/data/ShellDDE.h"

#include <QHash>
#include <QTest>

#include <stdexcept>

// The DDE names and the reading of folder commands, from tables: commands
// as the desktop shell writes them, and hostile ones.
class TestShellDDE : public QObject
{
    Q_OBJECT

    static TDDENames shellNames()
    {
        TDDENames n;
        const QHash<QString, QString> keys = {
            {"htmlfile\\shell\\open\\ddeexec\\application", "IExplore"},
            {"htmlfile\\shell\\open\\ddeexec\\topic", "WWW_OpenURL"},
            {"Folder\\shell\\open\\ddeexec\\application", "Folders"},
            {"Folder\\shell\\open\\ddeexec\\topic", "AppProperties"},
            {"Folder\\shell\\open\\ddeexec", "[ViewFolder(\"%l\", %I, %S)]"},
            {"Folder\\shell\\explore\\ddeexec", "[ExploreFolder(\"%l\", %I, %S)]"},
            {"Directory\\shell\\find\\ddeexec", "[FindFolder(\"%l\", %I)]"},
        };
        if (!ReadDDENames([&](const QString& key) { return keys.value(key); }, n))
            qFatal("names not read");
        return n;
    }

private slots:
    void namesAreReadAndCommandNamesCut()
    {
        const TDDENames n = shellNames();
        QCOMPARE(n.htmlApplication, QStringLiteral("IExplore"));
        QCOMPARE(n.htmlTopic, QStringLiteral("WWW_OpenURL"));
        QCOMPARE(n.folderApplication, QStringLiteral("Folders"));
        QCOMPARE(n.folderTopic, QStringLiteral("AppProperties"));
        QCOMPARE(n.openCommand, QStringLiteral("ViewFolder"));
        QCOMPARE(n.exploreCommand, QStringLiteral("ExploreFolder"));
        QCOMPARE(n.findCommand, QStringLiteral("FindFolder"));

        // The program's registry file has no classes root: all empty.
        const TDDENames none = ReadDDENames();
        QVERIFY(none.htmlApplication.isEmpty() && none.openCommand.isEmpty() &&
                none.exploreCommand.isEmpty() && none.findCommand.isEmpty());

        // A reader that fails part way: its exception goes no further, the
        // names after it read empty.
        TDDENames partial;
        int calls = 0;
        QVERIFY(!ReadDDENames(
            [&](const QString&) -> QString {
                if (++calls == 3)
                    throw std::runtime_error("registry");
                return QStringLiteral("x");
            },
            partial));
        QCOMPARE(partial.htmlTopic, QStringLiteral("x"));
        QVERIFY(partial.folderApplication.isEmpty() && partial.findCommand.isEmpty());
    }

    void commandNames_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("name");
        QTest::newRow("shell form") << "[ViewFolder(\"%l\", %I, %S)]"
                                    << "ViewFolder";
        QTest::newRow("text before") << "x[Find(1)]"
                                     << "Find";
        QTest::newRow("no bracket") << "ViewFolder(1)"
                                    << "";
        QTest::newRow("no parenthesis") << "[ViewFolder]"
                                        << "";
        QTest::newRow("parenthesis before bracket") << "(a)[B(c)"
                                                    << "B";
        QTest::newRow("empty name") << "[(x)]"
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void commandNames()
    {
        QFETCH(QString, value);
        QFETCH(QString, name);
        QCOMPARE(DDECommandName(value), name);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("show");
        QTest::addColumn<int>("source");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("second");

        const int none = TDDEIDListSource::None, shared = TDDEIDListSource::SharedMemory,
                  address = TDDEIDListSource::Address;
        QTest::newRow("open, shared memory")
            << "[ViewFolder(\"C:\\Docs\", :1234:5678, 1)]" << 1 << "C:\\Docs" << 1 << shared
            << qint64(1234) << qint64(5678);
        QTest::newRow("explore, address") << "[ExploreFolder(\"\", 305419896, 3)]" << 2 << "" << 3
                                          << address << qint64(305419896) << qint64(0);
        QTest::newRow("find") << "[FindFolder(\"D:\\\", 0)]" << 3 << "D:\\" << 1 << address
                              << qint64(0) << qint64(0);
        QTest::newRow("show of ten reads one digit")
            << "[ViewFolder(\"a\", 1, 10)]" << 1 << "a" << 1 << address << qint64(1) << qint64(0);
        QTest::newRow("show is a sign")
            << "[ViewFolder(\"a\", 1, -5)]" << 1 << "a" << 1 << address << qint64(1) << qint64(0);
        QTest::newRow("negative handle and process") << "[ViewFolder(\"a\", :-1:-2, 7)]" << 1 << "a"
                                                     << 7 << shared << qint64(-1) << qint64(-2);
        QTest::newRow("a comma before the colon: no process")
            << "[ViewFolder(\"a\", 12, :99, 2)]" << 1 << "a" << 9 << address << qint64(12)
            << qint64(0);
        QTest::newRow("unknown command") << "[DeleteEverything(\"/\", :1:2, 1)]" << 0 << "" << 0
                                         << none << qint64(0) << qint64(0);
        QTest::newRow("case differs")
            << "[viewfolder(\"a\", 1, 1)]" << 0 << "" << 0 << none << qint64(0) << qint64(0);
        QTest::newRow("unclosed quote") << "[ViewFolder(\"C:\\never ends, 1, 2)]" << 1 << "" << 2
                                        << address << qint64(1) << qint64(0);
        QTest::newRow("numbers too long") << "[ViewFolder(\"a\", :99999999999999999999999:1, 1)]"
                                          << 1 << "a" << 1 << shared << qint64(0) << qint64(1);
        QTest::newRow("signs only")
            << "[ViewFolder(\"a\", +-+-, 1)]" << 1 << "a" << 1 << address << qint64(0) << qint64(0);
        QTest::newRow("no arguments")
            << "[ViewFolder()]" << 1 << "" << 1 << none << qint64(0) << qint64(0);
        QTest::newRow("nothing") << "" << 0 << "" << 0 << none << qint64(0) << qint64(0);
        QTest::newRow("control bytes and NULs")
            << QStringLiteral("[ViewFolder(\"\u0001\u001b[2J\", ") + QChar(0) +
                   QStringLiteral(":7") + QChar(0) + QStringLiteral(":8, \u00079)]")
            << 1 << "\x01\x1b[2J" << 9 << shared << qint64(7) << qint64(8);
    }
    void parse()
    {
        QFETCH(QString, command);
        QFETCH(int, kind);
        QFETCH(QString, path);
        QFETCH(int, show);
        QFETCH(int, source);
        QFETCH(qint64, first);
        QFETCH(qint64, second);

        QString gotPath = QStringLiteral("untouched");
        QByteArray list("untouched");
        int gotShow = -1;
        QCOMPARE(int(ParseDDECommand(command, shellNames(), gotPath, list, gotShow)), kind);
        if (kind == 0) {
            // Nothing is filled for an unknown command.
            QCOMPARE(gotPath, QStringLiteral("untouched"));
            QCOMPARE(list, QByteArray("untouched"));
            QCOMPARE(gotShow, -1);
        } else {
            QCOMPARE(gotPath, path);
            QCOMPARE(gotShow, show);
            // No list is ever taken from what the text names.
            QVERIFY(list.isEmpty());
        }
        if (kind != 0) {
            const TDDEIDListSource s = DDECommandIDListSource(command);
            QCOMPARE(int(s.kind), source);
            QCOMPARE(s.first, first);
            QCOMPARE(s.second, second);
        }
        QVERIFY(DDECommandIDList(command).isEmpty());
    }

    void unconfiguredNamesMatchNoCommand()
    {
        // With the names empty (as in this program), no command is carried
        // out, not even one whose name is empty.
        const TDDENames none = ReadDDENames();
        for (const QString& command :
             {QStringLiteral("[(\"/\", :1:2, 1)]"), QStringLiteral("[ViewFolder(\"/\")]"),
              QStringLiteral("[]"), QString()})
            QCOMPARE(DDECommandKind(command, none), TDDECommandKind::None);
    }

    void htmlCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("url");
        QTest::newRow("quoted, with arguments") << "\"C:\\My Pages\\a.htm\" -nohome"
                                                << "C:\\My Pages\\a.htm";
        QTest::newRow("plain") << "http://example.org/a b"
                               << "http://example.org/a b";
        QTest::newRow("one quote only") << "\"file"
                                        << "file";
        QTest::newRow("quote inside") << "a\"b\""
                                      << "a\"b\"";
        QTest::newRow("empty") << ""
                               << "";
    }
    void htmlCommands()
    {
        QFETCH(QString, command);
        QFETCH(QString, url);
        QCOMPARE(DDEHtmlCommandURL(command), url);
    }
};

QTEST_APPLESS_MAIN(TestShellDDE)
#include "test_ShellDDE.moc"
