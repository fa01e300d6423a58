// The registry file's reader and writer on hostile text: whatever the file
// holds, what is written reads back to the same file (parse, write, parse,
// write gives the same bytes), and every line the reader cannot take as
// text (not UTF-8) or takes for a comment is written back as it stood.
#include "platform/Registry.h"

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
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray once = RegistryStore::parse(text).serialize();
    const QByteArray twice = RegistryStore::parse(once).serialize();
    check(once == twice);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray& line = lines[n];
        QByteArray bare = line;
        if (bare.endsWith('\r'))
            bare.chop(1);
        if (bare.isEmpty() || (n == 0 && bare == "REGEDIT4"))
            continue;
        const bool utf8 = QString::fromUtf8(bare).toUtf8() == bare;
        if (!utf8 || bare.startsWith(';'))
            check(once.contains(line + '\n'));
    }
    return 0;
}
