#pragma once

#include "platform/Cp874.h"
#include "telnet/EmulvtScreen.h"

#include <QString>

// The screen's rows as text, each trimmed and ended by a line feed.
inline QString screenText(const TScreen& screen)
{
    QString out;
    for (int r = 0; r < screen.Rows(); ++r) {
        const TLine* line = screen.LineAt(r);
        out += Cp874::toUnicode(
                   QByteArrayView(reinterpret_cast<const char*>(line->Txt.data()), screen.Cols()))
                   .trimmed();
        out += u'\n';
    }
    return out;
}
