// The main window's favorites panel: the group tree, the list of the
// current group's subgroups and links, and the commands on them.
#include "shell/main/FrmMain.h"

#include "platform/MessageBox.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/favorites/FavoritesPanel.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/favorites/FrmFavorite.h"
#include "toolkit/Controls.h"
#include "toolkit/StandardIcons.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

using namespace MessageBoxService;

namespace {

// The page of the active browser window: its caption and address.
IBrowserWindow* activeBrowser(TF_Main& main)
{
    return main.ActiveWebBrowser() ? dynamic_cast<IBrowserWindow*>(main.ActiveChild()) : nullptr;
}

} // namespace

void TF_Main::BuildFavoritesPanel()
{
    const auto button = [this](const char* name, QWidget* parent) {
        auto* b = new TToolButton(QLatin1String(name), parent);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
        return b;
    };
    SB_CloseFav = button("SB_CloseFav", P_WebURL);
    SB_CloseFav->setIcon(StandardIcon(QStyle::SP_TitleBarCloseButton));
    SB_CloseFav->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SB_AddFavorite = button("SB_AddFavorite", P_WebURL);
    SB_DelFavorite = button("SB_DelFavorite", P_WebURL);
    SB_EditFavorite = button("SB_EditFavorite", P_WebURL);
    SB_UpFavorite = button("SB_UpFavorite", P_WebURL);
    SB_UpFavorite->setArrowType(Qt::UpArrow);
    SB_DownFavorite = button("SB_DownFavorite", P_WebURL);
    SB_DownFavorite->setArrowType(Qt::DownArrow);
    SB_MoveFavorite = button("SB_MoveFavorite", P_WebURL);
    SB_GoFavorite = button("SB_GoFavorite", P_WebURL);

    auto* buttons = new QGridLayout;
    buttons->setSpacing(1);
    buttons->addWidget(SB_AddFavorite, 0, 0);
    buttons->addWidget(SB_DelFavorite, 0, 1);
    buttons->addWidget(SB_EditFavorite, 0, 2);
    buttons->addWidget(SB_CloseFav, 0, 3);
    buttons->addWidget(SB_UpFavorite, 1, 0);
    buttons->addWidget(SB_DownFavorite, 1, 1);
    buttons->addWidget(SB_MoveFavorite, 1, 2);
    buttons->addWidget(SB_GoFavorite, 2, 0, 1, 4);
    auto* list = new QVBoxLayout(P_WebURL);
    list->setContentsMargins(0, 0, 0, 0);
    list->addLayout(buttons);
    list->addWidget(LV_WebURL, 1);

    LV_WebURL->setHeaderLabels({QStringLiteral("ชื่อเว็บ")});
    LV_WebURL->setRootIsDecorated(false);
    LV_WebURL->header()->setSectionsClickable(true);
    LV_WebURL->setContextMenuPolicy(Qt::CustomContextMenu);
    TV_URLGroup->setHeaderHidden(true);
    TV_URLGroup->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(TV_URLGroup->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& node) {
                if (node.isValid())
                    TV_URLGroupChange(node);
            });
    connect(LV_WebURL, &QTreeWidget::itemSelectionChanged, this, &TF_Main::LV_WebURLSelectItem);
    connect(LV_WebURL, &QTreeWidget::itemDoubleClicked, this, [this] { LV_WebURLDblClick(); });
    connect(LV_WebURL->header(), &QHeaderView::sectionClicked, this,
            [this] { LV_WebURLColumnClick(); });
    connect(LV_WebURL, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PM_Favorite->popup(LV_WebURL->viewport()->mapToGlobal(pos));
    });
    connect(SB_GoFavorite, &QToolButton::clicked, this, &TF_Main::LV_WebURLDblClick);
    connect(N_GoFavorite, &QAction::triggered, this, &TF_Main::LV_WebURLDblClick);
    connect(N_GofavoriteNew, &QAction::triggered, this, &TF_Main::N_GofavoriteNewClick);
    connect(SB_AddFavorite, &QToolButton::clicked, this, &TF_Main::SB_AddFavoriteClick);
    connect(N_AddFavorite, &QAction::triggered, this, &TF_Main::SB_AddFavoriteClick);
    connect(SB_EditFavorite, &QToolButton::clicked, this, &TF_Main::SB_EditFavoriteClick);
    connect(N_EditFavorite, &QAction::triggered, this, &TF_Main::SB_EditFavoriteClick);
    connect(SB_DelFavorite, &QToolButton::clicked, this, &TF_Main::SB_DelFavoriteClick);
    connect(N_DelFavorite, &QAction::triggered, this, &TF_Main::SB_DelFavoriteClick);
    connect(SB_UpFavorite, &QToolButton::clicked, this, &TF_Main::SB_UpFavoriteClick);
    connect(SB_DownFavorite, &QToolButton::clicked, this, &TF_Main::SB_DownFavoriteClick);
    connect(SB_MoveFavorite, &QToolButton::clicked, this, &TF_Main::N_MoveFavoriteClick);
    connect(N_MoveFavorite, &QAction::triggered, this, &TF_Main::N_MoveFavoriteClick);
    connect(SB_ChooseFavorite, &QToolButton::clicked, this, &TF_Main::SB_ChooseFavoriteClick);
    connect(SB_CloseFav, &QToolButton::clicked, this, &TF_Main::SB_CloseFavClick);
    LV_WebURLSelectItem();
}

