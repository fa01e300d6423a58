#include "shell/favorites/FavoritesPanel.h"

#include "platform/Cp874.h"

#include <QStandardItemModel>

namespace {

QByteArray sortKey(const QString& text)
{
    QByteArray key = Cp874::fromUnicode(text);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return key;
}

QStandardItem* findIn(QStandardItem* parent, const QString& name)
{
    for (int r = 0; r < parent->rowCount(); ++r) {
        QStandardItem* child = parent->child(r);
        if (child->text() == name)
            return child;
        if (QStandardItem* found = findIn(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

void SortGroupURLs(TLinkPairs& links, bool byAddress, bool& ascending)
{
    const QStringList& keys = byAddress ? links.URLs : links.Names;
    QList<QByteArray> k;
    for (const QString& s : keys)
        k.append(sortKey(s));
    const int n = links.count();
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const int cmp = k[j].compare(k[i]);
            if (ascending ? cmp < 0 : cmp > 0) {
                links.swap(i, j);
                k.swapItemsAt(i, j);
            }
        }
    ascending = !ascending;
}

QStandardItem* FindGroupNode(const QStandardItemModel& tree, const QString& name)
{
    return findIn(tree.invisibleRootItem(), name);
}

TFavoriteRows FavoriteRows(const QStandardItemModel& tree, const QString& currentGroup,
                           const TLinkPairs& links)
{
    TFavoriteRows result;
    QStandardItem* node = FindGroupNode(tree, currentGroup);
    if (node) {
        result.URLRowBase += node->rowCount();
        if (node->parent()) {
            result.rows.append({TFavoriteRow::Parent, QStringLiteral(".."), 10});
            ++result.URLRowBase;
        }
        for (int r = 0; r < node->rowCount(); ++r)
            result.rows.append({TFavoriteRow::Subgroup, node->child(r)->text(), 9});
    }
    for (const QString& name : links.Names)
        result.rows.append({TFavoriteRow::Link, name, 0});
    return result;
}

TFavoriteSelection SelectFavoriteRow(const TFavoriteRows& rows, int row, const TLinkPairs& links,
                                     bool hasBrowser)
{
    TFavoriteSelection s;
    if (row < 0 || row >= rows.rows.size())
        return s;
    s.del = s.go = s.up = s.down = s.edit = s.move = s.goMenu = s.goNewMenu = true;
    s.SelectedFavorite = row - (rows.URLRowBase - 1);
    if (s.SelectedFavorite < 0 || s.SelectedFavorite >= links.count()) {
        s.del = s.up = s.down = s.edit = s.move = s.goNewMenu = false;
        s.SelectedFavorite = qMin(s.SelectedFavorite, -1);
        s.status = QStringLiteral(">>") + rows.rows[row].caption;
        return s;
    }
    s.up = s.SelectedFavorite > 0;
    s.down = row < rows.rows.size() - 1;
    s.status = links.URLs[s.SelectedFavorite];
    s.goMenu = hasBrowser;
    return s;
}

QString GroupNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("กรุณาป้อนชื่อกลุ่ม");
    for (QChar c : name)
        if (c == '/' || c == '\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("ชื่อกลุ่มห้ามมีเครื่องหมาย / หรือ \\ หรืออักขระควบคุม");
    if (name.contains(QStringLiteral("..")))
        return QStringLiteral("ชื่อกลุ่มห้ามมี \"..\"");
    return QString();
}

bool MoveGroupURL(TShellData& data, int index, const QString& target)
{
    if (index < 0 || index >= data.Group.count() || target == data.CurrentGroup)
        return false;
    const QString source = data.CurrentGroup;
    const QString name = data.Group.Names[index];
    const QString url = data.Group.URLs[index];
    // The file then holds exactly what the user sees, sorted and edited.
    data.SaveGroupURLs();

    data.CurrentGroup = target;
    data.LoadGroupURLs();
    data.AddGroupURL(name, url);
    data.SaveGroupURLs();

    data.CurrentGroup = source;
    data.LoadGroupURLs();
    data.DeleteGroupURL(index);
    data.SaveGroupURLs();
    return true;
}
