// The browser's list files as its readers take them, on hostile bytes: the
// bytes read as lines (code page 874) and those lines read as link pairs
// (the banner list, a group's links) and as the favorites tree, and the names
// in the tree made into the file names of their groups' link files.
//   link pairs: one pair for every two lines, the last name without its
//     address given an empty one; written back, the same lines (and the empty
//     address) come out, and those read again give the same pairs;
//   tree: the first line is at the top, no line is more than one level below
//     the one before it, no text keeps a leading TAB or blank; a level error
//     names the line that stopped the parse; the tree written back (a TAB a
//     level) and read again gives the same lines, without an error;
//   group file names: one name in the data folder whatever the group's name
//     holds (no "/", "\", control character or leading "."), at most 250
//     bytes, read back to the group's name unless it had to be cut.
#include "platform/LineFile.h"
#include "shell/data/ShellData.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkLinkPairs(const QStringList& lines)
{
    const TLinkPairs pairs = TLinkPairs::fromLines(lines);
    check(pairs.Names.size() == pairs.URLs.size());
    check(pairs.count() == (lines.size() + 1) / 2);
    QStringList expected = lines;
    if (expected.size() % 2 != 0)
        expected << QString();
    const QStringList written = pairs.toLines();
    check(written == expected);
    const TLinkPairs again =
        TLinkPairs::fromLines(LineFile::splitLines(LineFile::joinLines(written)));
    check(again.Names == pairs.Names && again.URLs == pairs.URLs);
}

int indentOf(const QString& line)
{
    int level = 0;
    while (level < line.size() && (line[level] == u'\t' || line[level] == u' '))
        ++level;
    return level;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

void checkGroupFileName(const QString& name)
{
    const QString fileName = ShellFiles::GroupFileName(name);
    const QByteArray bytes = fileName.toUtf8();
    check(bytes.size() <= 250);
    check(!bytes.startsWith('.'));
    for (const char c : bytes)
        check(c != '/' && c != '\\' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    if (ShellFiles::GroupNameFromFileName(fileName) == name)
        return;
    // Only a name cut to fit comes back otherwise: it ends in "~" and a
    // short hash, close to the longest file name.
    check(bytes.size() >= 238 && bytes[bytes.size() - 9] == '~');
    for (qsizetype i = bytes.size() - 8; i < bytes.size(); ++i)
        check(isHex(bytes[i]));
}

void checkTree(const QStringList& lines)
{
    const TTreeParse parse = ParseTreeLines(lines);
    check(parse.lines.size() <= lines.size());
    int previous = -1;
    for (const TTreeLine& line : parse.lines) {
        check(line.level >= 0 && line.level <= previous + 1);
        check(line.text.isEmpty() || indentOf(line.text) == 0);
        previous = line.level;
    }
    if (parse.levelError) {
        check(parse.errorLine >= 1 && parse.errorLine <= lines.size());
        check(indentOf(lines[parse.errorLine - 1]) > previous + 1);
    }

    QStringList written;
    for (const TTreeLine& line : parse.lines)
        written << QString(line.level, u'\t') + line.text;
    const TTreeParse again = ParseTreeLines(LineFile::splitLines(LineFile::joinLines(written)));
    check(!again.levelError && again.lines.size() == parse.lines.size());
    for (qsizetype i = 0; i < parse.lines.size(); ++i)
        check(again.lines[i].level == parse.lines[i].level &&
              again.lines[i].text == parse.lines[i].text);

    // The groups at the top name link files; a few of the others too (a
    // group moved to the top keeps its name).
    int named = 0;
    for (const TTreeLine& line : parse.lines)
        if (line.level == 0 || named < 16) {
            checkGroupFileName(line.text);
            ++named;
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = LineFile::splitLines(bytes);
    checkLinkPairs(lines);
    checkTree(lines);
    return 0;
}
