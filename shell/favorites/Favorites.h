#pragma once

#include "toolkit/Classes.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

#include <QMenu>
#include <QMenuBar>

class QAction;

// Internet Shortcut files (".url"): an ini-style text whose
// "[InternetShortcut]" section holds the address as "URL=".
namespace InternetShortcut {
// The address, or empty when the file has none or cannot be read.
QString Read(const QString& path);
bool Write(const QString& path, const QString& url);
// A caption made into a file name: no path separators, control characters,
// leading dots or characters that file managers choke on.
QString FileNameFor(const QString& caption);
} // namespace InternetShortcut

// The favorites folder as a tree: subfolders and shortcuts, each sorted by
// name without regard to case. Linked folders are followed, but never into
// a folder already shown, so a link loop ends.
struct TFavoriteShortcut
{
    QString Caption; // the file name without ".url", cut to 40 characters + "..."
    QString URL;
    QString Path;
};

struct TFavoriteFolder
{
    QString Name;
    QString Path;
    QList<TFavoriteFolder> Folders;
    QList<TFavoriteShortcut> Shortcuts;
};

TFavoriteFolder ReadFavoriteFolder(const QString& path);

// The browser control the favorites open in and that "add" reads.
class TFavoritesWebBrowser
{
public:
    virtual ~TFavoritesWebBrowser() = default;
    virtual QString LocationName() const = 0;
    virtual QString LocationURL() const = 0;
    virtual void Navigate(const QString& url) = 0;
};

enum class TFavOption {
    AddFavorites = 1,
    OrganizeFavorites = 2,
    ImportFavorites = 4,
    ExportFavorites = 8
};

// Builds a menu from the user's favorites folder: one submenu per folder,
// one item per shortcut, and the add, organise, import and export commands.
class TFavorites : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)

public:
    explicit TFavorites(QObject* owner = nullptr,
                        const QString& name = QStringLiteral("Fav_Favorite"));

    // The folder of the user's favorites: $XDG_DATA_HOME/brevant/Favorites.
    static QString DefaultFolder();

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption) { caption_ = caption; }
    QString AddToFavoritesCaption = QStringLiteral("&Add to Favorites ...");
    QString OrganizeFavoritesCaption = QStringLiteral("&Organize Favorites ...");
    QString ImportFavoritesCaption = QStringLiteral("&Import Favorites ...");
    QString ExportFavoritesCaption = QStringLiteral("&Export Favorites ...");
    int Options = 15; // TFavOption flags
    int Menupos = 1;
    QPointer<QMenuBar> MainMenu;
    TFavoritesWebBrowser* Webbrowser = nullptr; // not owned
    QString FavoritesFolder;                    // set by CreateMenu when empty

    // Fired before a favorite opens: may refuse it.
    std::function<void(const QString& url, bool& allow)> OnNavigate;
    // Asks for the name of a new favorite (the page title is offered);
    // false cancels. Tests replace it.
    std::function<bool(QString& name)> AskFavoriteName;
    // Asks for a bookmark file to import from or export to; empty cancels.
    std::function<QString(bool import)> AskBookmarkFile;

    void CreateMenu();
    void RebuildMenu();
    QMenu* Root() const { return root_; }

    // Command handlers.
    void AddFavoriteClick();
    void RunOrganizeDialog();
    void ImportFavoritesClick();
    void ExportFavoritesClick();
    void FavoriteItemClick(QAction* item);

    // Bookmark files (the HTML form other browsers exchange).
    bool ImportFrom(const QString& file);
    bool ExportTo(const QString& file) const;

private:
    void buildCommands();
    void buildFolder(QMenu* parent, const TFavoriteFolder& folder);
    QString caption_ = QStringLiteral("Favorites");
    QPointer<QMenu> root_;
};
