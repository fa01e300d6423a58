#include "shell/favorites/Favorites.h"

#include "platform/AtomicFile.h"
#include "platform/Cp874.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

// ---- Internet Shortcut files ----

namespace InternetShortcut {

QString Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.read(1 << 20);
    // Our own files are UTF-8; others may be in the Thai code page.
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter))
        text = Cp874::toUnicode(bytes);
    bool inSection = false;
    for (QString line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inSection = line.compare(QLatin1String("[InternetShortcut]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && line.startsWith(QLatin1String("URL="), Qt::CaseInsensitive))
            return line.mid(4);
    }
    return QString();
}

bool Write(const QString& path, const QString& url)
{
    const QByteArray text = "[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n";
    return AtomicFile::write(path, text);
}

QString FileNameFor(const QString& caption)
{
    QString name;
    for (QChar c : caption) {
        if (c.unicode() < 0x20 || c == QChar(0x7F) || QStringLiteral("/\\:*?\"<>|").contains(c))
            name += '_';
        else
            name += c;
    }
    name = name.trimmed();
    while (name.startsWith('.'))
        name.remove(0, 1);
    // Leave room for ".url" and a " (n)" suffix within the 255-byte limit.
    while (name.toUtf8().size() > 200)
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Favorite") : name;
}

} // namespace InternetShortcut

// ---- the folder tree ----

namespace {

const QString kEmptyCaption = QStringLiteral("( Empty )");

bool lessWithoutCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

TFavoriteFolder readFolder(const QString& path, QSet<QString>& seen)
{
    TFavoriteFolder folder;
    folder.Path = path;
    folder.Name = QFileInfo(path).fileName();
    const QDir dir(path);
    QStringList folders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    std::sort(folders.begin(), folders.end(), lessWithoutCase);
    for (const QString& name : folders) {
        if (name.startsWith('.'))
            continue;
        const QString sub = dir.filePath(name);
        const QString real = QFileInfo(sub).canonicalFilePath();
        if (real.isEmpty() || seen.contains(real))
            continue; // a link back into what is shown already
        seen.insert(real);
        folder.Folders.append(readFolder(sub, seen));
    }
    QStringList files =
        dir.entryList({QStringLiteral("*.url")}, QDir::Files | QDir::Hidden | QDir::System);
    std::sort(files.begin(), files.end(), lessWithoutCase);
    for (const QString& name : files) {
        TFavoriteShortcut s;
        s.Caption = name.chopped(4);
        if (s.Caption.size() > 40)
            s.Caption = s.Caption.left(40) + QStringLiteral("...");
        s.Path = dir.filePath(name);
        s.URL = InternetShortcut::Read(s.Path);
        folder.Shortcuts.append(s);
    }
    return folder;
}

QString htmlEscape(const QString& text)
{
    return text.toHtmlEscaped();
}

QString htmlUnescape(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

QString uniquePath(const QDir& dir, const QString& base, const QString& suffix)
{
    QString path = dir.filePath(base + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
    return path;
}

void exportFolder(const TFavoriteFolder& folder, int depth, QString& out)
{
    const QString indent(depth * 4, ' ');
    out += indent + QStringLiteral("<DL><p>\n");
    for (const TFavoriteFolder& sub : folder.Folders) {
        out += indent + QStringLiteral("    <DT><H3>") + htmlEscape(sub.Name) +
               QStringLiteral("</H3>\n");
        exportFolder(sub, depth + 1, out);
    }
    for (const TFavoriteShortcut& s : folder.Shortcuts)
        out += indent + QStringLiteral("    <DT><A HREF=\"") + htmlEscape(s.URL) +
               QStringLiteral("\">") + htmlEscape(QFileInfo(s.Path).completeBaseName()) +
               QStringLiteral("</A>\n");
    out += indent + QStringLiteral("</DL><p>\n");
}

} // namespace

TFavoriteFolder ReadFavoriteFolder(const QString& path)
{
    QSet<QString> seen;
    seen.insert(QFileInfo(path).canonicalFilePath());
    return readFolder(path, seen);
}

// ---- TFavorites ----

TFavorites::TFavorites(QObject* owner, const QString& name) : TComponent(owner, name)
{
    AskFavoriteName = [](QString& title) {
        bool ok = false;
        title = QInputDialog::getText(QApplication::activeWindow(), QStringLiteral("Add Favorite"),
                                      QStringLiteral("Name:"), QLineEdit::Normal, title, &ok);
        return ok;
    };
    AskBookmarkFile = [](bool import) {
        return import ? QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                                     QString(),
                                                     QStringLiteral("Bookmarks (*.html *.htm)"))
                      : QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                                     QStringLiteral("bookmarks.html"),
                                                     QStringLiteral("Bookmarks (*.html *.htm)"));
    };
}

