#pragma once

#include <QTemporaryDir>

// Points the program folder, the registry file and the data folder of a test
// at a throwaway folder (whose Plugins folder does not exist: no plug-in
// loads).
inline void UseThrowawayHome(const QTemporaryDir& dir)
{
    qputenv("BREVANT_HOME", dir.path().toUtf8());
    qputenv("BREVANT_REGISTRY", (dir.path() + QStringLiteral("/registry.reg")).toUtf8());
    qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
}
