#include "chat/PluginAddress.h"

#include "chat/ChatTexts.h"
#include "chat/WindowNames.h"

#include "platform/ProgramFolder.h"

#include <QDir>

#include <cstring>

namespace Zentrel {

bool ISNavigate(const QString& address)
{
    return address.toUpper().contains(QLatin1String("IRC:"));
}

TNavigateAddress SplitNavigateAddress(const QString& address)
{
    TNavigateAddress r;
    QString a = address;
    // 1. The channel: what follows the first "#", up to a comma, a blank or
    // a control character (a page's "irc:host#a,0" names #a, not "part
    // every channel").
    const qsizetype hash = a.indexOf(u'#');
    if (hash >= 0) {
        r.Channel = CutChannelName(a.mid(hash + 1));
        a.truncate(hash);
    }
    // 2. The scheme.
    const qsizetype scheme = a.toUpper().indexOf(QLatin1String("IRC:"));
    if (scheme < 0)
        return r;
    r.Claimed = true;
    qsizetype start = scheme + 4;
    if (a.mid(start, 2) == QLatin1String("//"))
        start += 2;
    // 3. The nick: the text after the scheme up to the first "@" after it.
    const qsizetype at = a.indexOf(u'@', start);
    if (at >= 0) {
        r.Nick = a.mid(start, at - start);
        a.remove(start, at - start + 1);
    }
    // 4. The server: the rest, without a "/" at its end (the "/" before "#").
    r.Server = a.mid(start);
    while (r.Server.endsWith(u'/'))
        r.Server.chop(1);
    const TServerText split = SplitServerText(r.Server, QString());
    r.Host = split.Host;
    r.Port = split.Port;
    return r;
}

TServerText SplitServerText(const QString& serverText, const QString& defaultPort)
{
    TServerText r;
    const qsizetype colon = serverText.indexOf(u':');
    r.Host = colon < 0 ? serverText : serverText.left(colon);
    if (colon > 0 && colon < serverText.size() - 1)
        r.Port = serverText.mid(colon + 1);
    else
        r.Port = defaultPort;
    if (!r.Port.isEmpty()) {
        bool ok = false;
        const uint port = r.Port.toUInt(&ok, 10);
        r.PortValid = ok && port >= 1 && port <= 65535 && !r.Port.contains(u' ');
    }
    return r;
}

QByteArray PluginNameBytes()
{
    QByteArray name(Texts::PluginName);
    return char(name.size()) + name;
}

void WritePluginName(unsigned char* buffer)
{
    const QByteArray bytes = PluginNameBytes();
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
}

QString DefaultDCCDirectory()
{
    return ProgramFolder() + QStringLiteral("/DCCReceived");
}

void ApplyDCCDirectoryDefault(TZentrelSettings& settings)
{
    if (!settings.DCCDirectory.isEmpty())
        return;
    settings.DCCDirectory = DefaultDCCDirectory();
    QDir().mkpath(settings.DCCDirectory);
}

QString DccReceiveFolder(const TZentrelSettings& settings)
{
    const QString& folder = settings.DCCDirectory;
    if (folder.trimmed().isEmpty()) {
        const QString fallback = DefaultDCCDirectory();
        QDir().mkpath(fallback);
        return fallback;
    }
    if (QDir::isRelativePath(folder))
        return QDir::cleanPath(ProgramFolder() + u'/' + folder);
    return QDir::cleanPath(folder);
}

} // namespace Zentrel
