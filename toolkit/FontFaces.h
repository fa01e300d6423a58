#pragma once

#include <QString>

// Faces that stored settings and chat colour codes name but a Linux desktop
// lacks. The names stay as they are stored; at display time Qt's font
// substitution draws them with installed faces: "Ms Sans Serif" (and the
// other Windows sans faces) with a Thai-capable sans face, "Courier New"
// with a monospace face, "Wingdings" with a symbol face (fonts-thai-tlwg,
// fonts-dejavu-core, fonts-symbola).
namespace FontFaces {

// Installs the substitutions (again: nothing new). Process-wide.
void InstallSubstitutes();
// The installed face a stored name is drawn with (the name itself when it
// is installed or has no substitute).
QString DisplayFace(const QString& storedName);

} // namespace FontFaces
