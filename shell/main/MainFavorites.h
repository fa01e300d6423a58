#pragma once

#include "shell/favorites/Favorites.h"

#include <QPointer>

class TF_Main;
class TMenuItem;

// The Favorites menu's view of the main window's active browser window:
// "add" reads the page shown there and a favorite opens there.
class TActiveBrowserFavorites : public TFavoritesWebBrowser
{
public:
    explicit TActiveBrowserFavorites(TF_Main& main);
    QString LocationName() const override;
    QString LocationURL() const override;
    void Navigate(const QString& url) override;

private:
    QPointer<TF_Main> main_;
};

// The main window's Favorites menu: the component with its captions, its
// place in the main menu and the active browser window as its control.
class TMainFavorites : public TFavorites
{
    Q_OBJECT
public:
    TMainFavorites(TF_Main& main, const QString& name);
    ~TMainFavorites() override;

    // The add-to-favorites command of the built menu (null before the menu
    // is built or without that command).
    QAction* AddFavoriteAction() const;
    void SetAddEnabled(bool enabled);

    // A menu entry whose first item stands for the add command: enabling or
    // disabling that item does the same to the command. Browser windows
    // switch the command through it.
    TMenuItem* RootItem() const { return rootItem_; }

private:
    TActiveBrowserFavorites browser_;
    TMenuItem* rootItem_;
};