void TF_Main::CreateFavoriteForms()
{
    // The organiser and the entry dialog live for the whole run.
    if (!F_Favorite)
        F_Favorite = new TF_Favorite(this);
    if (!F_EnterURLData)
        F_EnterURLData = new TF_EnterURLData(this);
    SetTreeIcons();
}

void TF_Main::FillFavoriteList()
{
    const TFavoriteRows rows = FavoriteRows(FavoriteTree, Data.CurrentGroup, Data.Group);
    URLRowBase = rows.URLRowBase;
    LV_WebURL->clear();
    for (const TFavoriteRow& row : rows.rows) {
        auto* item = new QTreeWidgetItem(LV_WebURL, {row.caption});
        item->setIcon(0, row.kind == TFavoriteRow::Link
                             ? IM_List.at(1)
                             : StandardIcon(row.kind == TFavoriteRow::Parent
                                                ? QStyle::SP_FileDialogToParent
                                                : QStyle::SP_DirIcon));
    }
    LV_WebURLSelectItem();
}

void TF_Main::SetTreeIcons()
{
    const QIcon withChildren = StandardIcon(QStyle::SP_DirOpenIcon);
    const QIcon without = StandardIcon(QStyle::SP_DirIcon);
    std::function<void(QStandardItem*)> walk = [&](QStandardItem* parent) {
        for (int r = 0; r < parent->rowCount(); ++r) {
            QStandardItem* node = parent->child(r);
            node->setIcon(node->hasChildren() ? withChildren : without);
            walk(node);
        }
    };
    walk(FavoriteTree.invisibleRootItem());
}

void TF_Main::ReloadFavoriteTree()
{
    const QSignalBlocker quiet(TV_URLGroup->selectionModel());
    Data.LoadFavoriteTree(FavoriteTree);
    SetTreeIcons();
    if (QStandardItem* node = FindGroupNode(FavoriteTree, Data.CurrentGroup))
        TV_URLGroup->setCurrentIndex(node->index());
    FillFavoriteList();
}

void TF_Main::ShowCurrentGroup(const QString& group)
{
    SB_ChooseFavorite->SetCaption(group);
}

void TF_Main::AddGroupURL(const QString& name, const QString& url)
{
    Data.AddGroupURL(name, url);
    SaveGroupLinksNow();
    FillFavoriteList();
}

void TF_Main::SaveGroupLinksNow()
{
    // A link the user confirmed is on disk at once, not only at exit.
    try {
        Data.SaveGroupURLs();
    } catch (const EInOutError& e) {
        S_Status->SetSimpleText(QString::fromLocal8Bit(e.what()));
    }
}

void TF_Main::SortGroupURLs(bool byAddress)
{
    ::SortGroupURLs(Data.Group, byAddress, SortAscending);
}

