#pragma once

#include "chat/ColorCodes.h"

#include <QByteArrayView>
#include <QString>

class TRxCustomRichEdit;

// The colour codes in a rich text control: a decoded line written run by
// run, and the control's coloured text encoded back into codes.
namespace Zentrel {

// Adds the line as a new last line of the control, then colours and styles
// it run by run through the selection, and leaves the insertion point at
// the end of it in the window's own colours and face. No other line of the
// control is touched. Returns the plain text.
QString AddColorLine(TRxCustomRichEdit& edit, QStringView line, const TChatAppearance& appearance);
QString AddColorLine(TRxCustomRichEdit& edit, QByteArrayView line,
                     const TChatAppearance& appearance);

// The control's text with its colours as codes (CR and LF skipped).
QString EncodeColorText(TRxCustomRichEdit& edit, const TChatAppearance& appearance);

} // namespace Zentrel
