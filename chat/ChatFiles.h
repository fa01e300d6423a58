#pragma once

#include <QString>
#include <QStringList>

// Files of the chat plug-in beside the program, and the trimming counts of
// its logs.
namespace Zentrel {

// The data folder of the program folder.
QString ChatDataFolder();
// "data/ircserver.txt": one server per line.
QString ServerListFile();
// The servers of the file, each trimmed, blank lines left out; empty when
// the file is missing.
QStringList ReadServerList(const QString& path = ServerListFile());
// Creates an empty server list file (and the data folder) when there is
// none, so that a text editor can open it; false when it cannot be made.
bool EnsureServerListFile(const QString& path = ServerListFile());

// The raw log and every chat window keep at most 150 lines: past that their
// first 50 go.
int RawLogExcess(int lines);
int ChatLogExcess(int lines);
// While the server window is not active its status log is cut back to 300.
int StatusLogExcess(int lines, bool active);

} // namespace Zentrel
