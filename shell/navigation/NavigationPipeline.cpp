#include "shell/navigation/NavigationPipeline.h"

namespace {

bool startsWithListed(const QStringList& prefixes, const QString& text)
{
    for (const QString& prefix : prefixes)
        if (!prefix.isEmpty() && text.startsWith(prefix, Qt::CaseSensitive))
            return true;
    return false;
}

} // namespace

bool IsBannerTitle(const TLinkPairs& banners, const QString& title)
{
    return startsWithListed(banners.Names, title);
}

TNavigationRoute RouteNavigation(const TNavigationContext& context, const QString& url,
                                 bool topLevel, bool byPage)
{
    TNavigationRoute route;
    if (context.useBanner && topLevel && startsWithListed(context.banners.URLs, url)) {
        route.step = TNavigationStep::Banner;
        return route;
    }
    if (context.useTelnet && url.startsWith(QLatin1String("telnet:"), Qt::CaseSensitive)) {
        route.step = topLevel && !byPage ? TNavigationStep::Telnet : TNavigationStep::Refuse;
        route.address = QString(url).remove(QLatin1Char('/'));
        return route;
    }
    const int plugin = context.claimingPlugin ? context.claimingPlugin(url) : -1;
    if (plugin >= 0) {
        route.step = topLevel && !byPage ? TNavigationStep::Plugin : TNavigationStep::Refuse;
        route.plugin = plugin;
        return route;
    }
    return route;
}
