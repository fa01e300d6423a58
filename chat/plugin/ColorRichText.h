#pragma once

#include "chat/ColorCodes.h"

#include <QByteArrayView>
#include <QString>

class TRxCustomRichEdit;
class TRxRichEdit;
struct TRichLine;

// The colour codes in a rich text control: a decoded line written run by
// run, and the control's coloured text encoded back into codes.
namespace Zentrel {

// The decoded line as a line of the control: its plain text with the
// colour runs (text colour, then background), the style runs (each
// character with every style whose run covers it) and the face runs (face,
// then character set), in that order.
TRichLine ColorLine(const TDecodedLine& decoded);

// Adds the line as a new last line of the control at once, coloured and
// styled run by run, through the control's own cursor (the user's
// selection stays). No other line of the control is touched. Returns the
// plain text.
QString AddColorLine(TRxCustomRichEdit& edit, QStringView line, const TChatAppearance& appearance);
QString AddColorLine(TRxCustomRichEdit& edit, QByteArrayView line,
                     const TChatAppearance& appearance);

// The control's text with its colours as codes (CR and LF skipped).
QString EncodeColorText(TRxCustomRichEdit& edit, const TChatAppearance& appearance);

} // namespace Zentrel

class QWidget;

namespace Zentrel {

// The server window's about page: a read-only rich text with the client's
// version and its home pages; a clicked link opens in the browser
// (PluginOpenURL).
// Returns the control as a widget too, for callers that see no more of it.
QWidget* NewAboutText(QWidget* parent, TRxRichEdit** edit);

} // namespace Zentrel
