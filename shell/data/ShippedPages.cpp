#include "shell/data/ShippedPages.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void InitShellResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(Brevant);
        return true;
    }();
    Q_UNUSED(done);
}

bool InstallShippedPages(const QString& programFolder)
{
    InitShellResources();
    const QString folder = programFolder + QStringLiteral("/pages");
    if (!QDir().mkpath(folder))
        return false;
    bool ok = true;
    for (const char* name : {"index.html", "start.html"}) {
        const QString target = folder + u'/' + QLatin1String(name);
        if (QFileInfo::exists(target))
            continue;
        QFile source(QStringLiteral(":/pages/") + QLatin1String(name));
        if (!source.open(QIODevice::ReadOnly) || !AtomicFile::write(target, source.readAll()))
            ok = false;
    }
    return ok;
}
