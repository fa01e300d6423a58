#include "shell/browser/UrlZone.h"

#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QHostAddress>
#include <QStyle>
#include <QUrl>

namespace {

bool isPrivateAddress(const QHostAddress& a)
{
    if (a.isLoopback() || a.isLinkLocal() || a.isSiteLocal() || a.isUniqueLocalUnicast())
        return true;
    if (a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    const quint32 v = a.toIPv4Address();
    return (v >> 24) == 10 || (v >> 20) == (172u << 4 | 1u) || (v >> 16) == (192u << 8 | 168u);
}

} // namespace

TUrlZone MapUrlToZone(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TUrlZone::Internet;
    // A bare local path, or a drive letter as users type it.
    if (trimmed.startsWith(QLatin1Char('/')) ||
        (trimmed.size() >= 3 && trimmed[0].isLetter() && trimmed[1] == QLatin1Char(':') &&
         (trimmed[2] == QLatin1Char('\\') || trimmed[2] == QLatin1Char('/'))))
        return TUrlZone::LocalMachine;

    const QUrl url(trimmed);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file"))
        return url.host().isEmpty() || url.host() == QLatin1String("localhost")
                   ? TUrlZone::LocalMachine
                   : TUrlZone::Intranet;
    if (scheme == QLatin1String("view-source"))
        return MapUrlToZone(url.path());

    const QString host = url.host();
    if (host.isEmpty())
        return TUrlZone::Internet;
    QHostAddress address;
    if (address.setAddress(host))
        return isPrivateAddress(address) ? TUrlZone::Intranet : TUrlZone::Internet;
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")) ||
        host.endsWith(QLatin1String(".local")) || !host.contains(QLatin1Char('.')))
        return TUrlZone::Intranet;
    return TUrlZone::Internet;
}

QString ZoneDisplayName(TUrlZone zone)
{
    switch (zone) {
    case TUrlZone::LocalMachine:
        return QStringLiteral("My Computer");
    case TUrlZone::Intranet:
        return QStringLiteral("Local intranet");
    case TUrlZone::Internet:
        break;
    }
    return QStringLiteral("Internet");
}

QIcon ZoneIcon(TUrlZone zone)
{
    if (!QApplication::style())
        return {};
    switch (zone) {
    case TUrlZone::LocalMachine:
        return StandardIcon(QStyle::SP_ComputerIcon);
    case TUrlZone::Intranet:
        return StandardIcon(QStyle::SP_DriveNetIcon);
    case TUrlZone::Internet:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("applications-internet"),
                            StandardIcon(QStyle::SP_DirLinkIcon));
}
