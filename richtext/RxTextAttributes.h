#pragma once

#include "richtext/RxFormats.h"
#include "toolkit/Graphics.h"

class TRxCustomRichEdit;

// The character attributes of a rich text control, of one of three kinds:
// the default format, the selection, or the word at the selection. Every
// read and write goes straight to the control's text; nothing is kept
// here. Without the control's window, writes are dropped and reads answer
// as for an all-zero format.
class TRxTextAttributes
{
public:
    enum TAttributeType { atDefaultText = 0, atSelected = 1, atWord = 2 };

    TRxTextAttributes(TRxCustomRichEdit* owner, TAttributeType kind);
    TAttributeType Kind() const { return kind_; }

    TFontCharset GetCharset() const;
    void SetCharset(TFontCharset value);
    // An automatic colour reads as clWindowText.
    TColor GetColor() const;
    // clWindowText and clDefault make the colour automatic.
    void SetColor(TColor value);
    // clWindow with library version 1 or an automatic background.
    TColor GetBackColor() const;
    // Ignored with library version 1; clWindow and clDefault make the
    // background automatic.
    void SetBackColor(TColor value);
    QString GetName() const;
    void SetName(const QString& value);
    TFontStyles GetStyle() const;
    void SetStyle(TFontStyles value);
    // Points.
    int GetSize() const;
    TFontPitch GetPitch() const;
    // The pitch travels with the face: on its own it changes nothing.
    void SetPitch(TFontPitch value);

    // One write of a whole font: size, colour, face, style, character set,
    // weight and pitch.
    void AssignFont(const TFont& font);
    void Assign(const TFont& font) { AssignFont(font); }
    // The other object's record, read with its kind and written unchanged,
    // mask included, with this one's.
    void Assign(const TRxTextAttributes& source);
    // Colour, name, character set, style, size and pitch onto a font.
    void AssignTo(TFont& font) const;

    // The record itself (for the stream and the tests).
    RxFormat::TCharFormat GetAttributes() const;
    void SetAttributes(const RxFormat::TCharFormat& record);

    // The records the setters above write, for text written with its
    // attributes in one go (TRxCustomRichEdit::AppendLine). With library
    // version 1 the background's record changes nothing.
    static RxFormat::TCharFormat CharsetRecord(TFontCharset value);
    static RxFormat::TCharFormat ColorRecord(TColor value);
    static RxFormat::TCharFormat BackColorRecord(TColor value);
    static RxFormat::TCharFormat NameRecord(const QString& value);
    static RxFormat::TCharFormat StyleRecord(TFontStyles value);

private:
    TRxCustomRichEdit* owner_;
    TAttributeType kind_;
};

enum TParaAlignment : int { paLeftJustify = 0, paRightJustify = 1, paCenter = 2, paJustify = 3 };

// The paragraph attributes of the paragraphs the selection touches (the
// first of them when read). Indents and tab stops in points.
class TRxParaAttributes
{
public:
    explicit TRxParaAttributes(TRxCustomRichEdit* owner);

    TParaAlignment GetAlignment() const;
    void SetAlignment(TParaAlignment value);
    // 0 none, 1 bullet; from library version 2 also 2 arabic numbers,
    // 3 / 4 lower / upper letters, 5 / 6 lower / upper roman numbers.
    int GetNumbering() const;
    void SetNumbering(int value);
    int GetFirstIndent() const;
    void SetFirstIndent(int value);
    int GetLeftIndent() const;
    void SetLeftIndent(int value);
    int GetRightIndent() const;
    void SetRightIndent(int value);
    // Index 0 to 31; another index reads 0 and is not written.
    int GetTab(int index) const;
    void SetTab(int index, int value);
    int GetTabCount() const;

    // The other object's whole record.
    void Assign(const TRxParaAttributes& source);

    RxFormat::TParaFormat GetAttributes() const;
    void SetAttributes(const RxFormat::TParaFormat& record);

private:
    TRxCustomRichEdit* owner_;
};
