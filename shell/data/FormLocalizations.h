#pragma once

#include <QString>

// The localisation string of each translated form: every caption, hint and
// text the user sees, in Thai.
QString F_MainLocalization();
QString F_ExitLocalization();
QString F_AboutLocalization();
