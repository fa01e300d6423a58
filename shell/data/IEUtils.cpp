#include "shell/data/IEUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>

namespace {

quint16 countAt(QByteArrayView list, qsizetype offset)
{
    return quint16(uchar(list[offset])) | quint16(quint16(uchar(list[offset + 1])) << 8);
}

} // namespace

QString GetIEVersionFromFolder(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    // The engine library carries its version in its file name:
    // libQt6WebEngineCore.so.6.4.2.
    static const QRegularExpression pattern(
        QStringLiteral("^libQt6WebEngineCore\\.so\\.(\\d+\\.\\d+\\.\\d+)$"));
    // The name the loader uses links to that file: one look, where the
    // folder's listing reads the whole library folder.
    const QString linked =
        QFileInfo(QDir(folder).filePath(QStringLiteral("libQt6WebEngineCore.so.6")))
            .canonicalFilePath();
    if (const QRegularExpressionMatch match = pattern.match(QFileInfo(linked).fileName());
        match.hasMatch())
        return match.captured(1);
    const QStringList files = QDir(folder).entryList({QStringLiteral("libQt6WebEngineCore.so.*")},
                                                     QDir::Files | QDir::System, QDir::Name);
    for (const QString& file : files) {
        const QRegularExpressionMatch match = pattern.match(file);
        if (match.hasMatch())
            return match.captured(1);
    }
    return {};
}

QString GetIEVersion()
{
    // The installed engine does not change while the program runs.
    static const QString version =
        GetIEVersionFromFolder(QLibraryInfo::path(QLibraryInfo::LibrariesPath));
    return version;
}

double IEVersionFromText(const QString& version)
{
    bool ok = false;
    const double value = version.left(3).toDouble(&ok);
    return ok ? value : 0.0;
}

qsizetype NextPIDL(QByteArrayView list)
{
    if (list.size() < 2)
        return -1;
    const quint16 cb = countAt(list, 0);
    if (cb < 2 || cb > list.size())
        return -1;
    return cb;
}

qsizetype PIDLSize(QByteArrayView list)
{
    qsizetype offset = 0;
    while (true) {
        if (list.size() - offset < 2)
            return 0; // no room for a count: no terminator
        const quint16 cb = countAt(list, offset);
        if (cb == 0)
            return offset + 2;
        if (cb < 2 || cb > list.size() - offset)
            return 0;
        offset += cb;
    }
}

QByteArray AllocPIDL(qsizetype size)
{
    if (size < 1)
        return {};
    return QByteArray(size, '\0');
}

QByteArray CopyPIDL(QByteArrayView list)
{
    const qsizetype size = PIDLSize(list);
    if (size == 0)
        return {};
    return list.first(size).toByteArray();
}
