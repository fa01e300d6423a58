#pragma once

#include "shell/main/StandIns.h"

#include <QTemporaryDir>

// Points the program folder, the registry file and the data folder of a test
// at a throwaway folder, and keeps plug-ins out of the main window.
inline void UseThrowawayHome(const QTemporaryDir& dir)
{
    qputenv("BREVANT_HOME", dir.path().toUtf8());
    qputenv("BREVANT_REGISTRY", (dir.path() + QStringLiteral("/registry.reg")).toUtf8());
    qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
    PluginHost().LoadPlugins = [](TF_Main&) {};
    PluginHost().UnloadPlugins = [](TF_Main&) {};
}
