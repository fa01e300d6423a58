#include "shell/data/ShellData.h"

#include "platform/AtomicFile.h"
#include "platform/FileNames.h"
#include "platform/LineFile.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>

QString UserGroupName()
{
    return QStringLiteral("เว็บผู้ใช้");
}

namespace ShellFiles {

QString historyFile()
{
    return ProgramFolder() + QStringLiteral("/brevanturl.dat");
}
QString savedWindowsFile()
{
    return ProgramFolder() + QStringLiteral("/brevantwindow.dat");
}
QString bannerFile()
{
    return ProgramFolder() + QStringLiteral("/brevantbanner.dat");
}
QString groupTreeFile()
{
    return ProgramFolder() + QStringLiteral("/brevantfavorite.dat");
}
QString userGroupFile()
{
    return ProgramFolder() + QStringLiteral("/brevantfavoriteUser.dat");
}
QString dataFolder()
{
    return ProgramFolder() + QStringLiteral("/data");
}

QString groupLinksFile(const QString& groupName)
{
    return dataFolder() + '/' + GroupFileName(groupName) + QStringLiteral("0.url");
}

QString GroupFileName(const QString& groupName)
{
    // File names hold at most 255 bytes, and "0.url" follows the name.
    return EscapedFileName(groupName, 255 - 5);
}

QString GroupNameFromFileName(const QString& fileName)
{
    return UnescapedFileName(fileName);
}

} // namespace ShellFiles

// ---- TLinkPairs ----

void TLinkPairs::append(const QString& name, const QString& url)
{
    Names.append(name);
    URLs.append(url);
}

void TLinkPairs::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    Names.removeAt(index);
    URLs.removeAt(index);
}

void TLinkPairs::swap(int i, int j)
{
    if (i < 0 || j < 0 || i >= count() || j >= count())
        return;
    Names.swapItemsAt(i, j);
    URLs.swapItemsAt(i, j);
}

void TLinkPairs::clear()
{
    Names.clear();
    URLs.clear();
}

TLinkPairs TLinkPairs::fromLines(const QStringList& lines)
{
    TLinkPairs pairs;
    for (qsizetype i = 0; i < lines.size(); i += 2)
        pairs.append(lines[i], i + 1 < lines.size() ? lines[i + 1] : QString());
    return pairs;
}

QStringList TLinkPairs::toLines() const
{
    QStringList lines;
    for (int i = 0; i < count(); ++i)
        lines << Names[i] << URLs[i];
    return lines;
}

// ---- tree lines ----

TTreeParse ParseTreeLines(const QStringList& lines)
{
    TTreeParse parse;
    int previous = -1;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString& line = lines[n];
        if (line.isEmpty())
            continue;
        int level = 0;
        while (level < line.size() && (line[level] == '\t' || line[level] == ' '))
            ++level;
        if (level > previous + 1) {
            parse.levelError = true;
            parse.errorLine = int(n + 1);
            break;
        }
        parse.lines.append({level, line.mid(level)});
        previous = level;
    }
    return parse;
}

namespace {

// Appends parsed lines under the model's root: level 0 at the top, each
// deeper line as the last child of the latest line one level up.
void appendTreeLines(QStandardItemModel& model, const QList<TTreeLine>& lines)
{
    QList<QStandardItem*> parents; // parents[k]: the latest node of level k
    for (const TTreeLine& line : lines) {
        auto* item = new QStandardItem(line.text);
        item->setEditable(false);
        if (line.level == 0)
            model.appendRow(item);
        else
            parents[line.level - 1]->appendRow(item);
        parents.resize(line.level);
        parents.append(item);
    }
}

void collectTreeLines(const QStandardItem* item, int level, QStringList& out)
{
    out << QString(level, QChar('\t')) + item->text();
    for (int r = 0; r < item->rowCount(); ++r)
        collectTreeLines(item->child(r), level + 1, out);
}

} // namespace

QStringList HistorySlice(const QStringList& history, int maxSave)
{
    if (maxSave < 0)
        maxSave = 0;
    const qsizetype count = history.size();
    return count <= maxSave ? history : history.mid(count - maxSave);
}

// ---- TShellData ----

