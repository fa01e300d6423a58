#include "shell/browser/WebBrowser.h"

#include <atomic>

namespace {

constexpr quint32 downloadValues[] = {
    0x10,    0x20,       0x40,       0x80,       0x100,      0x200,   0x400,
    0x800,   0x1000,     0x2000,     0x4000,     0x8000,     0x10000, 0x20000,
    0x40000, 0x10000000, 0x20000000, 0x40000000, 0x80000000,
};
static_assert(std::size(downloadValues) == DLCTL_OFFLINE + 1);

// There is no element for 0x8000.
constexpr quint32 interfaceValues[] = {
    0x1,   0x2,   0x4,   0x8,    0x10,   0x20,   0x40,    0x80,    0x100,
    0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x10000, 0x20000,
};
static_assert(std::size(interfaceValues) == IME_ENABLE_RECONVERSION + 1);

template <typename Set, size_t N> quint32 maskOf(const Set& set, const quint32 (&values)[N])
{
    quint32 mask = 0;
    for (size_t i = 0; i < N; ++i)
        if (set.bits() & (quint64(1) << i))
            mask |= values[i];
    return mask;
}

std::atomic<bool> processOffline{false};

} // namespace

quint32 DownloadControlMask(const TDownloadControlOptions& options)
{
    return maskOf(options, downloadValues);
}

quint32 UserInterfaceMask(const TUserInterfaceOptions& options)
{
    return maskOf(options, interfaceValues);
}

TPageSettings PageSettingsFor(const TDownloadControlOptions& options)
{
    TPageSettings s;
    s.autoLoadImages = options.contains(DLCTL_DLIMAGES);
    s.javascriptEnabled = !options.contains(DLCTL_NO_SCRIPTS);
    // Applets and ActiveX controls are both plug-ins to this engine.
    s.pluginsEnabled =
        !options.contains(DLCTL_NO_JAVA) && !options.contains(DLCTL_NO_RUNACTIVEXCTLS);
    s.noCacheHeaders = options.contains(DLCTL_PRAGMA_NO_CACHE);
    return s;
}

int ClampZoom(int level, int low, int high)
{
    if (level < low)
        return low;
    if (level > high)
        return high;
    return level;
}

TPrintOptions::TPrintOptions(QObject* parent)
    : TPersistent(parent), margins_(new TMargins(this)), htmlHeader_(new TStrings(this))
{
    htmlHeader_->Add(QStringLiteral("<HTML></HTML>"));
}

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent), printOptions_(new TPrintOptions(this))
{
    downloadOptions_ = {DLCTL_DLIMAGES, DLCTL_VIDEOS, DLCTL_BGSOUNDS};
    downloadMask_ = DownloadControlMask(downloadOptions_);
}

void TWebBrowser::SetZoom(int level)
{
    ApplyZoom(ClampZoom(level, ZoomRangeLow(), ZoomRangeHigh()));
}

void TWebBrowser::SetDownloadOptions(const TDownloadControlOptions& options)
{
    downloadOptions_ = options;
    downloadMask_ = DownloadControlMask(options);
    ApplyDownloadOptions();
}

void TWebBrowser::SetUserInterfaceOptions(const TUserInterfaceOptions& options)
{
    uiOptions_ = options;
    uiMask_ = UserInterfaceMask(options);
}

bool TWebBrowser::GetOffline()
{
    return processOffline.load();
}

void TWebBrowser::SetOffline(bool offline)
{
    processOffline.store(offline);
}