void TF_Main::TV_URLGroupChange(const QModelIndex& node)
{
    // The chosen group shows closed, and so do the groups below it.
    std::function<void(const QModelIndex&)> collapseAll = [&](const QModelIndex& index) {
        for (int r = 0; r < FavoriteTree.rowCount(index); ++r)
            collapseAll(FavoriteTree.index(r, 0, index));
        TV_URLGroup->collapse(index);
    };
    collapseAll(node);
    SortAscending = true;
    try {
        Data.SaveGroupURLs(); // the group being left
    } catch (const EInOutError& e) {
        S_Status->SetSimpleText(QString::fromLocal8Bit(e.what()));
    }
    Data.CurrentGroup = node.data().toString();
    SB_ChooseFavorite->SetCaption(Data.CurrentGroup);
    Data.LoadGroupURLs();
    FillFavoriteList();
    const QSignalBlocker quiet(TV_URLGroup->selectionModel());
    FavoriteTree.sort(0);
}

void TF_Main::LV_WebURLSelectItem()
{
    const TFavoriteRows rows = FavoriteRows(FavoriteTree, Data.CurrentGroup, Data.Group);
    QTreeWidgetItem* item = LV_WebURL->currentItem();
    const int row = item && item->isSelected() ? LV_WebURL->indexOfTopLevelItem(item) : -1;
    const TFavoriteSelection s =
        SelectFavoriteRow(rows, row, Data.Group, ActiveWebBrowser() != nullptr);
    SelectedFavorite = s.SelectedFavorite;
    SB_DelFavorite->setEnabled(s.del);
    N_DelFavorite->setEnabled(s.del);
    SB_GoFavorite->setEnabled(s.go);
    N_GoFavorite->setEnabled(s.goMenu);
    N_GofavoriteNew->setEnabled(s.goNewMenu);
    SB_UpFavorite->setEnabled(s.up);
    SB_DownFavorite->setEnabled(s.down);
    SB_EditFavorite->setEnabled(s.edit);
    N_EditFavorite->setEnabled(s.edit);
    SB_MoveFavorite->setEnabled(s.move);
    N_MoveFavorite->setEnabled(s.move);
    if (row >= 0)
        S_Status->SetSimpleText(s.status);
}

void TF_Main::LV_WebURLDblClick()
{
    QTreeWidgetItem* item = LV_WebURL->currentItem();
    if (!item || !item->isSelected())
        return;
    if (SelectedFavorite < 0) {
        QString target = item->text(0);
        if (target == QLatin1String("..")) {
            const QModelIndex current = TV_URLGroup->currentIndex();
            if (!current.parent().isValid())
                return;
            target = current.parent().data().toString();
        }
        SB_ChooseFavorite->SetCaption(target);
        if (QStandardItem* node = FindGroupNode(FavoriteTree, target))
            TV_URLGroup->setCurrentIndex(node->index());
        return;
    }
    if (SelectedFavorite >= Data.Group.count())
        return;
    const QString url = Data.Group.URLs[SelectedFavorite];
    if (IBrowserWindow* browser = activeBrowser(*this))
        browser->Navigate(url);
    else if (IBrowserWindow* browser = NewBrowserWindow())
        browser->Navigate(url);
}

void TF_Main::N_GofavoriteNewClick()
{
    if (SelectedFavorite < 0 || SelectedFavorite >= Data.Group.count())
        return;
    if (IBrowserWindow* browser = NewBrowserWindow())
        browser->Navigate(Data.Group.URLs[SelectedFavorite]);
}

void TF_Main::SB_AddFavoriteClick()
{
    if (!F_EnterURLData)
        return;
    // The title and address of the page last shown active.
    F_EnterURLData->E_WebName->setText(CurrentTitle);
    F_EnterURLData->E_URL->setText(CurrentURL);
    F_EnterURLData->ExecuteAdd();
    // The dialog may have chosen another group: show where the link went.
    SB_ChooseFavorite->SetCaption(Data.CurrentGroup);
    if (QStandardItem* node = FindGroupNode(FavoriteTree, Data.CurrentGroup)) {
        const QSignalBlocker quiet(TV_URLGroup->selectionModel());
        TV_URLGroup->setCurrentIndex(node->index());
    }
    FillFavoriteList();
}

