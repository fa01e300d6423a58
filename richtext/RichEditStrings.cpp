#include "richtext/RichEditStrings.h"

#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextDocument>

using namespace RxStream;

namespace {

QString lineText(const QTextBlock& block)
{
    QString t = block.text();
    t.replace(QChar::LineSeparator, QLatin1Char('\v'));
    return t;
}

// The read callback of a stream in: bytes through the converter, at most
// half the window's buffer at a time. For 8-bit plain text every line end
// (CR, LF or CR LF) becomes CR LF; a CR that ends one read waits for the
// next, so that a CR LF split between two reads stays one break. Rich text
// and UTF-16 pass untouched: a 0x0D byte in them is no line end.
class StreamReader
{
public:
    StreamReader(TConversion& converter, QIODevice& stream, bool lineEnds)
        : converter_(converter), stream_(stream), lineEnds_(lineEnds)
    {}

    int operator()(char* buffer, int cb, int& count)
    {
        count = 0;
        try {
            // The doubled worst case (and a waiting CR) fits the buffer.
            const int half = (cb - (pendingCR_ ? 2 : 0)) / 2;
            if (half <= 0)
                return 1;
            work_.resize(half);
            const int n = converter_.ConvertReadStream(stream_, work_.data(), half);
            if (n < 0 || n > half)
                return 1;
            if (!lineEnds_) {
                std::copy_n(work_.data(), n, buffer);
                count = n;
                return 0;
            }
            int out = 0;
            int i = 0;
            if (pendingCR_) {
                pendingCR_ = false;
                buffer[out++] = '\r';
                buffer[out++] = '\n';
                if (n > 0 && work_[0] == '\n')
                    i = 1;
            }
            for (; i < n; ++i) {
                const char c = work_[i];
                if (c == '\r') {
                    if (i + 1 == n) {
                        pendingCR_ = true;
                        break;
                    }
                    if (work_[i + 1] == '\n')
                        ++i;
                    buffer[out++] = '\r';
                    buffer[out++] = '\n';
                } else if (c == '\n') {
                    buffer[out++] = '\r';
                    buffer[out++] = '\n';
                } else {
                    buffer[out++] = c;
                }
            }
            if (n == 0 && pendingCR_) {
                // The stream ended on a CR.
                pendingCR_ = false;
                buffer[out++] = '\r';
                buffer[out++] = '\n';
            }
            if (out == 0 && n > 0) {
                // Only a CR came: it waits; ask again.
                return (*this)(buffer, cb, count);
            }
            count = out;
            return 0;
        } catch (...) {
            return 1;
        }
    }

private:
    TConversion& converter_;
    QIODevice& stream_;
    bool lineEnds_;
    bool pendingCR_ = false;
    QByteArray work_;
};

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
        // The text changed while the bracket was open: one report for all.
        TRxCustomRichEdit::Guard([this] { owner_->Change(); });
    }
}

void TRichEditStrings::replace(int start, int end, const QString& text)
{
    const QScopedValueRollback updating(owner_->linesUpdating_, true);
    owner_->ReplaceRange(start, end, text, false);
}

// --- streams and files ---

unsigned TRichEditStrings::basicFormat() const
{
    switch (format_) {
    case sfPlainText:
        return SF_TEXT;
    case sfRichText:
        return SF_RTF;
    default:
        return owner_->PlainText() ? SF_TEXT : SF_RTF;
    }
}

void TRichEditStrings::LoadFromStream(QIODevice& Stream)
{
    owner_->HandleNeeded();
    std::unique_ptr<TConversion> own;
    TConversion* converter = converter_.get();
    if (!converter) {
        own =
            owner_->DefaultConverter ? owner_->DefaultConverter() : std::make_unique<TConversion>();
        converter = own.get();
    }
    const unsigned basic = basicFormat();
    unsigned flags = basic;
    if (basic == SF_RTF && mode_.testFlag(smPlainRtf))
        flags |= SFF_PLAINRTF;
    if (basic == SF_TEXT && mode_.testFlag(smUnicode) && RichLibraryVersion >= 2)
        flags |= SF_UNICODE;
    if (mode_.testFlag(smSelection))
        flags |= SFF_SELECTION;
    const qint64 position = Stream.pos();
    {
        // Line ends are rewritten in 8-bit plain text only.
        StreamReader reader(*converter, Stream, basic == SF_TEXT && !(flags & SF_UNICODE));
        if (owner_->StreamIn(flags, std::ref(reader)) != 0) {
            // Once more in the other basic format alone.
            Stream.seek(position);
            const unsigned other = basic == SF_RTF ? SF_TEXT : SF_RTF;
            StreamReader again(*converter, Stream, other == SF_TEXT);
            if (owner_->StreamIn(other, std::ref(again)) != 0)
                throw EOutOfResources("Failed to Load Stream");
        }
    }
    owner_->SetSelection(0, 0, true);
}

void TRichEditStrings::SaveToStream(QIODevice& Stream)
{
    owner_->HandleNeeded();
    std::unique_ptr<TConversion> own;
    TConversion* converter = converter_.get();
    if (!converter) {
        own =
            owner_->DefaultConverter ? owner_->DefaultConverter() : std::make_unique<TConversion>();
        converter = own.get();
    }
    unsigned flags = basicFormat();
    if (flags == SF_RTF) {
        if (mode_.testFlag(smNoObjects))
            flags = SF_RTFNOOBJS;
        if (mode_.testFlag(smPlainRtf))
            flags |= SFF_PLAINRTF;
    } else if (mode_.testFlag(smUnicode) && RichLibraryVersion >= 2) {
        flags |= SF_UNICODE;
    }
    if (mode_.testFlag(smSelection))
        flags |= SFF_SELECTION;
    const auto write = [&](char* buffer, int cb, int& count) {
        count = 0;
        try {
            count = converter->ConvertWriteStream(Stream, buffer, cb);
            return 0;
        } catch (...) {
            return 1;
        }
    };
    if (owner_->StreamOut(flags, write) != 0)
        throw EOutOfResources("Failed to Save Stream");
}

template <typename Operation>
void TRichEditStrings::withFileFormat(const QString& FileName, Operation op)
{
    const QString extension = QFileInfo(FileName).suffix().toLower();
    const TRichConversionFormat* found = nullptr;
    for (const TRichConversionFormat& f : RichConversionFormats()) {
        if (f.Extension == extension) {
            found = &f;
            break;
        }
    }
    if (!converter_ && found && found->ConversionClass)
        converter_ = found->ConversionClass();
    const TRichStreamFormat saved = format_;
    if (found)
        format_ = found->PlainText ? sfPlainText : sfRichText;
    try {
        op();
    } catch (...) {
        format_ = saved;
        converter_.reset();
        throw;
    }
    format_ = saved;
}

void TRichEditStrings::LoadFromFile(const QString& FileName)
{
    withFileFormat(FileName, [&] {
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            throw EOutOfResources(QStringLiteral("Cannot open file \"%1\". %2")
                                      .arg(FileName, file.errorString())
                                      .toStdString());
        LoadFromStream(file);
    });
}

void TRichEditStrings::SaveToFile(const QString& FileName)
{
    withFileFormat(FileName, [&] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        SaveToStream(buffer);
        QString error;
        if (!AtomicFile::write(FileName, bytes, 0644, &error))
            throw EOutOfResources(
                QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, error).toStdString());
    });
}
