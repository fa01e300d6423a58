#pragma once

#include <QIcon>
#include <QString>

// Our own security zones for the zone icon of a browser window: where an
// address points, judged from its text alone (no name lookup).
enum class TUrlZone {
    LocalMachine, // file: addresses and local paths
    Intranet,     // loopback, private networks, single-label host names
    Internet,     // everything else
};

TUrlZone MapUrlToZone(const QString& url);

// The name shown as the zone icon's hint, and the icon itself.
QString ZoneDisplayName(TUrlZone zone);
QIcon ZoneIcon(TUrlZone zone);
