#pragma once

#include "richtext/RxRichEd.h"

#include <QString>
#include <QStringList>

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

    TRichStreamFormat Format() const { return format_; }
    void SetFormat(TRichStreamFormat format) { format_ = format; }
    TRichStreamModes Mode() const { return mode_; }
    void SetMode(TRichStreamModes mode) { mode_ = mode; }

protected:
    virtual void SetUpdateState(bool Updating);

private:
    // Runs a replacement with the control's lines-updating flag set.
    void replace(int start, int end, const QString& text);

    TRxCustomRichEdit* owner_;
    TRichStreamFormat format_ = sfDefault;
    TRichStreamModes mode_;
    int updateCount_ = 0;
};
