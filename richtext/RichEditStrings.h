#pragma once

#include "richtext/RxRichEd.h"

#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;

// The control's text as a list of lines, with no storage of its own: every
// operation reads or edits the control. A line is a paragraph (see
// RxRichEd.h); the text normally ends with a paragraph break after the last
// line, as Add leaves it, and that empty last paragraph is not counted.
class TRichEditStrings
{
public:
    explicit TRichEditStrings(TRxCustomRichEdit* owner);

    int Count() const;
    // The whole line, whatever its length; empty for a line that does not
    // exist.
    QString Get(int Index) const;
    QString Strings(int Index) const { return Get(Index); }
    // Replaces a line's text; nothing for a line that does not exist.
    void Put(int Index, const QString& S);
    // Inserts S as line Index. Past the last line it is appended after it
    // with a break before it, unless that line is empty.
    void Insert(int Index, const QString& S);
    // Removes a line with its break; nothing for a line that does not exist.
    void Delete(int Index);
    // Insert at Count; returns that index.
    int Add(const QString& S);
    void Clear();
    // Adds every line with the control's OnSelectionChange unhooked.
    void AddStrings(const QStringList& list);
    void Assign(const QStringList& list);
    int IndexOf(const QString& S) const;

    // Every line followed by CR LF.
    QString Text() const;
    // Replaces the text line by line with change notifications off.
    void SetTextStr(const QString& value);
    void SetText(const QString& value) { SetTextStr(value); }

    // Nested update brackets: while one is open the control does not
    // repaint; when the last closes it repaints and reports a text change.
    void BeginUpdate();
    void EndUpdate();

    // The whole text (or the selection, with smSelection) from and into a
    // stream, in the stream format (sfDefault: plain text when the control
    // is in plain-text mode, rich text otherwise) and modes: smUnicode
    // makes plain text UTF-16 instead of code page 874 (not with library
    // version 1), smNoObjects leaves objects out of rich text. smPlainRtf
    // asks for the keywords common to all languages only; the RTF reader
    // and writer know no others, so it changes nothing. A stream that
    // cannot be read in its format is read once more in the other; "Failed
    // to Load Stream" when that fails too, "Failed to Save Stream" when a
    // write fails (a write is not tried again).
    void LoadFromStream(QIODevice& Stream);
    void SaveToStream(QIODevice& Stream);
    // By the file's extension ("txt" plain text, "rtf" rich text; another
    // keeps the stream format). Saving replaces the file at once.
    void LoadFromFile(const QString& FileName);
    void SaveToFile(const QString& FileName);
    // The adapter's own conversion, made by the file operations; null until
    // then (the control's DefaultConverter serves).
    TConversion* Converter() const { return converter_.get(); }
    void SetConverter(std::unique_ptr<TConversion> converter) { converter_ = std::move(converter); }

    TRichStreamFormat Format() const { return format_; }
    void SetFormat(TRichStreamFormat format) { format_ = format; }
    TRichStreamModes Mode() const { return mode_; }
    void SetMode(TRichStreamModes mode) { mode_ = mode; }

protected:
    virtual void SetUpdateState(bool Updating);

private:
    // Runs a replacement with the control's lines-updating flag set.
    void replace(int start, int end, const QString& text);
    // The stream basic format for the current settings (SF_TEXT or SF_RTF).
    unsigned basicFormat() const;
    template <typename Operation> void withFileFormat(const QString& FileName, Operation op);

    TRxCustomRichEdit* owner_;
    std::unique_ptr<TConversion> converter_;
    TRichStreamFormat format_ = sfDefault;
    TRichStreamModes mode_;
    int updateCount_ = 0;
};
