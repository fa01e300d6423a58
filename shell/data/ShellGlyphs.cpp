#include "shell/data/ShellGlyphs.h"

#include "shell/data/ShippedPages.h"

QImage ShellGlyph(const QString& name)
{
    InitShellResources();
    const QImage strip(QStringLiteral(":/glyphs/%1.png").arg(name));
    // Opaque pixels only: the key colour marks what is transparent.
    return strip.isNull() ? QImage() : strip.convertToFormat(QImage::Format_RGB32);
}
