#pragma once

#include "richtext/RxFormats.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Rich Text Format for the rich text control: a reader and a writer of our
// own for what a rich-text memo needs. Fonts (face, character set, pitch)
// and colours come from their tables; characters take \b \i \ul \strike
// \cf \highlight \cb \f \fs; paragraphs \pard \par \ql \qr \qc \qj \fi \li
// \ri \tx and bullets or numbers; text \tab \line \'hh (in the code page of
// the font's character set) and \uN with its fallback count (\ucN).
// Embedded objects are \object groups with their class and data. Other
// destinations are skipped by brace depth, other control words ignored.
//
// The reader takes bytes from anywhere (a file, the clipboard): a text that
// does not start with "{\rtf" (after a byte-order mark and blanks), unbalanced braces, a \bin or a
// \' past the end, or nesting deeper than MaxDepth fail; colour and font numbers outside their
// tables are ignored; nothing it allocates grows faster than its input. A text of more than
// MaxParagraphs paragraphs, MaxRuns runs or MaxObjectBytes of object data in all fails too: what a
// window can show is far less, and the document would cost many times its size.
namespace RxRtf {

constexpr int MaxDepth = 200;
constexpr qsizetype MaxParagraphs = 1000000;
constexpr qsizetype MaxRuns = 4000000;
constexpr qsizetype MaxObjectBytes = qsizetype(64) << 20;

struct Object
{
    QString className;
    QByteArray data;
    int width = 0;  // twips
    int height = 0; // twips
    bool operator==(const Object&) const = default;
};

// A run of text in one character format; an object run stands for one
// object (its text is the object character U+FFFC).
struct Run
{
    QString text;
    RxFormat::TCharFormat format;
    int object = -1; // index into Document::objects
    bool operator==(const Run&) const = default;
};

struct Paragraph
{
    RxFormat::TParaFormat format;
    QList<Run> runs;
    bool operator==(const Paragraph&) const = default;
};

// Paragraphs in order; a paragraph break lies between two of them.
struct Document
{
    QList<Paragraph> paragraphs;
    QList<Object> objects;
    QString plainText() const; // paragraphs joined by CR, objects as U+FFFC
};

// The most one text may bring.
struct Limits
{
    qsizetype paragraphs = MaxParagraphs;
    qsizetype runs = MaxRuns;
    qsizetype objectBytes = MaxObjectBytes;
};

// Reads `rtf` into `document`; false (with a reason in *error) when the
// text is not RTF, is broken or brings more than the limits.
bool Read(QByteArrayView rtf, Document& document, QString* error = nullptr,
          const Limits& limits = {});

// The document as RTF; objects are left out unless `withObjects`.
QByteArray Write(const Document& document, bool withObjects = true);

} // namespace RxRtf
