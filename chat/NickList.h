#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The nick list of a channel window: entries are nicks, "@" + nick for
// operators and "+" + nick for voiced users, kept in the list's order
// (operators first, then voiced users, then the rest, each group without
// regard to case). Every operation reports the edits a list box makes to
// show the same list, so that its selection survives.
namespace Zentrel {

struct TNickEdit
{
    enum Op { Insert, Remove, Clear };
    Op op = Insert;
    int index = 0;
    QByteArray entry; // for Insert
    bool operator==(const TNickEdit&) const = default;
};
using TNickEdits = QList<TNickEdit>;

// The nick of an entry: one leading "@" or "+" removed.
QByteArray BareNick(QByteArrayView entry);
// The list's order of two entries.
bool NickEntryLess(QByteArrayView a, QByteArrayView b);

class TNickList
{
public:
    const QList<QByteArray>& Entries() const { return entries_; }
    int Count() const { return int(entries_.size()); }
    // The index of the entry nick, "@" + nick or "+" + nick (in this order
    // of preference), or -1.
    int Find(QByteArrayView nick) const;
    bool Contains(QByteArrayView nick) const { return Find(nick) >= 0; }

    // Each blank-separated word of a names reply, not yet listed, is added.
    TNickEdits SetNames(QByteArrayView names);
    // Added only when neither nick, "@" + nick nor "+" + nick is listed.
    TNickEdits AddNick(QByteArrayView nick);
    // The first listed of nick, "@" + nick, "+" + nick is deleted; `removed`
    // tells whether one was.
    TNickEdits RemoveNick(QByteArrayView nick, bool* removed = nullptr);
    // The entry of `oldNick` becomes `newNick` with the same mark.
    TNickEdits Rename(QByteArrayView oldNick, QByteArrayView newNick, bool* renamed = nullptr);
    // On: a listed plain nick becomes "@" + nick; off: "@" + nick becomes the
    // plain nick; "+" entries are not touched.
    TNickEdits SetOperator(QByteArrayView nick, bool on);
    // Emptied, and names replies are taken again.
    TNickEdits Restart();

    // True while names replies may be added (from creation until the end of
    // the names list).
    bool NamesFilling = true;

private:
    TNickEdits insert(const QByteArray& entry);
    TNickEdits removeAt(int index);
    int exact(QByteArrayView entry) const;

    QList<QByteArray> entries_;
};

} // namespace Zentrel
