#include "shell/favorites/FrmFavorite.h"

#include "platform/MessageBox.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/ShellData.h"
#include "shell/favorites/FavoritesHost.h"
#include "shell/favorites/FavoritesPanel.h"
#include "shell/favorites/FrmEnterURLGroup.h"
#include "toolkit/Controls.h"
#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

QPointer<TF_Favorite> F_Favorite;

using namespace MessageBoxService;

namespace {

QString localization()
{
    return BuildLocalizationString({
        {"*_*f_favorite_caption", QStringLiteral("Brevant++ - บัญชีรายการเว็บ")},
        {"*_*sb_addurl_caption", QStringLiteral("เพิ่ม")},
        {"*_*sb_deleteurl_caption", QStringLiteral("ลบ")},
        {"*_*bitbtn1_caption", QStringLiteral("เลือก")},
    });
}

// Nodes in tree order (a node, its subtree, then its next sibling).
void walk(QStandardItem* parent, QList<QStandardItem*>& out)
{
    for (int r = 0; r < parent->rowCount(); ++r) {
        out.append(parent->child(r));
        walk(parent->child(r), out);
    }
}

QList<QStandardItem*> nodesInOrder(const QStandardItemModel& model)
{
    QList<QStandardItem*> nodes;
    walk(model.invisibleRootItem(), nodes);
    return nodes;
}

} // namespace

TF_Favorite::TF_Favorite(TFavoritesHost* host, QWidget* parent)
    : TForm(parent, Qt::Dialog), host_(host)
{
    setObjectName(QStringLiteral("F_Favorite"));
    TV_URL = new TTreeView(QStringLiteral("TV_URL"), this);
    TV_URL->setModel(&URLTree);
    TV_URL->setHeaderHidden(true);
    TV_URL->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV_URL->setIndentation(19);
    LV_URL = new TListView(QStringLiteral("LV_URL"), this);
    LV_URL->setHeaderLabels({QStringLiteral("ชื่อเว็บ"), QStringLiteral("URL")});
    LV_URL->setColumnWidth(0, 130);
    LV_URL->setRootIsDecorated(false);
    LV_URL->header()->setSectionsClickable(true);
    SB_AddURL = new TToolButton(QStringLiteral("SB_AddURL"), this);
    SB_DeleteURL = new TToolButton(QStringLiteral("SB_DeleteURL"), this);
    for (TToolButton* b : {SB_AddURL, SB_DeleteURL}) {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
    }
    BitBtn1 = new TButton(QStringLiteral("BitBtn1"), this);
    BitBtn1->setDefault(true);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));

    auto* split = new QSplitter(this);
    split->addWidget(TV_URL);
    split->addWidget(LV_URL);
    split->setStretchFactor(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SB_AddURL);
    buttons->addWidget(SB_DeleteURL);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(550, 313);

    connect(TV_URL->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& node) {
                if (node.isValid())
                    TV_URLChange(node);
            });
    connect(LV_URL->header(), &QHeaderView::sectionClicked, this, &TF_Favorite::LV_URLColumnClick);
    connect(SB_AddURL, &QToolButton::clicked, this, &TF_Favorite::SB_AddURLClick);
    connect(SB_DeleteURL, &QToolButton::clicked, this, &TF_Favorite::SB_DeleteURLClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TF_Favorite::BitBtn1Click);

    AL_Language->SetLanguagesStore(MainLanguagesStore());
    AL_Language->SetLocalizationString(localization());
    if (host_) {
        host_->ShellData().LoadFavoriteTree(URLTree);
        SetTreeIcons();
    }
}

QString TF_Favorite::SelectedGroup() const
{
    return selected_.isValid() ? selected_.data().toString() : QString();
}

void TF_Favorite::SetTreeIcons()
{
    const QIcon withChildren = StandardIcon(QStyle::SP_DirOpenIcon);
    const QIcon without = StandardIcon(QStyle::SP_DirIcon);
    for (QStandardItem* node : nodesInOrder(URLTree))
        node->setIcon(node->hasChildren() ? withChildren : without);
}

bool TF_Favorite::run(bool choose)
{
    result_ = false;
    SetTreeIcons();
    LV_URL->setEnabled(choose);
    SB_AddURL->setEnabled(choose);
    SB_DeleteURL->setEnabled(choose);
    CenterOnScreen();
    ShowModal();
    return result_;
}

bool TF_Favorite::ChooseGroup()
{
    const bool result = run(true);
    if (selected_.isValid() && host_) {
        host_->ShellData().CurrentGroup = SelectedGroup();
        host_->ShowCurrentGroup(SelectedGroup());
    }
    return result;
}

