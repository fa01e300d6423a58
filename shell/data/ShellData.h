#pragma once

#include "platform/LineFile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

class QStandardItemModel;

// The browser's list files beside the program: URL history, the windows
// saved at exit, the banner list, the favorites group tree (two files) and
// one link file per group in the data folder. All are code page 874 line
// files, replaced atomically on every write.

// An input/output error of a list file (a file that cannot be written).
class EInOutError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The name of the user group, kept in a file of its own and always grafted
// as the last top-level group.
QString UserGroupName();

namespace ShellFiles {
QString historyFile();      // brevanturl.dat
QString savedWindowsFile(); // brevantwindow.dat
QString bannerFile();       // brevantbanner.dat
QString groupTreeFile();    // brevantfavorite.dat
QString userGroupFile();    // brevantfavoriteUser.dat
QString dataFolder();       // data
// The link file of a group: data/<name>0.url, the name made safe (below).
QString groupLinksFile(const QString& groupName);

// A group name as a file name (followed by "0.url"): UTF-8, with "%", "/",
// "\", control characters and a leading "." percent-escaped, so that no
// name leaves the data folder; a name too long for the file system is cut
// and given a short hash of the whole name.
QString GroupFileName(const QString& groupName);
// The inverse for names that were not cut.
QString GroupNameFromFileName(const QString& fileName);
} // namespace ShellFiles

// Parallel lists of names and addresses: the banner list (title prefix,
// address prefix) and a group's links (entry name, address).
struct TLinkPairs
{
    QStringList Names;
    QStringList URLs;

    int count() const { return int(Names.size()); }
    void append(const QString& name, const QString& url);
    void removeAt(int index);
    void swap(int i, int j);
    void clear();

    // Pairs of lines; a last name without its address gets an empty one.
    static TLinkPairs fromLines(const QStringList& lines);
    QStringList toLines() const;
};

// One line of a tree file: its depth (leading TABs or blanks) and text.
struct TTreeLine
{
    int level = 0;
    QString text;
};

struct TTreeParse
{
    QList<TTreeLine> lines;
    // A line more than one level deeper than the line before it stops the
    // parse; the lines before it are kept.
    bool levelError = false;
    int errorLine = 0; // 1-based
};

TTreeParse ParseTreeLines(const QStringList& lines);

// The newest `maxSave` entries of a history, oldest first.
QStringList HistorySlice(const QStringList& history, int maxSave);

class TShellData
{
public:
    // In-memory lists.
    QStringList URLHistory;
    TLinkPairs Banners; // BannerNames / BannerURLs
    TLinkPairs Group;   // GroupNames / GroupURLs of CurrentGroup
    QString CurrentGroup;

    // --- URL history ---
    void LoadURLHistory();
    // Writes the newest maxSave entries; nothing when the history is empty
    // or was never loaded. Returns false (file left as it was) on failure.
    bool SaveURLHistory(int maxSave);

    // --- saved windows ---
    // The addresses saved at the last exit; false when the file cannot be
    // opened. The file itself is not changed.
    bool ReadSavedWindows(QStringList& addresses);
    // Writes the non-empty addresses in order; false when it cannot.
    bool SaveWindowList(const QStringList& addresses);

    // --- banner list ---
    void LoadBanners();
    void SaveBanners(); // raises EInOutError
    void AddBanner(const QString& name, const QString& url);
    void DeleteBanner(int index);

    // --- the current group's links ---
    void LoadGroupURLs();
    void SaveGroupURLs(); // raises EInOutError; creates the data folder
    void AddGroupURL(const QString& name, const QString& url) { Group.append(name, url); }
    void DeleteGroupURL(int index) { Group.removeAt(index); }
    void SwapGroupURLs(int i, int j) { Group.swap(i, j); }

    // --- favorites group tree ---
    // Fills `model` from the group tree file and grafts the user group file
    // after it; what could be read of a damaged file is shown (see
    // OnDamagedFile). Without a user group file an empty user group is
    // added.
    void LoadFavoriteTree(QStandardItemModel& model);
    // Writes the user group (the first top-level node named UserGroupName())
    // to its file and the rest to the group tree file; the model is left as
    // it was. Each file is written independently. Raises EInOutError naming
    // every file that could not be written.
    void SaveFavoriteTree(const QStandardItemModel& model);

    // Whether each list was loaded: a list that never was is never written,
    // so an aborted start cannot empty a user's file.
    bool historyLoaded = false;
    bool bannersLoaded = false;
    bool groupLoaded = false;
    bool treeLoaded = false;

    // One rule for every data file: a file that holds more than its reader
    // took (it cannot be read, or not whole; bytes after the Ctrl+Z end
    // mark; tree lines past a level error) is copied to "<file>.bak" (".bak2"
    // and on when that is taken by other bytes) as it is read, before the
    // program can write it again. When no copy can be made, the file is
    // never written over in this run. Each such file is reported here, with
    // its copy (empty when none could be made).
    std::function<void(const QString& file, const QString& backup)> OnDamagedFile;
    // The copies made so far, oldest first.
    QStringList Backups;

private:
    // Checks what a read took against the file (`parseLoss`: lines the
    // parser dropped); copies a damaged file. Returns whether it was whole.
    bool checkRead(const QString& path, const LineFile::ReadResult& read, bool parseLoss = false);
    QString backupDamagedFile(const QString& path);
    // Writes a data file unless it could not be kept; false and *error then.
    bool writeDataFile(const QString& path, const QStringList& lines, QString* error);
    bool loadTreeFile(const QString& path, QStandardItemModel& model, bool* opened);
    QString loadedGroup_;
    QStringList blockedFiles_;
};
