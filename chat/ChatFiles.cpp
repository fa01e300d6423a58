#include "chat/ChatFiles.h"

#include "platform/AtomicFile.h"
#include "platform/LineFile.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace Zentrel {

QString ChatDataFolder()
{
    return ProgramFolder() + QStringLiteral("/data");
}

QString ServerListFile()
{
    return ChatDataFolder() + QStringLiteral("/ircserver.txt");
}

QStringList ReadServerList(const QString& path)
{
    QStringList servers;
    for (const QString& line : LineFile::read(path).lines) {
        const QString server = line.trimmed();
        if (!server.isEmpty())
            servers << server;
    }
    return servers;
}

bool EnsureServerListFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.isFile();
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    return AtomicFile::write(path, QByteArray());
}

int RawLogExcess(int lines)
{
    return lines > 150 ? 50 : 0;
}

int ChatLogExcess(int lines)
{
    return lines > 150 ? 50 : 0;
}

int StatusLogExcess(int lines, bool active)
{
    return !active && lines > 300 ? lines - 300 : 0;
}

} // namespace Zentrel
