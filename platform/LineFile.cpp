#include "platform/LineFile.h"

#include "platform/AtomicFile.h"
#include "platform/Cp874.h"

#include <QFile>

namespace LineFile {

QStringList splitLines(const QByteArray& bytes)
{
    QByteArrayView text(bytes);
    const qsizetype eof = text.indexOf('\x1a');
    if (eof >= 0)
        text = text.first(eof);
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        qsizetype stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.append(Cp874::toUnicode(text.sliced(start, stop - start)));
        start = end + 1;
    }
    return lines;
}

QByteArray joinLines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines) {
        out += Cp874::fromUnicode(line);
        out += "\r\n";
    }
    return out;
}

ReadResult read(const QString& path)
{
    ReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray bytes = file.readAll();
    result.status = file.error() == QFileDevice::NoError ? ReadStatus::Ok : ReadStatus::ReadError;
    result.lines = splitLines(bytes);
    const qsizetype end = bytes.indexOf('\x1a');
    if (end >= 0)
        result.bytesAfterEnd = bytes.size() - end - 1;
    return result;
}

bool write(const QString& path, const QStringList& lines, QString* error)
{
    return AtomicFile::write(path, joinLines(lines), 0644, error);
}

} // namespace LineFile
