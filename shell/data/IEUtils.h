#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The web engine's version, and the byte routines of item-ID lists.

// The version text of the web engine library ("6.4.2"), or an empty text
// when it cannot be found. Never fails.
QString GetIEVersion();
// The same, read from the library files in `folder` (exposed for tests).
QString GetIEVersionFromFolder(const QString& folder);
// The first three characters of a version text as a number: "5.50" gives
// 5.5, "6.00" gives 6; an empty or non-numeric text gives 0.
double IEVersionFromText(const QString& version);

// Item-ID lists: items that each begin with a 16-bit little-endian byte
// count (the two count bytes included), ended by a count of 0. Every walk is
// bounded by the buffer it is given: an item that would run past the end, a
// count below 2, or a missing terminator makes the list malformed.

// Offset of the item after the first one, or -1 when the first item is the
// terminator or does not fit in the buffer.
qsizetype NextPIDL(QByteArrayView list);
// Total size in bytes, terminator included; 0 for an empty buffer or a
// malformed list.
qsizetype PIDLSize(QByteArrayView list);
// A zero-filled list buffer of `size` bytes (empty for a size below 1).
QByteArray AllocPIDL(qsizetype size);
// A copy of the whole list, terminator included; empty when malformed.
QByteArray CopyPIDL(QByteArrayView list);
