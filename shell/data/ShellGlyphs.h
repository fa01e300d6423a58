#pragma once

#include <QImage>
#include <QString>

// A glyph strip of the shell's buttons from the program's resources
// ("back", "stop16", ...): square cells on a fuchsia ground, whose
// bottom-left pixel is the transparent colour. A null image when there is
// no glyph of that name.
QImage ShellGlyph(const QString& name);
