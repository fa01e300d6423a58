#include "shell/data/ShellDDE.h"

namespace {

bool isSignOrDigit(QChar c)
{
    return c == u'+' || c == u'-' || (c >= u'0' && c <= u'9');
}

// The run of sign and digit characters from `from`, as a number. A run
// that holds no digit, or a sign after its first character, reads as 0;
// one too long for 64 bits reads as 0 with *overflow set.
qint64 numberRun(const QString& text, qsizetype from, qsizetype* end, bool* overflow)
{
    qsizetype i = from;
    while (i < text.size() && isSignOrDigit(text[i]))
        ++i;
    *end = i;
    const QStringView run = QStringView(text).sliced(from, i - from);
    bool ok = false;
    const qint64 value = run.toLongLong(&ok);
    if (!ok) {
        // Digits only (after one sign) that did not convert: too long.
        bool digits = !run.isEmpty();
        for (qsizetype k = 0; k < run.size() && digits; ++k)
            digits = (run[k] >= u'0' && run[k] <= u'9') ||
                     (k == 0 && (run[k] == u'+' || run[k] == u'-') && run.size() > 1);
        if (digits)
            *overflow = true;
        return 0;
    }
    return value;
}

qsizetype firstSignOrDigit(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i)
        if (isSignOrDigit(text[i]))
            return i;
    return -1;
}

} // namespace

QString DDECommandName(const QString& value)
{
    const qsizetype open = value.indexOf(u'[');
    if (open < 0)
        return {};
    const qsizetype paren = value.indexOf(u'(', open + 1);
    if (paren < 0)
        return {};
    return value.mid(open + 1, paren - open - 1);
}

bool ReadDDENames(const TClassesRootReader& read, TDDENames& names)
{
    names = TDDENames();
    if (!read)
        return false;
    try {
        names.htmlApplication = read(QStringLiteral("htmlfile\\shell\\open\\ddeexec\\application"));
        names.htmlTopic = read(QStringLiteral("htmlfile\\shell\\open\\ddeexec\\topic"));
        names.folderApplication = read(QStringLiteral("Folder\\shell\\open\\ddeexec\\application"));
        names.folderTopic = read(QStringLiteral("Folder\\shell\\open\\ddeexec\\topic"));
        names.openCommand = DDECommandName(read(QStringLiteral("Folder\\shell\\open\\ddeexec")));
        names.exploreCommand =
            DDECommandName(read(QStringLiteral("Folder\\shell\\explore\\ddeexec")));
        names.findCommand = DDECommandName(read(QStringLiteral("Directory\\shell\\find\\ddeexec")));
    } catch (...) {
        return false;
    }
    return true;
}

TDDENames ReadDDENames()
{
    TDDENames names;
    // The classes root is not part of the registry file.
    ReadDDENames([](const QString&) { return QString(); }, names);
    return names;
}

TDDECommandKind DDECommandKind(const QString& command, const TDDENames& names)
{
    const QString name = DDECommandName(command);
    if (name.isEmpty())
        return TDDECommandKind::None;
    if (name == names.openCommand)
        return TDDECommandKind::Open;
    if (name == names.exploreCommand)
        return TDDECommandKind::Explore;
    if (name == names.findCommand)
        return TDDECommandKind::Find;
    return TDDECommandKind::None;
}

bool DDECommandPath(const QString& command, QString& path)
{
    path.clear();
    const qsizetype open = command.indexOf(u'"');
    if (open < 0)
        return false;
    const qsizetype close = command.indexOf(u'"', open + 1);
    if (close < 0)
        return false;
    path = command.mid(open + 1, close - open - 1);
    return !path.isEmpty();
}

int DDECommandShowCmd(const QString& command)
{
    const qsizetype first = command.indexOf(u',');
    const qsizetype second = first < 0 ? -1 : command.indexOf(u',', first + 1);
    if (second < 0)
        return 1;
    const qsizetype at = firstSignOrDigit(command, second + 1);
    if (at < 0 || !command[at].isDigit())
        return 1;
    return command[at].unicode() - u'0';
}

TDDEIDListSource DDECommandIDListSource(const QString& command)
{
    TDDEIDListSource source;
    const qsizetype comma = command.indexOf(u',');
    if (comma < 0)
        return source;
    const qsizetype start = firstSignOrDigit(command, comma + 1);
    if (start < 0)
        return source;
    qsizetype end = start;
    source.first = numberRun(command, start, &end, &source.overflow);
    // After the first number: a ":" before any "," brings the second.
    qsizetype i = end;
    while (i < command.size() && command[i] != u':' && command[i] != u',')
        ++i;
    if (i < command.size() && command[i] == u':') {
        const qsizetype next = firstSignOrDigit(command, i + 1);
        if (next >= 0)
            source.second = numberRun(command, next, &end, &source.overflow);
    }
    source.kind = source.second != 0 ? TDDEIDListSource::SharedMemory : TDDEIDListSource::Address;
    return source;
}

QByteArray DDECommandIDList(const QString&)
{
    // Whatever handle, process or address the text names, nothing is taken
    // from it.
    return {};
}

QString DDEHtmlCommandURL(const QString& command)
{
    if (!command.startsWith(u'"'))
        return command;
    const qsizetype close = command.indexOf(u'"', 1);
    return close < 0 ? command.mid(1) : command.mid(1, close - 1);
}

TDDECommandKind ParseDDECommand(const QString& command, const TDDENames& names, QString& path,
                                QByteArray& idList, int& showCmd)
{
    const TDDECommandKind kind = DDECommandKind(command, names);
    if (kind == TDDECommandKind::None)
        return kind;
    DDECommandPath(command, path);
    idList = DDECommandIDList(command);
    showCmd = DDECommandShowCmd(command);
    return kind;
}
