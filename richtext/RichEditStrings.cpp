#include "richtext/RichEditStrings.h"

#include <QTextBlock>
#include <QTextDocument>

namespace {

QString lineText(const QTextBlock& block)
{
    QString t = block.text();
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

// Length of text once it is in the document (a CR LF is one break).
int documentLength(const QString& text)
{
    return int(text.size() - text.count(QStringLiteral("\r\n")));
}

} // namespace

TRichEditStrings::TRichEditStrings(TRxCustomRichEdit* owner) : owner_(owner) {}

int TRichEditStrings::Count() const
{
    owner_->HandleNeeded();
    const QTextDocument* doc = owner_->document();
    int count = doc->blockCount();
    // A text that ends with a break has an empty last paragraph.
    if (doc->lastBlock().length() <= 1)
        --count;
    return count;
}

QString TRichEditStrings::Get(int Index) const
{
    owner_->HandleNeeded();
    if (Index < 0)
        return {};
    const QTextBlock block = owner_->document()->findBlockByNumber(Index);
    return block.isValid() ? lineText(block) : QString();
}

void TRichEditStrings::Put(int Index, const QString& S)
{
    owner_->HandleNeeded();
    if (Index < 0)
        return;
    const QTextBlock block = owner_->document()->findBlockByNumber(Index);
    if (!block.isValid())
        return;
    replace(block.position(), block.position() + block.length() - 1, S);
}

void TRichEditStrings::Insert(int Index, const QString& S)
{
    owner_->HandleNeeded();
    if (Index < 0)
        return;
    QTextDocument* doc = owner_->document();
    const QString lineBreak =
        RichLibraryVersion < 2 ? QStringLiteral("\r\n") : QStringLiteral("\r");
    int position;
    QString text;
    const QTextBlock block = doc->findBlockByNumber(Index);
    if (block.isValid()) {
        position = block.position();
        text = S + lineBreak;
    } else {
        // Past the end: after the last line, unless there is none or it is
        // empty.
        const QTextBlock previous = doc->findBlockByNumber(Index - 1);
        if (!previous.isValid() || previous.length() <= 1)
            return;
        position = previous.position() + previous.length() - 1;
        text = lineBreak + S;
    }
    const int before = owner_->GetTextLength();
    replace(position, position, text);
    // The first library generation reports an insertion that did not go in
    // whole (the text limit was reached).
    if (RichLibraryVersion < 2 && owner_->GetTextLength() - before != documentLength(text))
        throw EOutOfResources("RichEdit line insertion error");
}

void TRichEditStrings::Delete(int Index)
{
    owner_->HandleNeeded();
    if (Index < 0)
        return;
    const QTextBlock block = owner_->document()->findBlockByNumber(Index);
    if (!block.isValid())
        return;
    const int start = block.position();
    const QTextBlock next = block.next();
    const int end = next.isValid() ? next.position() : start + block.length() - 1;
    replace(start, end, QString());
}

int TRichEditStrings::Add(const QString& S)
{
    const int index = Count();
    Insert(index, S);
    return index;
}

void TRichEditStrings::Clear()
{
    owner_->Clear();
}

void TRichEditStrings::AddStrings(const QStringList& list)
{
    TNotifyEvent saved = std::move(owner_->OnSelectionChange);
    owner_->OnSelectionChange = nullptr;
    BeginUpdate();
    try {
        for (const QString& line : list)
            Add(line);
    } catch (...) {
        EndUpdate();
        owner_->OnSelectionChange = std::move(saved);
        throw;
    }
    EndUpdate();
    owner_->OnSelectionChange = std::move(saved);
}

void TRichEditStrings::Assign(const QStringList& list)
{
    BeginUpdate();
    try {
        Clear();
        AddStrings(list);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TRichEditStrings::IndexOf(const QString& S) const
{
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (Get(i).compare(S, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TRichEditStrings::Text() const
{
    QString result;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        result += Get(i);
        result += QStringLiteral("\r\n");
    }
    return result;
}

void TRichEditStrings::SetTextStr(const QString& value)
{
    owner_->HandleNeeded();
    owner_->FlushLayout();
    const std::uint32_t mask = owner_->EventMask();
    owner_->SetEventMask(mask & ~RxEvent::ENM_CHANGE);
    BeginUpdate();
    try {
        Clear();
        // Lines end at CR, LF or CR LF; a break at the very end opens no
        // further line.
        QStringList lines;
        qsizetype start = 0;
        const qsizetype n = value.size();
        for (qsizetype i = 0; i < n; ++i) {
            if (value[i] != u'\r' && value[i] != u'\n')
                continue;
            lines.append(value.mid(start, i - start));
            if (value[i] == u'\r' && i + 1 < n && value[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        if (start < n)
            lines.append(value.mid(start));
        for (const QString& line : lines)
            Add(line);
    } catch (...) {
        EndUpdate();
        owner_->FlushLayout();
        owner_->SetEventMask(mask);
        throw;
    }
    EndUpdate();
    // The changes report now, while the mask is still off.
    owner_->FlushLayout();
    owner_->SetEventMask(mask);
}

void TRichEditStrings::BeginUpdate()
{
    if (updateCount_++ == 0)
        SetUpdateState(true);
}

void TRichEditStrings::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0)
        SetUpdateState(false);
}

void TRichEditStrings::SetUpdateState(bool Updating)
{
    if (Updating) {
        if (owner_->isVisible())
            owner_->viewport()->setUpdatesEnabled(false);
    } else {
        owner_->viewport()->setUpdatesEnabled(true);
        owner_->viewport()->update();
    }
}

void TRichEditStrings::replace(int start, int end, const QString& text)
{
    const bool saved = owner_->linesUpdating_;
    owner_->linesUpdating_ = true;
    try {
        owner_->ReplaceRange(start, end, text, false);
    } catch (...) {
        owner_->linesUpdating_ = saved;
        throw;
    }
    owner_->linesUpdating_ = saved;
}
