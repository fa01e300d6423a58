#pragma once

#include "toolkit/Forms.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStandardItemModel>

class TAlLanguager;
class TFavoritesHost;
class TButton;
class TListView;
class TPanel;
class TToolButton;
class TTreeView;

// The favorites organiser: the group tree and the entries of the selected
// group; adds and deletes groups and chooses one. Lives for the whole run;
// its tree is the one saved at exit.
class TF_Favorite : public TForm
{
    Q_OBJECT
public:
    // `host` is the main window whose favorites panel the organiser keeps up
    // to date; without one the organiser edits its own tree only.
    explicit TF_Favorite(TFavoritesHost* host, QWidget* parent = nullptr);

    // Runs the organiser to choose the current group; true when "เลือก"
    // closed it. The selected group becomes current either way.
    bool ChooseGroup();
    // Runs it to pick a group (entries and group commands off).
    bool PickGroup();
    // The group last selected, empty before any.
    QString SelectedGroup() const;

    QStandardItemModel URLTree; // the model of TV_URL
    TTreeView* TV_URL;
    TListView* LV_URL;
    TToolButton* SB_AddURL;
    TToolButton* SB_DeleteURL;
    TButton* BitBtn1;
    TAlLanguager* AL_Language;

    void SetTreeIcons();
    void FillList();
    void TV_URLChange(const QModelIndex& node);
    void LV_URLColumnClick(int column);
    void SB_AddURLClick();
    void SB_DeleteURLClick();
    void BitBtn1Click();
    // Saves and reloads the tree, then refreshes the main window's copy.
    void SaveAndReloadTree();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool run(bool choose);
    void selectNode(const QModelIndex& node);
    TFavoritesHost* host_;
    bool result_ = false;
    QPersistentModelIndex selected_;
};

extern QPointer<TF_Favorite> F_Favorite;
