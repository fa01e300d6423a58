#pragma once

#include "shell/data/ShellData.h"

#include <QString>

#include <functional>

// Where an address goes before the engine loads it: blocked as a banner,
// handed to a terminal window, handed to a plug-in, refused, or loaded.
enum class TNavigationStep { Banner, Telnet, Plugin, Refuse, Load };

struct TNavigationRoute
{
    TNavigationStep step = TNavigationStep::Load;
    QString address; // for Telnet: the address with every "/" removed
    int plugin = -1; // for Plugin: the claiming plug-in's index
};

struct TNavigationContext
{
    bool useBanner = true;
    bool useTelnet = true;
    TLinkPairs banners;
    // The index of the first plug-in claiming the address, or -1.
    std::function<int(const QString&)> claimingPlugin;
};

// The route of one navigation. Only a top-level navigation that the user or
// the program started may hand an address to the terminal or a plug-in:
// the same address in a frame, or set by the page's own script or redirect
// (`byPage`), is refused, so a page cannot open connections on the user's
// behalf.
TNavigationRoute RouteNavigation(const TNavigationContext& context, const QString& url,
                                 bool topLevel, bool byPage = false);

// Whether a page title begins with a listed banner name (case-sensitive;
// empty names are skipped).
bool IsBannerTitle(const TLinkPairs& banners, const QString& title);