QString TShellData::backupDamagedFile(const QString& path)
{
    QFile damaged(path);
    if (!damaged.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = damaged.readAll();
    if (damaged.error() != QFileDevice::NoError)
        return {};
    QString backup = path + QStringLiteral(".bak");
    for (int n = 2; QFile::exists(backup); ++n) {
        // The same damage seen again (by a second reader) is kept once.
        QFile old(backup);
        if (old.open(QIODevice::ReadOnly) && old.readAll() == bytes)
            return backup;
        backup = path + QStringLiteral(".bak") + QString::number(n);
    }
    return AtomicFile::write(backup, bytes, 0644) ? backup : QString();
}

bool TShellData::checkRead(const QString& path, const LineFile::ReadResult& read, bool parseLoss)
{
    // A file that is there but cannot be opened counts as damaged too:
    // lists made in this run must not be written over it.
    const bool unreadable = !read.opened() && QFileInfo::exists(path);
    const bool damaged = unreadable || read.status == LineFile::ReadStatus::ReadError ||
                         read.bytesAfterEnd > 0 || parseLoss;
    if (!damaged)
        return true;
    const QString backup = backupDamagedFile(path);
    if (backup.isEmpty()) {
        if (!blockedFiles_.contains(path))
            blockedFiles_ << path;
    } else if (!Backups.contains(backup)) {
        Backups << backup;
    }
    if (OnDamagedFile)
        OnDamagedFile(path, backup);
    return false;
}

bool TShellData::writeDataFile(const QString& path, const QStringList& lines, QString* error)
{
    if (blockedFiles_.contains(path)) {
        if (error)
            *error = path + QStringLiteral(": kept unchanged, it could not be backed up");
        return false;
    }
    return LineFile::write(path, lines, error);
}

void TShellData::LoadURLHistory()
{
    const LineFile::ReadResult r = LineFile::read(ShellFiles::historyFile());
    checkRead(ShellFiles::historyFile(), r);
    URLHistory = r.lines;
    historyLoaded = true;
}

bool TShellData::SaveURLHistory(int maxSave)
{
    if (!historyLoaded || URLHistory.isEmpty())
        return true;
    return writeDataFile(ShellFiles::historyFile(), HistorySlice(URLHistory, maxSave), nullptr);
}

bool TShellData::ReadSavedWindows(QStringList& addresses)
{
    const LineFile::ReadResult r = LineFile::read(ShellFiles::savedWindowsFile());
    checkRead(ShellFiles::savedWindowsFile(), r);
    addresses = r.lines;
    return r.opened();
}

bool TShellData::SaveWindowList(const QStringList& addresses)
{
    QStringList lines;
    for (const QString& a : addresses)
        if (!a.isEmpty())
            lines << a;
    return writeDataFile(ShellFiles::savedWindowsFile(), lines, nullptr);
}

void TShellData::LoadBanners()
{
    const LineFile::ReadResult r = LineFile::read(ShellFiles::bannerFile());
    checkRead(ShellFiles::bannerFile(), r);
    Banners = TLinkPairs::fromLines(r.lines);
    bannersLoaded = true;
}

void TShellData::SaveBanners()
{
    if (!bannersLoaded)
        return;
    QString error;
    if (!writeDataFile(ShellFiles::bannerFile(), Banners.toLines(), &error))
        throw EInOutError(error.toStdString());
}

void TShellData::AddBanner(const QString& name, const QString& url)
{
    Banners.append(name, url);
}

void TShellData::DeleteBanner(int index)
{
    Banners.removeAt(index);
}

void TShellData::LoadGroupURLs()
{
    const QString path = ShellFiles::groupLinksFile(CurrentGroup);
    const LineFile::ReadResult r = LineFile::read(path);
    checkRead(path, r);
    Group = TLinkPairs::fromLines(r.lines);
    loadedGroup_ = CurrentGroup;
    groupLoaded = true;
}

void TShellData::SaveGroupURLs()
{
    if (!groupLoaded)
        return;
    // The links in memory belong to the group they were read from, whatever
    // CurrentGroup says by now.
    QString error;
    if (!QDir().mkpath(ShellFiles::dataFolder()))
        throw EInOutError("cannot create the folder " + ShellFiles::dataFolder().toStdString());
    if (!writeDataFile(ShellFiles::groupLinksFile(loadedGroup_), Group.toLines(), &error))
        throw EInOutError(error.toStdString());
}

bool TShellData::loadTreeFile(const QString& path, QStandardItemModel& model, bool* opened)
{
    const LineFile::ReadResult r = LineFile::read(path);
    *opened = r.opened();
    const TTreeParse parse = ParseTreeLines(r.lines);
    appendTreeLines(model, parse.lines);
    return checkRead(path, r, parse.levelError);
}

void TShellData::LoadFavoriteTree(QStandardItemModel& model)
{
    model.clear();
    bool opened = false;
    loadTreeFile(ShellFiles::groupTreeFile(), model, &opened);
    const int topBefore = model.rowCount();
    loadTreeFile(ShellFiles::userGroupFile(), model, &opened);
    if (!opened && model.rowCount() == topBefore) {
        auto* user = new QStandardItem(UserGroupName());
        user->setEditable(false);
        model.appendRow(user);
    }
    treeLoaded = true;
}

void TShellData::SaveFavoriteTree(const QStandardItemModel& model)
{
    if (!treeLoaded)
        return;
    QStringList mainLines;
    QStringList userLines;
    bool userFound = false;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QStandardItem* item = model.item(r);
        if (!userFound && item->text() == UserGroupName()) {
            userFound = true;
            collectTreeLines(item, 0, userLines);
        } else {
            collectTreeLines(item, 0, mainLines);
        }
    }
    QStringList failed;
    const auto save = [&](const QString& path, const QStringList& lines) {
        QString error;
        if (!writeDataFile(path, lines, &error))
            failed << error;
    };
    save(ShellFiles::userGroupFile(), userLines);
    save(ShellFiles::groupTreeFile(), mainLines);
    if (!failed.isEmpty())
        throw EInOutError(failed.join('\n').toStdString());
}
