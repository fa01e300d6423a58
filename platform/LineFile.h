#pragma once

#include <QString>
#include <QStringList>

// Line-oriented text files in code page 874, as every data file of the
// browser is kept: lines end in CR LF or LF on reading, a Ctrl+Z ends the
// text, nothing is trimmed; writing ends every line with CR LF and replaces
// the file atomically.
namespace LineFile {

enum class ReadStatus {
    Ok,        // the file was read whole
    NotOpened, // missing or not readable: an empty list
    ReadError, // opened, but reading failed part way
};

struct ReadResult
{
    ReadStatus status = ReadStatus::NotOpened;
    QStringList lines;
    // Bytes after the Ctrl+Z that ended the text: kept in the file, not
    // in `lines`.
    qsizetype bytesAfterEnd = 0;
    bool opened() const { return status != ReadStatus::NotOpened; }
};

ReadResult read(const QString& path);
// Splits raw bytes by the reading rules (exposed for tests and callers that
// already hold the bytes).
QStringList splitLines(const QByteArray& bytes);
QByteArray joinLines(const QStringList& lines);

// Returns false (and *error) when the file cannot be written; the old file
// then stays as it was.
bool write(const QString& path, const QStringList& lines, QString* error = nullptr);

} // namespace LineFile