QString TFavorites::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/brevant/Favorites");
}

void TFavorites::CreateMenu()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (FavoritesFolder.isEmpty())
        FavoritesFolder = DefaultFolder();
    QDir().mkpath(FavoritesFolder);
    root_ = new QMenu(caption_, MainMenu ? static_cast<QWidget*>(MainMenu) : nullptr);
    root_->setObjectName(Name());
    buildCommands();
    buildFolder(root_, ReadFavoriteFolder(FavoritesFolder));
    if (MainMenu) {
        if (Menupos > 0)
            --Menupos;
        const QList<QAction*> top = MainMenu->actions();
        Menupos = std::min(Menupos, int(top.size()));
        MainMenu->insertMenu(Menupos < top.size() ? top[Menupos] : nullptr, root_);
    }
    QApplication::restoreOverrideCursor();
}

void TFavorites::RebuildMenu()
{
    if (!root_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QList<QAction*> entries = root_->actions();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        root_->removeAction(*it);
        if ((*it)->menu())
            (*it)->menu()->deleteLater();
        (*it)->deleteLater();
    }
    buildCommands();
    buildFolder(root_, ReadFavoriteFolder(FavoritesFolder));
    QApplication::restoreOverrideCursor();
}

void TFavorites::buildCommands()
{
    const auto command = [this](const QString& caption, void (TFavorites::*handler)()) {
        QAction* a = root_->addAction(caption);
        connect(a, &QAction::triggered, this, [this, handler] {
            try {
                (this->*handler)();
            } catch (const std::exception& e) {
                MessageBoxService::MessageBox(nullptr, QString::fromLocal8Bit(e.what()), QString(),
                                              MessageBoxService::MB_ICONERROR);
            }
        });
    };
    if (Options & int(TFavOption::AddFavorites))
        command(AddToFavoritesCaption, &TFavorites::AddFavoriteClick);
    if (Options & int(TFavOption::OrganizeFavorites))
        command(OrganizeFavoritesCaption, &TFavorites::RunOrganizeDialog);
    if (!root_->actions().isEmpty())
        root_->addSeparator();
    // Import and export are our own code, so they are always available.
    const bool import = Options & int(TFavOption::ImportFavorites);
    const bool exportItem = Options & int(TFavOption::ExportFavorites);
    if (import)
        command(ImportFavoritesCaption, &TFavorites::ImportFavoritesClick);
    if (exportItem)
        command(ExportFavoritesCaption, &TFavorites::ExportFavoritesClick);
    if (import || exportItem)
        root_->addSeparator();
}

void TFavorites::buildFolder(QMenu* parent, const TFavoriteFolder& folder)
{
    static QFileIconProvider icons;
    for (const TFavoriteFolder& sub : folder.Folders) {
        QMenu* menu = parent->addMenu(icons.icon(QFileInfo(sub.Path)), sub.Name);
        buildFolder(menu, sub);
    }
    for (const TFavoriteShortcut& s : folder.Shortcuts) {
        QAction* item = parent->addAction(icons.icon(QFileInfo(s.Path)), s.Caption);
        item->setStatusTip(s.URL);
        connect(item, &QAction::triggered, this, [this, item] { FavoriteItemClick(item); });
    }
    if (folder.Folders.isEmpty() && folder.Shortcuts.isEmpty()) {
        QAction* empty = parent->addAction(kEmptyCaption);
        empty->setEnabled(false);
    }
}

