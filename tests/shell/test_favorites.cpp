#include "platform/MessageBox.h"
#include "shell/favorites/Favorites.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList texts(const QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QMenu* submenu(const QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a->menu();
    return nullptr;
}

struct FakeBrowser : TFavoritesWebBrowser
{
    QString name = QStringLiteral("หน้าแรก: News / Today");
    QString url = QStringLiteral("http://news.example/today");
    QStringList navigated;
    QString LocationName() const override { return name; }
    QString LocationURL() const override { return url; }
    void Navigate(const QString& u) override { navigated << u; }
};

} // namespace

class TestFavorites : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        folder_ = dir_->filePath(QStringLiteral("Favorites"));
        QDir().mkpath(folder_);
    }

    void shortcutFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << QByteArray("[InternetShortcut]\r\nURL=http://a/\r\n")
                               << "http://a/";
        QTest::newRow("any case, lf")
            << QByteArray("[internetshortcut]\nurl=http://b/\n") << "http://b/";
        QTest::newRow("other keys first")
            << QByteArray("[DEFAULT]\r\nBASEURL=http://x/"
                          "\r\n[InternetShortcut]\r\nIconIndex=0\r\nURL=http://c/\r\n")
            << "http://c/";
        QTest::newRow("url only in another section")
            << QByteArray("[Other]\r\nURL=http://d/\r\n") << "";
        QTest::newRow("no url") << QByteArray("[InternetShortcut]\r\n") << "";
        QTest::newRow("garbage") << QByteArray("\x00\xff\xfe\x01 binary", 12) << "";
        QTest::newRow("thai code page") << QByteArray("[InternetShortcut]\r\nURL=http://t/\xCA\r\n")
                                        << QStringLiteral("http://t/ส");
    }
    void shortcutFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, url);
        const QString path = dir_->filePath(QStringLiteral("x.url"));
        writeBytes(path, bytes);
        QCOMPARE(InternetShortcut::Read(path), url);
        QVERIFY(InternetShortcut::Write(path, QStringLiteral("http://w/ไทย")));
        QCOMPARE(InternetShortcut::Read(path), QStringLiteral("http://w/ไทย"));
    }

    void captionsBecomeSafeFileNames_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::newRow("thai") << QStringLiteral("ข่าววันนี้") << QStringLiteral("ข่าววันนี้");
        QTest::newRow("separators") << "a/b\\c:d"
                                    << "a_b_c_d";
        QTest::newRow("parent") << "../../etc"
                                << "_.._etc";
        QTest::newRow("hidden") << ".profile"
                                << "profile";
        QTest::newRow("control") << "a\nb"
                                 << "a_b";
        QTest::newRow("empty") << ""
                               << "Favorite";
    }
    void captionsBecomeSafeFileNames()
    {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QCOMPARE(InternetShortcut::FileNameFor(caption), name);
    }

    void theFolderTreeSkipsDotsAndLinkLoops()
    {
        const QString longName = QString(50, QChar('n'));
        writeBytes(folder_ + "/" + longName + ".url", "[InternetShortcut]\r\nURL=http://long/\r\n");
        writeBytes(folder_ + "/b.url", "[InternetShortcut]\r\nURL=http://b/\r\n");
        writeBytes(folder_ + "/A.url", "not a shortcut at all");
        QDir().mkpath(folder_ + "/Empty");
        writeBytes(folder_ + "/.hidden/secret.url", "[InternetShortcut]\r\nURL=http://hidden/\r\n");
        writeBytes(folder_ + "/Only folders/Inner/x.url",
                   "[InternetShortcut]\r\nURL=http://x/\r\n");
        QVERIFY(QFile::link(folder_, folder_ + "/Only folders/Inner/Loop"));

        const TFavoriteFolder tree = ReadFavoriteFolder(folder_);
        QCOMPARE(tree.Folders.size(), 2);
        QCOMPARE(tree.Folders[0].Name, QStringLiteral("Empty"));
        QCOMPARE(tree.Folders[1].Name, QStringLiteral("Only folders"));
        QCOMPARE(tree.Folders[1].Folders[0].Folders.size(), 0); // the loop is not followed
        QCOMPARE(tree.Shortcuts.size(), 3);
        QCOMPARE(tree.Shortcuts[0].Caption, QStringLiteral("A"));
        QCOMPARE(tree.Shortcuts[0].URL, QString());
        QCOMPARE(tree.Shortcuts[1].Caption, QStringLiteral("b"));
        QCOMPARE(tree.Shortcuts[2].Caption, QString(40, QChar('n')) + "...");
    }

    void theMenuGoesWhereMenuposSays()
    {
        writeBytes(folder_ + "/Sub/Deeper/x.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
        QDir().mkpath(folder_ + "/Empty");
        QMenuBar bar;
        for (const char* t : {"File", "Edit", "View", "Go", "Help"})
            bar.addMenu(QString::fromLatin1(t));
        TFavorites fav;
        fav.FavoritesFolder = folder_;
        fav.MainMenu = &bar;
        fav.SetCaption(QStringLiteral("คลังเว็บของ IE"));
        fav.Menupos = 4;
        fav.CreateMenu();
        QCOMPARE(bar.actions()[3]->text(), QStringLiteral("คลังเว็บของ IE"));
        QCOMPARE(fav.Menupos, 3);
        QCOMPARE(texts(fav.Root()), (QStringList{"&Add to Favorites ...", "&Organize Favorites ...",
                                                 "-", "&Import Favorites ...",
                                                 "&Export Favorites ...", "-", "Empty", "Sub"}));
        QCOMPARE(texts(submenu(fav.Root(), "Empty")), QStringList{"( Empty )"});
        QVERIFY(!submenu(fav.Root(), "Empty")->actions()[0]->isEnabled());
        QCOMPARE(texts(submenu(fav.Root(), "Sub")),
                 QStringList{"Deeper"}); // folders only: no "( Empty )"

        TFavorites atEnd;
        atEnd.FavoritesFolder = dir_->filePath(QStringLiteral("none"));
        atEnd.MainMenu = &bar;
        atEnd.Menupos = 99;
        atEnd.Options = 0;
        atEnd.CreateMenu();
        QCOMPARE(bar.actions().last()->text(), QStringLiteral("Favorites"));
        QCOMPARE(texts(atEnd.Root()), QStringList{"( Empty )"});
    }

    void itemsOpenInTheConnectedBrowser()
    {
        writeBytes(folder_ + "/site.url", "[InternetShortcut]\r\nURL=http://site/\r\n");
        writeBytes(folder_ + "/broken.url", "[InternetShortcut]\r\n");
        TFavorites fav;
        fav.FavoritesFolder = folder_;
        fav.Options = 0;
        fav.CreateMenu();
        const QList<QAction*> items = fav.Root()->actions();
        QStringList messages;
        MessageBoxService::ScopedHandler answer([&](const MessageBoxService::Request& r) {
            messages << r.text;
            return int(MessageBoxService::IDOK);
        });
        items[1]->trigger();
        QCOMPARE(messages, QStringList{"No Webbrowser connected to Favorites-menu"});

        FakeBrowser browser;
        fav.Webbrowser = &browser;
        items[1]->trigger();
        items[0]->trigger(); // no address: nothing opens
        QCOMPARE(browser.navigated, QStringList{"http://site/"});
        fav.OnNavigate = [](const QString&, bool& allow) { allow = false; };
        items[1]->trigger();
        QCOMPARE(browser.navigated.size(), 1);
    }

    void addWritesAShortcutAndRebuilds()
    {
        TFavorites fav;
        fav.FavoritesFolder = folder_;
        fav.Options = int(TFavOption::AddFavorites);
        fav.CreateMenu();
        FakeBrowser browser;
        fav.Webbrowser = &browser;
        fav.AskFavoriteName = [](QString&) { return true; };
        fav.AddFavoriteClick();
        fav.AddFavoriteClick(); // the same name again does not overwrite
        const QString first = folder_ + QStringLiteral("/หน้าแรก_ News _ Today.url");
        QCOMPARE(InternetShortcut::Read(first), browser.url);
        QVERIFY(QFile::exists(folder_ + QStringLiteral("/หน้าแรก_ News _ Today (2).url")));
        // Sorted by file name: " (2).url" comes before ".url".
        QCOMPARE(texts(fav.Root()).mid(2), (QStringList{QStringLiteral("หน้าแรก_ News _ Today (2)"),
                                                        QStringLiteral("หน้าแรก_ News _ Today")}));
        browser.url.clear();
        fav.AddFavoriteClick();
        QCOMPARE(QDir(folder_).entryList(QDir::Files).size(), 2);
    }

    void bookmarksExportAndImportBack()
    {
        writeBytes(folder_ + "/News/Thai/ข่าว.url",
                   "[InternetShortcut]\r\nURL=http://th/?a=1&b=2\r\n");
        writeBytes(folder_ + "/top.url", "[InternetShortcut]\r\nURL=http://top/\r\n");
        TFavorites fav;
        fav.FavoritesFolder = folder_;
        const QString file = dir_->filePath(QStringLiteral("bookmarks.html"));
        QVERIFY(fav.ExportTo(file));

        TFavorites other;
        other.FavoritesFolder = dir_->filePath(QStringLiteral("Imported"));
        QDir().mkpath(other.FavoritesFolder);
        QVERIFY(other.ImportFrom(file));
        QCOMPARE(
            InternetShortcut::Read(other.FavoritesFolder + QStringLiteral("/News/Thai/ข่าว.url")),
            QStringLiteral("http://th/?a=1&b=2"));
        QCOMPARE(InternetShortcut::Read(other.FavoritesFolder + "/top.url"),
                 QStringLiteral("http://top/"));
        QVERIFY(!other.ImportFrom(dir_->filePath(QStringLiteral("missing.html"))));
    }
};

QTEST_MAIN(TestFavorites)
#include "test_favorites.moc"
