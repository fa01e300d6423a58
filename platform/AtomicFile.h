#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Replaces a file atomically: the data goes to a temporary file in the same
// folder, is synced to disk and renamed over the target, so a crash at any
// moment leaves either the old file whole or the new one.
namespace AtomicFile {

// Returns false and sets *error (when given) on failure; the target is then
// unchanged. `mode` applies to a newly written file.
bool write(const QString& path, const QByteArray& data, mode_t mode = 0644,
           QString* error = nullptr);

} // namespace AtomicFile