bool TF_Favorite::PickGroup()
{
    return run(false);
}

void TF_Favorite::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    SB_DeleteURL->setEnabled(SB_DeleteURL->isEnabled() && selected_.isValid() &&
                             selected_.parent().isValid());
    if (host_)
        for (QStandardItem* node : nodesInOrder(URLTree))
            if (node->text() == host_->ShellData().CurrentGroup) {
                selectNode(node->index());
                break;
            }
    FillList();
}

void TF_Favorite::selectNode(const QModelIndex& node)
{
    if (TV_URL->currentIndex() == node)
        TV_URLChange(node); // selecting from code acts like a click, even on the same node
    else
        TV_URL->setCurrentIndex(node);
}

void TF_Favorite::FillList()
{
    LV_URL->clear();
    if (!host_)
        return;
    const TLinkPairs& links = host_->ShellData().Group;
    for (int i = 0; i < links.count(); ++i)
        new QTreeWidgetItem(LV_URL, {links.Names[i], links.URLs[i]});
}

void TF_Favorite::TV_URLChange(const QModelIndex& node)
{
    const QString group = node.data().toString();
    URLTree.sort(0);
    selected_ = TV_URL->currentIndex().isValid() ? QPersistentModelIndex(TV_URL->currentIndex())
                                                 : QPersistentModelIndex(node);
    SB_DeleteURL->setEnabled(LV_URL->isEnabled() && selected_.parent().isValid());
    if (!host_)
        return;
    TShellData& data = host_->ShellData();
    try {
        // Changes made to the group being left are kept before another
        // group's links are read over them.
        data.SaveGroupURLs();
    } catch (const EInOutError& e) {
        MessageBox(this, QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), MB_ICONWARNING);
    }
    data.CurrentGroup = group;
    host_->ShowCurrentGroup(group);
    data.LoadGroupURLs();
    host_->FillFavoriteList();
    FillList();
}

void TF_Favorite::LV_URLColumnClick(int column)
{
    if (!host_)
        return;
    host_->SortGroupURLs(column == 1);
    FillList();
}

void TF_Favorite::SaveAndReloadTree()
{
    if (!host_)
        return;
    try {
        host_->ShellData().SaveFavoriteTree(URLTree);
    } catch (const EInOutError& e) {
        MessageBox(this, QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), MB_ICONWARNING);
    }
    selected_ = QPersistentModelIndex();
    host_->ShellData().LoadFavoriteTree(URLTree);
    SetTreeIcons();
    host_->ReloadFavoriteTree();
}

void TF_Favorite::SB_AddURLClick()
{
    TF_EnterURLGroup dialog;
    if (!dialog.Execute())
        return;
    const QString name = dialog.E_GroupName->text();
    const QString problem = GroupNameProblem(name);
    if (!problem.isEmpty()) {
        MessageBox(this, problem, QStringLiteral("Error"), MB_ICONWARNING);
        return;
    }
    for (QStandardItem* node : nodesInOrder(URLTree))
        if (node->text().compare(name, Qt::CaseInsensitive) == 0) {
            MessageBox(this, QStringLiteral("ไม่สามารถป้อนข้อมูลซ้ำได้"), QStringLiteral("Error"),
                       MB_ICONWARNING);
            return;
        }
    auto* item = new QStandardItem(name);
    item->setEditable(false);
    if (selected_.isValid())
        URLTree.itemFromIndex(selected_)->appendRow(item);
    else
        URLTree.appendRow(item);
    SaveAndReloadTree();
    for (QStandardItem* node : nodesInOrder(URLTree))
        if (node->text() == name) {
            TV_URL->expand(node->index().parent());
            selectNode(node->index());
            break;
        }
}

void TF_Favorite::SB_DeleteURLClick()
{
    if (!selected_.isValid() || !selected_.parent().isValid())
        return;
    if (MessageBox(this, QStringLiteral("ยืนยันการลบ"), QStringLiteral("Message"),
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const QList<QStandardItem*> before = nodesInOrder(URLTree);
    QStandardItem* node = URLTree.itemFromIndex(selected_);
    const int index = int(before.indexOf(node));
    node->parent()->removeRow(node->row());
    SaveAndReloadTree();
    const QList<QStandardItem*> after = nodesInOrder(URLTree);
    if (index >= 1 && index - 1 < after.size())
        selectNode(after[index - 1]->index());
}

void TF_Favorite::BitBtn1Click()
{
    result_ = true;
    close();
}
