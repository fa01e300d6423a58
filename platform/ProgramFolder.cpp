#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramFolder()
{
    QString folder = qEnvironmentVariable("BREVANT_HOME");
    if (folder.isEmpty()) {
        if (QCoreApplication::instance())
            folder = QCoreApplication::applicationDirPath();
        else
            folder =
                QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
    }
    folder = QDir::cleanPath(folder);
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}
