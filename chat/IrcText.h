#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Byte helpers of the chat plug-in. Text on the wire is code page 874, so
// every comparison "without regard to case" folds ASCII letters only: the
// Thai bytes 0x80-0xFF must never be folded as if they were Latin-1.
namespace Zentrel {

char AsciiUpper(char c);
QByteArray AsciiUpper(QByteArrayView text);
bool EqualsNoCase(QByteArrayView a, QByteArrayView b);
int CompareNoCase(QByteArrayView a, QByteArrayView b);
bool StartsWithNoCase(QByteArrayView text, QByteArrayView prefix);
// The position of `needle` in `text` compared without regard to case, or -1.
qsizetype IndexOfNoCase(QByteArrayView text, QByteArrayView needle);

// Blanks and control bytes (everything up to 0x20) removed at both ends.
QByteArray TrimControls(QByteArrayView text);
// Only blanks removed at the end (what "trailing spaces removed" means).
QByteArray TrimTrailingSpaces(QByteArrayView text);

// The text before the first space (all of it when there is none) and the text
// after that space (empty when there is none). Nothing is trimmed.
QByteArray FirstWord(QByteArrayView text);
QByteArray AfterFirstWord(QByteArrayView text);
// The text after the first ':' (empty when there is none).
QByteArray AfterColon(QByteArrayView text);

// Decimal text with optional blanks around it and nothing else: no sign, no
// other base, at most `max`. Anything else is std::nullopt.
std::optional<quint64> ParseDecimal(QByteArrayView text, quint64 max);

} // namespace Zentrel
