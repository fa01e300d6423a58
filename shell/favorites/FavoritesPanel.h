#pragma once

#include "shell/data/ShellData.h"

#include <QList>
#include <QString>

class QStandardItem;
class QStandardItemModel;

// The rules of the favorites panel, apart from its widgets: the rows of the
// list, what a selection enables, sorting and moving links.

// Sorts the entries by name (or address) in the direction `ascending`
// gives, then flips it. Keys compare as code page 874 bytes with a-z upper
// cased, so Thai names keep their byte order.
void SortGroupURLs(TLinkPairs& links, bool byAddress, bool& ascending);

struct TFavoriteRow
{
    enum Kind { Parent, Subgroup, Link };
    Kind kind = Link;
    QString caption;
    int image = 0; // 10 "..", 9 a subgroup, 0 a link
};

struct TFavoriteRows
{
    QList<TFavoriteRow> rows;
    // 1 + the number of rows above the first link: link k is row
    // URLRowBase + k - 1.
    int URLRowBase = 1;
};

// The first node of the tree, in tree order, whose text is `name` exactly.
QStandardItem* FindGroupNode(const QStandardItemModel& tree, const QString& name);

// The list of the current group: "..", its subgroups, then its links.
TFavoriteRows FavoriteRows(const QStandardItemModel& tree, const QString& currentGroup,
                           const TLinkPairs& links);

// What a selected row enables.
struct TFavoriteSelection
{
    int SelectedFavorite = 0; // the link's index; negative for ".." and subgroups
    bool del = false, go = false, up = false, down = false, edit = false, move = false;
    bool goMenu = false, goNewMenu = false; // N_GoFavorite, N_GofavoriteNew
    QString status;
};

TFavoriteSelection SelectFavoriteRow(const TFavoriteRows& rows, int row, const TLinkPairs& links,
                                     bool hasBrowser);

// Validates a new group's name: a clear message when it cannot be a group
// (empty, a path separator, "..", a control character), else empty.
QString GroupNameProblem(const QString& name);

// Moves link `index` of the current group to `target`: the current group is
// written first, so what moves is exactly the link the user sees, then it is
// appended to the target's file and removed from the current group. False
// (nothing changed) when the target is the current group or the index is
// out of range. Raises EInOutError when a file cannot be written.
bool MoveGroupURL(TShellData& data, int index, const QString& target);
