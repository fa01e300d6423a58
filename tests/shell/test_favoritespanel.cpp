#include "platform/LineFile.h"
#include "shell/favorites/FavoritesPanel.h"

#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Top: "Thai" (subgroups "News", "Shops"), "World"; "News" holds "Sport".
void buildTree(QStandardItemModel& tree)
{
    auto* thai = new QStandardItem(QStringLiteral("Thai"));
    auto* news = new QStandardItem(QStringLiteral("News"));
    news->appendRow(new QStandardItem(QStringLiteral("Sport")));
    thai->appendRow(news);
    thai->appendRow(new QStandardItem(QStringLiteral("Shops")));
    tree.appendRow(thai);
    tree.appendRow(new QStandardItem(QStringLiteral("World")));
}

TLinkPairs links(std::initializer_list<const char*> names)
{
    TLinkPairs l;
    for (const char* n : names)
        l.append(QString::fromUtf8(n), QStringLiteral("http://") + QString::fromUtf8(n) + '/');
    return l;
}

QStringList captions(const TFavoriteRows& rows)
{
    QStringList out;
    for (const TFavoriteRow& r : rows.rows)
        out << QStringLiteral("%1:%2").arg(r.image).arg(r.caption);
    return out;
}

} // namespace

class TestFavoritesPanel : public QObject
{
    Q_OBJECT

private slots:
    void rowsOfATopLevelGroupAndASubgroup()
    {
        QStandardItemModel tree;
        buildTree(tree);
        const TLinkPairs three = links({"a", "b", "c"});
        const TFavoriteRows top = FavoriteRows(tree, QStringLiteral("Thai"), three);
        QCOMPARE(captions(top), (QStringList{"9:News", "9:Shops", "0:a", "0:b", "0:c"}));
        QCOMPARE(top.URLRowBase, 3);
        QCOMPARE(SelectFavoriteRow(top, 2, three, true).SelectedFavorite, 0);

        const TFavoriteRows sub = FavoriteRows(tree, QStringLiteral("News"), three);
        QCOMPARE(captions(sub).mid(0, 2), (QStringList{"10:..", "9:Sport"}));
        QCOMPARE(sub.URLRowBase, 3);

        const TFavoriteRows unknown = FavoriteRows(tree, QStringLiteral("Gone"), three);
        QCOMPARE(captions(unknown), (QStringList{"0:a", "0:b", "0:c"}));
    }

    void whatASelectionEnables()
    {
        QStandardItemModel tree;
        buildTree(tree);
        const TLinkPairs two = links({"a", "b"});
        const TFavoriteRows rows =
            FavoriteRows(tree, QStringLiteral("News"), two); // .., Sport, a, b

        const TFavoriteSelection parent = SelectFavoriteRow(rows, 0, two, true);
        QVERIFY(parent.SelectedFavorite < 0);
        QVERIFY(parent.go && parent.goMenu);
        QVERIFY(!parent.del && !parent.edit && !parent.move && !parent.up && !parent.down &&
                !parent.goNewMenu);
        QCOMPARE(parent.status, QStringLiteral(">>.."));

        const TFavoriteSelection first = SelectFavoriteRow(rows, 2, two, false);
        QCOMPARE(first.SelectedFavorite, 0);
        QVERIFY(!first.up && first.down && first.del && first.go);
        QVERIFY(!first.goMenu); // no browser: only the button goes
        QCOMPARE(first.status, QStringLiteral("http://a/"));

        const TFavoriteSelection last = SelectFavoriteRow(rows, 3, two, true);
        QVERIFY(last.up && !last.down && last.goMenu);

        const TFavoriteSelection none = SelectFavoriteRow(rows, 9, two, true);
        QVERIFY(!none.go && !none.del);
    }

    void sortingFlipsItsDirection()
    {
        TLinkPairs l = links({"b", "A", "c"});
        bool ascending = true;
        SortGroupURLs(l, false, ascending);
        QCOMPARE(l.Names, (QStringList{"A", "b", "c"}));
        QCOMPARE(l.URLs, (QStringList{"http://A/", "http://b/", "http://c/"}));
        QVERIFY(!ascending);
        SortGroupURLs(l, false, ascending);
        QCOMPARE(l.Names, (QStringList{"c", "b", "A"}));

        TLinkPairs mixed = links({"ข่าว", "apple", "กีฬา", "Zoo", "a"});
        ascending = true;
        SortGroupURLs(mixed, false, ascending);
        // Latin before Thai; Thai in code page order (ก before ข).
        QCOMPARE(mixed.Names, (QStringList{"a", "apple", "Zoo", "กีฬา", "ข่าว"}));

        TLinkPairs byAddress;
        byAddress.append(QStringLiteral("x"), QStringLiteral("http://b/"));
        byAddress.append(QStringLiteral("y"), QStringLiteral("http://a/"));
        ascending = true;
        SortGroupURLs(byAddress, true, ascending);
        QCOMPARE(byAddress.Names, (QStringList{"y", "x"}));
    }

    void groupNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::newRow("thai") << QStringLiteral("เว็บข่าว") << false;
        QTest::newRow("dots inside words") << "v1.2" << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blank") << "  " << true;
        QTest::newRow("slash") << "a/b" << true;
        QTest::newRow("backslash") << "a\\b" << true;
        QTest::newRow("dot dot") << ".." << true;
        QTest::newRow("control") << QStringLiteral("a\tb") << true;
    }
    void groupNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, refused);
        QCOMPARE(!GroupNameProblem(name).isEmpty(), refused);
    }

    void aMoveAfterASortMovesTheLinkTheUserSees()
    {
        QTemporaryDir home;
        qputenv("BREVANT_HOME", home.path().toUtf8());
        TShellData data;
        data.CurrentGroup = QStringLiteral("Thai");
        data.LoadGroupURLs();
        data.Group = links({"c", "a", "b"});
        data.SaveGroupURLs();
        bool ascending = true;
        SortGroupURLs(data.Group, false, ascending); // a, b, c: not yet written
        data.AddGroupURL(QStringLiteral("d"), QStringLiteral("http://d/"));

        QVERIFY(MoveGroupURL(data, 0, QStringLiteral("World"))); // "a"
        QCOMPARE(data.CurrentGroup, QStringLiteral("Thai"));
        QCOMPARE(data.Group.Names, (QStringList{"b", "c", "d"}));
        QCOMPARE(LineFile::read(ShellFiles::groupLinksFile(QStringLiteral("Thai"))).lines,
                 (QStringList{"b", "http://b/", "c", "http://c/", "d", "http://d/"}));
        QCOMPARE(LineFile::read(ShellFiles::groupLinksFile(QStringLiteral("World"))).lines,
                 (QStringList{"a", "http://a/"}));

        QVERIFY(!MoveGroupURL(data, 0, QStringLiteral("Thai"))); // to itself: nothing
        QVERIFY(!MoveGroupURL(data, 3, QStringLiteral("World")));
        QCOMPARE(data.Group.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestFavoritesPanel)
#include "test_favoritespanel.moc"