void TF_Main::SB_EditFavoriteClick()
{
    const int index = SelectedFavorite;
    if (!F_EnterURLData || index < 0 || index >= Data.Group.count())
        return;
    F_EnterURLData->E_WebName->setText(Data.Group.Names[index]);
    F_EnterURLData->E_URL->setText(Data.Group.URLs[index]);
    if (!F_EnterURLData->ExecuteEdit())
        return;
    Data.Group.Names[index] = F_EnterURLData->E_WebName->text();
    Data.Group.URLs[index] = F_EnterURLData->E_URL->text();
    SaveGroupLinksNow();
    if (QTreeWidgetItem* item = LV_WebURL->topLevelItem(URLRowBase - 1 + index))
        item->setText(0, Data.Group.Names[index]);
}

void TF_Main::SB_DelFavoriteClick()
{
    const int index = SelectedFavorite;
    if (index < 0 || index >= Data.Group.count())
        return;
    if (MessageBox(this, QStringLiteral("ยืนยันการลบ"), QStringLiteral("Message"),
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    Data.DeleteGroupURL(index);
    SaveGroupLinksNow();
    FillFavoriteList();
}

namespace {

void swapAndSelect(TF_Main& main, int from, int to)
{
    if (from < 0 || to < 0 || from >= main.Data.Group.count() || to >= main.Data.Group.count())
        return;
    main.Data.SwapGroupURLs(from, to);
    main.SaveGroupLinksNow();
    main.FillFavoriteList();
    if (QTreeWidgetItem* item = main.LV_WebURL->topLevelItem(main.URLRowBase - 1 + to)) {
        main.LV_WebURL->setCurrentItem(item);
        item->setSelected(true);
    }
}

} // namespace

void TF_Main::SB_UpFavoriteClick()
{
    swapAndSelect(*this, SelectedFavorite, SelectedFavorite - 1);
}

void TF_Main::SB_DownFavoriteClick()
{
    swapAndSelect(*this, SelectedFavorite, SelectedFavorite + 1);
}

void TF_Main::N_MoveFavoriteClick()
{
    const int index = SelectedFavorite;
    if (!F_Favorite || index < 0 || index >= Data.Group.count())
        return;
    const QString source = Data.CurrentGroup;
    const TLinkPairs before = Data.Group;
    try {
        Data.SaveGroupURLs(); // the organiser may load another group over these
    } catch (const EInOutError& e) {
        MessageBox(this, QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), MB_ICONWARNING);
        return;
    }
    const bool chosen = F_Favorite->ChooseGroup();
    const QString target = Data.CurrentGroup;
    // Back to the group the link is in, as it was shown.
    Data.CurrentGroup = source;
    Data.LoadGroupURLs();
    Data.Group = before;
    if (chosen && target != source) {
        try {
            MoveGroupURL(Data, index, target);
        } catch (const EInOutError& e) {
            MessageBox(this, QString::fromLocal8Bit(e.what()), QStringLiteral("Error"),
                       MB_ICONWARNING);
        }
    }
    SB_ChooseFavorite->SetCaption(Data.CurrentGroup);
    FillFavoriteList();
}

void TF_Main::SB_ChooseFavoriteClick()
{
    try {
        Data.SaveGroupURLs();
    } catch (const EInOutError& e) {
        MessageBox(this, QString::fromLocal8Bit(e.what()), QStringLiteral("Error"), MB_ICONWARNING);
    }
    if (F_Favorite)
        F_Favorite->ChooseGroup();
    if (QStandardItem* node = FindGroupNode(FavoriteTree, Data.CurrentGroup))
        TV_URLGroup->setCurrentIndex(node->index());
    FillFavoriteList();
}

void TF_Main::LV_WebURLColumnClick()
{
    SortGroupURLs(false);
    SaveGroupLinksNow();
    FillFavoriteList();
}

void TF_Main::SB_CloseFavClick()
{
    ToggleFavoritesPanel();
}

void TF_Main::Splitter1Moved()
{
    RelayoutActiveBrowser();
}
