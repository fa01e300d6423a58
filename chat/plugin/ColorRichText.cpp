#include "chat/plugin/ColorRichText.h"

#include "richtext/RichEditStrings.h"
#include "richtext/RxRichEd.h"
#include "richtext/RxTextAttributes.h"

namespace Zentrel {

TRichLine ColorLine(const TDecodedLine& d)
{
    TRichLine line;
    line.Text = d.Text;
    auto add = [&](qsizetype start, qsizetype length, const RxFormat::TCharFormat& record) {
        line.Runs.append({int(start), int(length), record});
    };
    for (const TColorRun& run : d.ColorRuns) {
        add(run.Start, run.Length, TRxTextAttributes::ColorRecord(run.Foreground));
        add(run.Start, run.Length, TRxTextAttributes::BackColorRecord(run.Background));
    }
    // Styles nest: each character takes every style whose run covers it.
    // (Adding a style to a run by reading its style and writing it back
    // would drop an inner run's style where the run is mixed.)
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
        if (styles[i])
            add(i, j - i, TRxTextAttributes::StyleRecord(styles[i]));
        i = j;
    }
    for (const TFormatRun& run : d.FormatRuns) {
        if (run.Code != TFormatCode::FixedFace && run.Code != TFormatCode::SymbolFace)
            continue;
        const TFontFace face = FormatFace(run.Code);
        add(run.Start, run.Length, TRxTextAttributes::NameRecord(face.Name));
        add(run.Start, run.Length, TRxTextAttributes::CharsetRecord(TFontCharset(face.Charset)));
    }
    return line;
}

QString AddColorLine(TRxCustomRichEdit& edit, QStringView line, const TChatAppearance& appearance)
{
    const TDecodedLine d = DecodeColorLine(line, appearance);
    edit.AppendLine(ColorLine(d));
    edit.FlushLines();
    return d.Text;
}

QString AddColorLine(TRxCustomRichEdit& edit, QByteArrayView line,
                     const TChatAppearance& appearance)
{
    const TDecodedLine d = DecodeColorLine(line, appearance);
    edit.AppendLine(ColorLine(d));
    edit.FlushLines();
    return d.Text;
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

#include "chat/ChatTexts.h"
#include "chat/plugin/PluginHost.h"
#include "platform/Cp874.h"

namespace Zentrel {

QWidget* NewAboutText(QWidget* parent, TRxRichEdit** edit)
{
    auto* about = new TRxRichEdit(QStringLiteral("RxRichEdit1"), parent);
    about->SetReadOnly(true);
    about->SetAutoURLDetect(true);
    about->Lines()->Assign({
        QStringLiteral("Brevant IRC Plugin ") + QLatin1String(Texts::Version),
        QString(),
        QStringLiteral("Zentrel: IRC สำหรับ Brevant++ (Based on Velmic)"),
        QStringLiteral("Home page: ") + QLatin1String(Texts::HomePage),
        QStringLiteral("Zentrel: ") + QLatin1String(Texts::ChatPage),
    });
    about->OnURLClick = [](QObject*, const QString& url, TMouseButton) {
        Guard(nullptr, [&] { Host::OpenURL(Cp874::fromUnicode(url)); });
    };
    if (edit)
        *edit = about;
    return about;
}

} // namespace Zentrel
