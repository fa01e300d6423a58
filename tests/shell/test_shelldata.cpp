#include "platform/LineFile.h"
#include "shell/data/ShellData.h"

#include "CrashWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The model as indented text, one node a line, for comparisons.
QString outline(const QStandardItemModel& model)
{
    QString out;
    std::function<void(const QStandardItem*, int)> walk = [&](const QStandardItem* item,
                                                              int depth) {
        out += QString(depth, '.') + item->text() + '\n';
        for (int r = 0; r < item->rowCount(); ++r)
            walk(item->child(r), depth + 1);
    };
    for (int r = 0; r < model.rowCount(); ++r)
        walk(model.item(r), 0);
    return out;
}

} // namespace

class TestShellData : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    QString at(const QString& name) const { return home_->filePath(name); }

private slots:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("BREVANT_HOME", home_->path().toUtf8());
    }

    void historyKeepsTheNewestEntries_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("maxSave");
        QTest::addColumn<int>("first"); // 1-based number of the first entry written
        QTest::newRow("over the limit") << 1600 << 1500 << 101;
        QTest::newRow("at the limit") << 1500 << 1500 << 1;
        QTest::newRow("under") << 10 << 1500 << 1;
        QTest::newRow("one") << 3 << 1 << 3;
    }
    void historyKeepsTheNewestEntries()
    {
        QFETCH(int, count);
        QFETCH(int, maxSave);
        QFETCH(int, first);
        TShellData data;
        data.LoadURLHistory();
        for (int i = 1; i <= count; ++i)
            data.URLHistory << QStringLiteral("http://h/%1").arg(i);
        QVERIFY(data.SaveURLHistory(maxSave));
        const QStringList lines = LineFile::read(at("brevanturl.dat")).lines;
        QCOMPARE(lines.size(), count - first + 1);
        QCOMPARE(lines.first(), QStringLiteral("http://h/%1").arg(first));
        QCOMPARE(lines.last(), QStringLiteral("http://h/%1").arg(count));
    }

    void anEmptyOrUnloadedHistoryLeavesTheFileAlone()
    {
        TShellData data;
        data.URLHistory << QStringLiteral("http://never-loaded/");
        QVERIFY(data.SaveURLHistory(1500));
        QVERIFY(!QFile::exists(at("brevanturl.dat")));
        data.LoadURLHistory();
        QVERIFY(data.URLHistory.isEmpty());
        QVERIFY(data.SaveURLHistory(1500));
        QVERIFY(!QFile::exists(at("brevanturl.dat")));
    }

    void pairFilesToleratesAnOddLastLine()
    {
        writeBytes(at("brevantbanner.dat"), "Ads\r\nhttp://ads.example/\nPopup\r\n");
        TShellData data;
        data.LoadBanners();
        QCOMPARE(data.Banners.count(), 2);
        QCOMPARE(data.Banners.Names, (QStringList{"Ads", "Popup"}));
        QCOMPARE(data.Banners.URLs, (QStringList{"http://ads.example/", ""}));
        data.AddBanner(QString(), QStringLiteral("http://x/"));
        data.DeleteBanner(0);
        data.DeleteBanner(7); // out of range: nothing
        data.SaveBanners();
        QCOMPARE(readBytes(at("brevantbanner.dat")), QByteArray("Popup\r\n\r\n\r\nhttp://x/\r\n"));
    }

    void aMissingBannerFileIsAnEmptyList()
    {
        TShellData data;
        data.Banners.append(QStringLiteral("stale"), QStringLiteral("x"));
        data.LoadBanners();
        QCOMPARE(data.Banners.count(), 0);
    }

    void groupLinksLiveInTheDataFolderInCodePage874()
    {
        TShellData data;
        data.CurrentGroup = QStringLiteral("เว็บในไทย");
        data.LoadGroupURLs();
        QCOMPARE(data.Group.count(), 0);
        data.AddGroupURL(QStringLiteral("สนุก"), QStringLiteral("http://www.sanook.com/"));
        data.AddGroupURL(QStringLiteral("b"), QStringLiteral("http://b/"));
        data.SwapGroupURLs(0, 1);
        data.SaveGroupURLs(); // creates the data folder
        const QString file = at(QStringLiteral("data/เว็บในไทย0.url"));
        QCOMPARE(readBytes(file),
                 QByteArray("b\r\nhttp://b/\r\n\xCA\xB9\xD8\xA1\r\nhttp://www.sanook.com/\r\n"));

        // The links are written to the group they were read from, even when
        // the current group changed meanwhile.
        data.CurrentGroup = QStringLiteral("other");
        data.DeleteGroupURL(0);
        data.SaveGroupURLs();
        QVERIFY(!QFile::exists(ShellFiles::groupLinksFile(QStringLiteral("other"))));
        QCOMPARE(LineFile::read(file).lines.size(), 2);
    }

    void groupNamesNeverLeaveTheDataFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("thai") << QStringLiteral("เว็บในไทย") << QStringLiteral("เว็บในไทย");
        QTest::newRow("slash") << "a/b"
                               << "a%2Fb";
        QTest::newRow("backslash") << "a\\b"
                                   << "a%5Cb";
        QTest::newRow("dot dot") << ".."
                                 << "%2E.";
        QTest::newRow("parent path") << "../../etc/passwd"
                                     << "%2E.%2F..%2Fetc%2Fpasswd";
        QTest::newRow("hidden") << ".x"
                                << "%2Ex";
        QTest::newRow("percent") << "100%"
                                 << "100%25";
        QTest::newRow("control") << QStringLiteral("a\nb\tc") << "a%0Ab%09c";
        QTest::newRow("nul") << QString(QChar(0)) + "x"
                             << "%00x";
        QTest::newRow("inner dots") << "a..b"
                                    << "a..b";
    }
    void groupNamesNeverLeaveTheDataFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QCOMPARE(ShellFiles::GroupFileName(name), fileName);
        QCOMPARE(ShellFiles::GroupNameFromFileName(fileName), name);
        const QFileInfo file(ShellFiles::groupLinksFile(name));
        QCOMPARE(file.absolutePath(), QDir(at("data")).absolutePath());

        TShellData data;
        data.CurrentGroup = name;
        data.LoadGroupURLs();
        data.AddGroupURL(QStringLiteral("n"), QStringLiteral("u"));
        data.SaveGroupURLs();
        QVERIFY(file.exists());
        QCOMPARE(QDir(at("data")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void longGroupNamesAreCutAndHashed()
    {
        const QString a = QString(300, QChar(0x0E01)) + QStringLiteral("A");
        const QString b = QString(300, QChar(0x0E01)) + QStringLiteral("B");
        const QString fa = ShellFiles::GroupFileName(a);
        QVERIFY(fa.toUtf8().size() + 5 <= 255);
        QVERIFY(fa != ShellFiles::GroupFileName(b));
        QVERIFY(QString::fromUtf8(fa.toUtf8()) == fa); // never cut inside a character
        TShellData data;
        data.CurrentGroup = a;
        data.LoadGroupURLs();
        data.AddGroupURL(QStringLiteral("n"), QStringLiteral("u"));
        data.SaveGroupURLs();
        data.LoadGroupURLs();
        QCOMPARE(data.Group.count(), 1);
    }

    void treeLevels()
    {
        const TTreeParse ok = ParseTreeLines({"A", "\tA1", "\t\tA11", " A2", "B"});
        QVERIFY(!ok.levelError);
        QCOMPARE(ok.lines.size(), 5);
        QCOMPARE(ok.lines[2].level, 2);
        QCOMPARE(ok.lines[2].text, QStringLiteral("A11"));
        QCOMPARE(ok.lines[3].level, 1); // a blank counts as a level too

        const TTreeParse bad = ParseTreeLines({"A", "\t\tdeep", "B"});
        QVERIFY(bad.levelError);
        QCOMPARE(bad.errorLine, 2);
        QCOMPARE(bad.lines.size(), 1);
        QVERIFY(ParseTreeLines({"\tstarts deep"}).levelError);
    }

    void theUserGroupIsGraftedLast()
    {
        writeBytes(at("brevantfavorite.dat"), "News\r\n\tThai\r\nShops\r\n");
        writeBytes(at("brevantfavoriteUser.dat"),
                   LineFile::joinLines({UserGroupName(), "\ta", "\t\tb", "\tc"}));
        TShellData data;
        QStandardItemModel model;
        data.LoadFavoriteTree(model);
        QCOMPARE(outline(model),
                 QStringLiteral("News\n.Thai\nShops\n") + UserGroupName() + "\n.a\n..b\n.c\n");
    }

    void withoutTheUserFileTheUserGroupIsEmpty()
    {
        TShellData data;
        QStandardItemModel model;
        data.LoadFavoriteTree(model); // neither file: a first start
        QCOMPARE(outline(model), UserGroupName() + "\n");
        model.item(0)->appendRow(new QStandardItem(QStringLiteral("mine")));
        model.appendRow(new QStandardItem(QStringLiteral("New")));
        data.SaveFavoriteTree(model);
        QCOMPARE(readBytes(at("brevantfavorite.dat")), QByteArray("New\r\n"));
        QCOMPARE(LineFile::read(at("brevantfavoriteUser.dat")).lines,
                 (QStringList{UserGroupName(), "\tmine"}));
        QVERIFY(data.Backups.isEmpty());
    }

    void savingSplitsOffTheUserGroupWherever()
    {
        QStandardItemModel model;
        auto* user = new QStandardItem(UserGroupName());
        user->appendRow(new QStandardItem(QStringLiteral("x")));
        model.appendRow(user);
        auto* a = new QStandardItem(QStringLiteral("A"));
        a->appendRow(new QStandardItem(QStringLiteral("A1")));
        model.appendRow(a);
        const QString before = outline(model);
        TShellData data;
        data.treeLoaded = true;
        data.SaveFavoriteTree(model);
        QCOMPARE(LineFile::read(at("brevantfavoriteUser.dat")).lines,
                 (QStringList{UserGroupName(), "\tx"}));
        QCOMPARE(readBytes(at("brevantfavorite.dat")), QByteArray("A\r\n\tA1\r\n"));
        QCOMPARE(outline(model), before);
        // Without a user group its file is written empty.
        model.removeRow(0);
        data.SaveFavoriteTree(model);
        QCOMPARE(readBytes(at("brevantfavoriteUser.dat")), QByteArray());
    }

    void aDamagedTreeFileIsBackedUpBeforeItIsReplaced()
    {
        const QByteArray damaged = "News\r\n\t\tToo deep\r\nShops\r\n";
        writeBytes(at("brevantfavorite.dat"), damaged);
        writeBytes(at("brevantfavoriteUser.dat"), LineFile::joinLines({UserGroupName(), "\tkept"}));
        TShellData data;
        QStandardItemModel model;
        data.LoadFavoriteTree(model);
        // What could be read is shown, and the user group does not depend on it.
        QCOMPARE(outline(model), QStringLiteral("News\n") + UserGroupName() + "\n.kept\n");
        QCOMPARE(data.Backups, QStringList{at("brevantfavorite.dat.bak")});
        QCOMPARE(readBytes(at("brevantfavorite.dat.bak")), damaged);
        data.SaveFavoriteTree(model);
        QCOMPARE(readBytes(at("brevantfavorite.dat")), QByteArray("News\r\n"));
        QCOMPARE(readBytes(at("brevantfavorite.dat.bak")), damaged);

        // A second damaged load never overwrites the first backup.
        writeBytes(at("brevantfavorite.dat"), "\tbad\r\n");
        data.LoadFavoriteTree(model);
        QCOMPARE(data.Backups,
                 (QStringList{at("brevantfavorite.dat.bak"), at("brevantfavorite.dat.bak2")}));
        QCOMPARE(readBytes(at("brevantfavorite.dat.bak")), damaged);
    }

    void aTreeFileThatCannotBeReadOrKeptIsNeverWrittenOver()
    {
        QVERIFY(QDir().mkpath(at("brevantfavorite.dat"))); // there, but not a readable file
        TShellData data;
        QStandardItemModel model;
        data.LoadFavoriteTree(model);
        model.appendRow(new QStandardItem(QStringLiteral("New")));
        QVERIFY_THROWS_EXCEPTION(EInOutError, data.SaveFavoriteTree(model));
        QVERIFY(QFileInfo(at("brevantfavorite.dat")).isDir());
        // The other file is still saved.
        QCOMPARE(LineFile::read(at("brevantfavoriteUser.dat")).lines, QStringList{UserGroupName()});
    }

    // Every data file under one rule: what the reader did not take is kept
    // in a copy before the program writes the file again, and reported.
    void everyDataFileKeepsWhatItsReaderDidNotTake_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind"); // 0 history, 1 banners, 2 group links, 3 tree, 4 windows
        const QByteArray afterEnd = "http://a.example/\r\nx\r\n\x1a"
                                    "http://lost.example/\r\n";
        QTest::newRow("history") << "brevanturl.dat" << afterEnd << 0;
        QTest::newRow("banners") << "brevantbanner.dat" << afterEnd << 1;
        QTest::newRow("group links") << "data/Links0.url" << afterEnd << 2;
        QTest::newRow("group tree") << "brevantfavorite.dat"
                                    << QByteArray("A\r\n\x1a"
                                                  "B\r\n")
                                    << 3;
        QTest::newRow("user group") << "brevantfavoriteUser.dat"
                                    << LineFile::joinLines({UserGroupName()}) + "\x1a\tlost" << 3;
        QTest::newRow("saved windows") << "brevantwindow.dat" << afterEnd << 4;
    }
    void everyDataFileKeepsWhatItsReaderDidNotTake()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QVERIFY(QDir().mkpath(at("data")));
        writeBytes(at(file), bytes);

        TShellData data;
        QStringList reported;
        data.OnDamagedFile = [&](const QString& path, const QString& backup) {
            reported << path << backup;
        };
        data.CurrentGroup = QStringLiteral("Links");
        QStandardItemModel model;
        QStringList windows;
        const auto loadAndSave = [&] {
            switch (kind) {
            case 0:
                data.LoadURLHistory();
                data.URLHistory << QStringLiteral("http://new.example/");
                QVERIFY(data.SaveURLHistory(1500));
                break;
            case 1:
                data.LoadBanners();
                data.AddBanner(QStringLiteral("new"), QStringLiteral("http://new.example/"));
                data.SaveBanners();
                break;
            case 2:
                data.LoadGroupURLs();
                data.AddGroupURL(QStringLiteral("new"), QStringLiteral("http://new.example/"));
                data.SaveGroupURLs();
                break;
            case 3:
                data.LoadFavoriteTree(model);
                model.appendRow(new QStandardItem(QStringLiteral("New")));
                data.SaveFavoriteTree(model);
                break;
            case 4:
                QVERIFY(data.ReadSavedWindows(windows));
                QVERIFY(data.SaveWindowList({QStringLiteral("http://new.example/")}));
                break;
            }
        };
        loadAndSave();
        const QString backup = at(file + QStringLiteral(".bak"));
        QCOMPARE(reported, (QStringList{at(file), backup}));
        QCOMPARE(data.Backups, QStringList{backup});
        QCOMPARE(readBytes(backup), bytes);
        QVERIFY(readBytes(at(file)) != bytes); // written again, from what was read

        // The same damage read again is kept once; a whole file reports
        // nothing.
        writeBytes(at(file), bytes);
        reported.clear();
        loadAndSave();
        QCOMPARE(reported, (QStringList{at(file), backup}));
        QVERIFY(!QFile::exists(backup + QStringLiteral("2")));
        reported.clear();
        loadAndSave();
        QCOMPARE(reported, QStringList());
    }

    void aDataFileThatCannotBeReadIsNeverWrittenOver()
    {
        // There, but not a readable file: no copy can be made.
        QVERIFY(QDir().mkpath(at("brevantbanner.dat")));
        QVERIFY(QDir().mkpath(at("brevanturl.dat")));
        TShellData data;
        QStringList reported;
        data.OnDamagedFile = [&](const QString& path, const QString& backup) {
            reported << path << backup;
        };
        data.LoadBanners();
        data.LoadURLHistory();
        QCOMPARE(reported, (QStringList{at("brevantbanner.dat"), QString(), at("brevanturl.dat"),
                                        QString()}));
        data.AddBanner(QStringLiteral("new"), QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(EInOutError, data.SaveBanners());
        data.URLHistory << QStringLiteral("x");
        QVERIFY(!data.SaveURLHistory(10));
        QVERIFY(QFileInfo(at("brevantbanner.dat")).isDir());
        QVERIFY(QFileInfo(at("brevanturl.dat")).isDir());
    }

    void aKilledWriterLeavesTheOldDataFileWhole()
    {
        TShellData a;
        a.LoadBanners();
        for (int i = 0; i < 3000; ++i)
            a.AddBanner(QStringLiteral("banner %1").arg(i), QStringLiteral("http://ads.example/"));
        TShellData b = a;
        b.AddBanner(QStringLiteral("one more"), QStringLiteral("x"));
        a.SaveBanners();
        const QByteArray bytesA = readBytes(at("brevantbanner.dat"));
        b.SaveBanners();
        const QByteArray bytesB = readBytes(at("brevantbanner.dat"));
        for (int delay = 1; delay < 80; delay += 4) {
            QVERIFY(
                killWriterMidSave([&](int round) { (round % 2 ? a : b).SaveBanners(); }, delay));
            const QByteArray now = readBytes(at("brevantbanner.dat"));
            QVERIFY2(now == bytesA || now == bytesB, qPrintable(QString::number(now.size())));
        }
    }
};

QTEST_GUILESS_MAIN(TestShellData)
#include "test_shelldata.moc"
