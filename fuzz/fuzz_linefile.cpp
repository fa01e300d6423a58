// Line files (code page 874, CR LF) on hostile bytes: the lines read from
// any bytes are written and read back as the same lines, no line holds a
// line feed or the Ctrl+Z that ends the text, and writing then reading
// gives bytes that read the same.
#include "platform/LineFile.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = LineFile::splitLines(bytes);
    for (const QString& line : lines)
        check(!line.contains(QChar('\n')) && !line.contains(QChar(0x1a)));
    const QByteArray written = LineFile::joinLines(lines);
    check(LineFile::splitLines(written) == lines);
    check(LineFile::joinLines(LineFile::splitLines(written)) == written);
    // No more lines than line feeds, plus the last one.
    check(lines.size() <= bytes.count('\n') + 1);
    return 0;
}
