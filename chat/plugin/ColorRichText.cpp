#include "chat/plugin/ColorRichText.h"

#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

namespace Zentrel {

namespace {

QString write(TRxCustomRichEdit& edit, const TDecodedLine& d)
{
    TRichEditStrings* lines = edit.Lines();
    const int line = lines->Add(d.Text);
    const int first = edit.GetLineStart(line);
    TRxTextAttributes* sel = edit.SelectionAttributes();
    auto select = [&](qsizetype start, qsizetype length) {
        edit.SetSelection(first + int(start), first + int(start + length), false);
    };
    for (const TColorRun& run : d.ColorRuns) {
        select(run.Start, run.Length);
        sel->SetColor(run.Foreground);
        sel->SetBackColor(run.Background);
    }
    // Styles nest: each character takes every style whose run covers it.
    // (Adding a style to a selection by reading its style and writing it
    // back would drop an inner run's style where the selection is mixed.)
    QList<TFontStyles> styles(d.Text.size());
    for (const TFormatRun& run : d.FormatRuns) {
        TFontStyle bit = fsBold;
        if (run.Code == TFormatCode::Italic)
            bit = fsItalic;
        else if (run.Code == TFormatCode::Underline)
            bit = fsUnderline;
        else if (run.Code != TFormatCode::Bold)
            continue;
        for (qsizetype i = run.Start; i < run.Start + run.Length && i < styles.size(); ++i)
            styles[i] |= bit;
    }
    for (qsizetype i = 0; i < styles.size();) {
        qsizetype j = i + 1;
        while (j < styles.size() && styles[j] == styles[i])
            ++j;
        if (styles[i]) {
            select(i, j - i);
            sel->SetStyle(styles[i]);
        }
        i = j;
    }
    for (const TFormatRun& run : d.FormatRuns) {
        if (run.Code != TFormatCode::FixedFace && run.Code != TFormatCode::SymbolFace)
            continue;
        select(run.Start, run.Length);
        const TFontFace face = FormatFace(run.Code);
        sel->SetName(face.Name);
        sel->SetCharset(TFontCharset(face.Charset));
    }
    // The insertion point at the end of the line, in the window's own
    // colours and face.
    const int end = first + int(d.Text.size());
    edit.SetSelection(end, end, false);
    sel->SetColor(d.Reset.Color);
    sel->SetBackColor(d.Reset.BackColor);
    sel->SetStyle({});
    sel->SetName(d.Reset.Face.Name);
    sel->SetCharset(TFontCharset(d.Reset.Face.Charset));
    return d.Text;
}

} // namespace

QString AddColorLine(TRxCustomRichEdit& edit, QStringView line, const TChatAppearance& appearance)
{
    return write(edit, DecodeColorLine(line, appearance));
}

QString AddColorLine(TRxCustomRichEdit& edit, QByteArrayView line,
                     const TChatAppearance& appearance)
{
    return write(edit, DecodeColorLine(line, appearance));
}

QString EncodeColorText(TRxCustomRichEdit& edit, const TChatAppearance& appearance)
{
    const QString text = edit.GetTextRange(0, -1);
    QList<TColoredChar> chars;
    chars.reserve(text.size());
    TRxTextAttributes* sel = edit.SelectionAttributes();
    const int start = edit.SelStart();
    const int length = edit.SelLength();
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n')
            continue;
        edit.SetSelection(i, i + 1, false);
        chars.append({c, sel->GetColor(), sel->GetBackColor()});
    }
    edit.SetSelection(start, start + length, false);
    return Zentrel::EncodeColorText(chars, appearance);
}

} // namespace Zentrel
