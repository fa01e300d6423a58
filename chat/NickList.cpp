#include "chat/NickList.h"

#include "chat/IrcText.h"

#include <algorithm>

namespace Zentrel {

namespace {

int rank(QByteArrayView entry)
{
    if (entry.startsWith('@'))
        return 0;
    if (entry.startsWith('+'))
        return 1;
    return 2;
}

} // namespace

QByteArray BareNick(QByteArrayView entry)
{
    if (entry.startsWith('@') || entry.startsWith('+'))
        return entry.sliced(1).toByteArray();
    return entry.toByteArray();
}

bool NickEntryLess(QByteArrayView a, QByteArrayView b)
{
    const int ra = rank(a);
    const int rb = rank(b);
    if (ra != rb)
        return ra < rb;
    const int c = CompareNoCase(a, b);
    if (c != 0)
        return c < 0;
    return a < b;
}

int TNickList::exact(QByteArrayView entry) const
{
    for (int i = 0; i < Count(); ++i)
        if (EqualsNoCase(entries_[i], entry))
            return i;
    return -1;
}

int TNickList::Find(QByteArrayView nick) const
{
    if (nick.isEmpty())
        return -1;
    int i = exact(nick);
    if (i < 0)
        i = exact("@" + nick.toByteArray());
    if (i < 0)
        i = exact("+" + nick.toByteArray());
    return i;
}

TNickEdits TNickList::insert(const QByteArray& entry)
{
    const auto at = std::upper_bound(
        entries_.begin(), entries_.end(), entry,
        [](const QByteArray& a, const QByteArray& b) { return NickEntryLess(a, b); });
    const int index = int(at - entries_.begin());
    entries_.insert(index, entry);
    return {{TNickEdit::Insert, index, entry}};
}

TNickEdits TNickList::removeAt(int index)
{
    entries_.removeAt(index);
    return {{TNickEdit::Remove, index, {}}};
}

TNickEdits TNickList::SetNames(QByteArrayView names)
{
    TNickEdits edits;
    for (const QByteArrayView word : QByteArrayView(names).toByteArray().split(' ')) {
        if (word.isEmpty() || BareNick(word).isEmpty())
            continue;
        if (Find(BareNick(word)) < 0)
            edits += insert(word.toByteArray());
    }
    return edits;
}

TNickEdits TNickList::AddNick(QByteArrayView nick)
{
    if (nick.isEmpty() || Find(nick) >= 0)
        return {};
    return insert(nick.toByteArray());
}

TNickEdits TNickList::RemoveNick(QByteArrayView nick, bool* removed)
{
    const int i = Find(nick);
    if (removed)
        *removed = i >= 0;
    return i < 0 ? TNickEdits() : removeAt(i);
}

TNickEdits TNickList::Rename(QByteArrayView oldNick, QByteArrayView newNick, bool* renamed)
{
    const int i = Find(oldNick);
    if (renamed)
        *renamed = i >= 0 && !newNick.isEmpty();
    if (i < 0 || newNick.isEmpty())
        return {};
    const QByteArray entry = entries_[i];
    const QByteArray mark = (entry.startsWith('@') || entry.startsWith('+')) ? entry.left(1) : "";
    TNickEdits edits = removeAt(i);
    edits += insert(mark + newNick.toByteArray());
    return edits;
}

TNickEdits TNickList::SetOperator(QByteArrayView nick, bool on)
{
    if (nick.isEmpty())
        return {};
    const int i = exact(on ? nick.toByteArray() : "@" + nick.toByteArray());
    if (i < 0)
        return {};
    const QByteArray entry = on ? "@" + entries_[i] : entries_[i].mid(1);
    TNickEdits edits = removeAt(i);
    edits += insert(entry);
    return edits;
}

TNickEdits TNickList::Restart()
{
    entries_.clear();
    NamesFilling = true;
    return {{TNickEdit::Clear, 0, {}}};
}

} // namespace Zentrel
