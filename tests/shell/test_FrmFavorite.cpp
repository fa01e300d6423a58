#include "platform/LineFile.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/favorites/FrmEnterURLGroup.h"
#include "shell/favorites/FrmFavorite.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestServices.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using namespace MessageBoxService;

namespace {

// Answers the next modal form of class T with `answer`, as a person would.
template <typename T> void answerModal(std::function<void(T*)> answer)
{
    OnModal([answer = std::move(answer)](QWidget* modal) {
        auto* form = qobject_cast<T*>(modal);
        QVERIFY(form);
        answer(form);
    });
}

QStandardItem* node(TF_Favorite* f, const QString& text)
{
    const QList<QStandardItem*> found =
        f->URLTree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class TestFrmFavorite : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TTestServices services_;
    QString home_;
    QStringList messages_;

    QStringList lines(const QString& name) { return LineFile::read(home_ + u'/' + name).lines; }

    std::unique_ptr<TF_Main> start()
    {
        auto main = std::make_unique<TF_Main>(services_);
        main->show();
        return main;
    }

    void exitSaving(std::unique_ptr<TF_Main>& main)
    {
        answerModal<TF_Exit>([](TF_Exit* exit) { exit->B_OK->click(); });
        main->close();
        QVERIFY(main->ShuttingDown);
        main.reset();
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        home_ = dir_->filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home_));
        qputenv("BREVANT_HOME", home_.toUtf8());
        qputenv("BREVANT_REGISTRY", dir_->filePath(QStringLiteral("registry.reg")).toUtf8());
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
        reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        messages_.clear();
        SetHandler([this](const Request& r) {
            messages_ << r.text;
            return int(IDYES);
        });
        QVERIFY(LineFile::write(
            home_ + QStringLiteral("/brevantfavorite.dat"),
            {QStringLiteral("เว็บในไทย"), QStringLiteral("\tข่าว"), QStringLiteral("เว็บต่างประเทศ")}));
    }

    void cleanup()
    {
        SetHandler({});
        dir_.reset();
    }

    void groupsAreAddedRefusedAndDeleted()
    {
        auto main = start();
        QVERIFY(F_Favorite);
        TF_Favorite* f = F_Favorite;
        f->TV_URL->setCurrentIndex(node(f, QStringLiteral("เว็บในไทย"))->index());
        QVERIFY(!f->SB_DeleteURL->isEnabled()); // top-level groups stay

        const auto addGroup = [&](const QString& name) {
            answerModal<TF_EnterURLGroup>([name](TF_EnterURLGroup* d) {
                d->E_GroupName->setText(name);
                d->SpeedButton1->click();
            });
            f->SB_AddURLClick();
        };
        addGroup(QStringLiteral("Sport"));
        QCOMPARE(lines(QStringLiteral("brevantfavorite.dat")),
                 (QStringList{"เว็บต่างประเทศ", "เว็บในไทย", "\tข่าว", "\tSport"}));
        QCOMPARE(f->SelectedGroup(), QStringLiteral("Sport")); // the new group is current
        QCOMPARE(main->Data.CurrentGroup, QStringLiteral("Sport"));
        QVERIFY(f->SB_DeleteURL->isEnabled());
        // The main window's tree follows.
        QVERIFY(
            !main->FavoriteTree.findItems(QStringLiteral("Sport"), Qt::MatchRecursive).isEmpty());

        addGroup(QStringLiteral("SPORT")); // a duplicate without regard to case
        addGroup(QStringLiteral("a/b"));
        addGroup(QStringLiteral(".."));
        QCOMPARE(messages_.size(), 3);
        QCOMPARE(messages_.first(), QStringLiteral("ไม่สามารถป้อนข้อมูลซ้ำได้"));
        QCOMPARE(lines(QStringLiteral("brevantfavorite.dat")).size(), 4);

        // The close box adds nothing.
        answerModal<TF_EnterURLGroup>([](TF_EnterURLGroup* d) {
            d->E_GroupName->setText(QStringLiteral("Closed"));
            d->close();
        });
        f->SB_AddURLClick();
        QVERIFY(!node(f, QStringLiteral("Closed")));

        // Deleting "Sport" (absolute index 3 of the sorted tree: the user group
        // sorts before "เว็บในไทย") selects the node at index 2 of the tree
        // read back, where the user group is last again.
        f->SB_DeleteURLClick();
        QCOMPARE(lines(QStringLiteral("brevantfavorite.dat")),
                 (QStringList{"เว็บต่างประเทศ", "เว็บในไทย", "\tข่าว"}));
        QCOMPARE(f->SelectedGroup(), QStringLiteral("ข่าว"));
        exitSaving(main);
    }

    void changingGroupsKeepsEditsAndEverythingSurvivesARestart()
    {
        auto main = start();
        TF_Favorite* f = F_Favorite;
        main->AddGroupURL(QStringLiteral("สนุก"), QStringLiteral("http://sanook/"));
        main->AddGroupURL(QStringLiteral("b"), QStringLiteral("http://b/"));
        main->SB_UpFavoriteClick(); // nothing selected: nothing moves
        // Another group chosen in the organiser: the edits of the first are kept.
        f->TV_URL->setCurrentIndex(node(f, QStringLiteral("ข่าว"))->index());
        QCOMPARE(lines(QStringLiteral("data/เว็บในไทย0.url")),
                 (QStringList{"สนุก", "http://sanook/", "b", "http://b/"}));
        QCOMPARE(main->Data.CurrentGroup, QStringLiteral("ข่าว"));
        QCOMPARE(main->SB_ChooseFavorite->Caption(), QStringLiteral("ข่าว"));
        QCOMPARE(main->LV_WebURL->topLevelItemCount(), 1); // ".." only
        main->AddGroupURL(QStringLiteral("news"), QStringLiteral("http://news/"));
        exitSaving(main);

        main = start();
        QCOMPARE(main->Data.CurrentGroup, QStringLiteral("ข่าว"));
        QCOMPARE(main->Data.Group.Names, QStringList{"news"});
        main->LV_WebURL->setCurrentItem(main->LV_WebURL->topLevelItem(0)); // ".."
        main->LV_WebURLDblClick();
        QCOMPARE(main->Data.CurrentGroup, QStringLiteral("เว็บในไทย"));
        QCOMPARE(main->Data.Group.Names, (QStringList{"สนุก", "b"}));
        exitSaving(main);
    }
};

QTEST_MAIN(TestFrmFavorite)
#include "test_FrmFavorite.moc"