void TFavorites::FavoriteItemClick(QAction* item)
{
    const QString url = item ? item->statusTip() : QString();
    bool allow = !url.isEmpty();
    if (OnNavigate)
        OnNavigate(url, allow);
    if (!Webbrowser)
        MessageBoxService::MessageBox(nullptr,
                                      QStringLiteral("No Webbrowser connected to Favorites-menu"),
                                      QString(), MessageBoxService::MB_OK);
    else if (allow)
        Webbrowser->Navigate(url);
}

void TFavorites::AddFavoriteClick()
{
    if (!Webbrowser) {
        MessageBoxService::MessageBox(nullptr,
                                      QStringLiteral("No Webbrowser connected to Favorites-menu"),
                                      QString(), MessageBoxService::MB_OK);
        return;
    }
    const QString url = Webbrowser->LocationURL();
    if (url.isEmpty())
        return;
    QString name = Webbrowser->LocationName();
    if (name.isEmpty())
        name = url;
    if (!AskFavoriteName(name))
        return;
    const QString path = uniquePath(QDir(FavoritesFolder), InternetShortcut::FileNameFor(name),
                                    QStringLiteral(".url"));
    if (!InternetShortcut::Write(path, url))
        throw std::runtime_error("cannot write " + path.toStdString());
    RebuildMenu();
}

void TFavorites::RunOrganizeDialog()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(FavoritesFolder));
    RebuildMenu();
}

void TFavorites::ImportFavoritesClick()
{
    const QString file = AskBookmarkFile(true);
    if (!file.isEmpty() && !ImportFrom(file))
        throw std::runtime_error("cannot import " + file.toStdString());
    RebuildMenu();
}

void TFavorites::ExportFavoritesClick()
{
    const QString file = AskBookmarkFile(false);
    if (!file.isEmpty() && !ExportTo(file))
        throw std::runtime_error("cannot export to " + file.toStdString());
    RebuildMenu();
}

bool TFavorites::ImportFrom(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QString html = QString::fromUtf8(in.read(16 << 20));
    static const QRegularExpression token(
        QStringLiteral("<H3[^>]*>(.*?)</H3>|<A\\s[^>]*HREF=\"([^\"]*)\"[^>]*>(.*?)</A>|<(/?)DL>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QList<QDir> folders{QDir(FavoritesFolder)};
    QString pendingFolder;
    int depth = 0;
    bool ok = true;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty() ||
            m.capturedView(0).startsWith(QLatin1String("<H3"), Qt::CaseInsensitive)) {
            pendingFolder = InternetShortcut::FileNameFor(htmlUnescape(m.captured(1)));
        } else if (!m.captured(2).isEmpty()) {
            const QString name = InternetShortcut::FileNameFor(htmlUnescape(m.captured(3)));
            const QString path = uniquePath(folders.last(), name, QStringLiteral(".url"));
            ok = InternetShortcut::Write(path, htmlUnescape(m.captured(2))) && ok;
        } else if (m.captured(4).isEmpty()) { // <DL>
            ++depth;
            if (depth > 1 && !pendingFolder.isEmpty()) {
                QDir dir = folders.last();
                dir.mkpath(pendingFolder);
                folders.append(QDir(dir.filePath(pendingFolder)));
            } else if (depth > 1) {
                folders.append(folders.last());
            }
            pendingFolder.clear();
        } else { // </DL>
            if (depth > 1 && folders.size() > 1)
                folders.removeLast();
            depth = std::max(0, depth - 1);
        }
    }
    return ok;
}

bool TFavorites::ExportTo(const QString& file) const
{
    QString out =
        QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                       "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                       "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n");
    exportFolder(ReadFavoriteFolder(FavoritesFolder), 0, out);
    return AtomicFile::write(file, out.toUtf8());
}
