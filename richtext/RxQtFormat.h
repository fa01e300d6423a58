#pragma once

#include "richtext/RxFormats.h"

#include <QTextFormat>
#include <QTextListFormat>

class QTextBlock;

// Between the format records and Qt's document formats. The document keeps
// only what a run sets: an attribute it does not set (no colour, no face)
// follows the control's default format, and an automatic colour is the
// absence of a colour. What Qt's formats have no field for (the character
// set, the pitch, indents in twips, the alignment as written) travels in
// properties of our own, so that it reads back as it was written.
namespace RxQtFormat {

enum Property {
    CharsetProperty = QTextFormat::UserProperty + 0x5200,
    PitchProperty,
    // The embedded object an object character stands for (its number).
    ObjectProperty,
    AlignmentProperty,
    NumberingProperty,
    StartIndentProperty,
    OffsetProperty,
    RightIndentProperty,
    TabsProperty,
};

// The record of a run: the base (the control's default format, mask full)
// with what the run's format sets laid over it.
RxFormat::TCharFormat ReadChar(const QTextCharFormat& format, const RxFormat::TCharFormat& base);
// Changes in `format` what the record's mask names.
void WriteChar(QTextCharFormat& format, const RxFormat::TCharFormat& record);
// The character mask bits on which two full records agree.
std::uint32_t SameChar(const RxFormat::TCharFormat& a, const RxFormat::TCharFormat& b);

// Twips and the document's units (pixels at `dpi`). Records keep what was
// written; what reaches Qt's layout (indents, tab stops) stays within
// +-MaxLayoutPixels, since the layout's own arithmetic is narrower than a
// record's field.
constexpr qreal MaxLayoutPixels = 100000;
qreal TwipsToPixels(qint64 twips, qreal dpi);
int PixelsToTwips(qreal pixels, qreal dpi);

// The paragraph record of a block (mask full).
RxFormat::TParaFormat ReadPara(const QTextBlock& block, qreal dpi);
// The list style that draws a numbering value (a bullet for any value
// without a style of its own).
QTextListFormat::Style ListStyle(int numbering);
// Changes in `format` what the record's mask names, numbering apart (the
// caller puts the block into a list or takes it out).
void WritePara(QTextBlockFormat& format, const RxFormat::TParaFormat& record, qreal dpi);

} // namespace RxQtFormat
