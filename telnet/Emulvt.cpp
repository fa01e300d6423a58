#include "telnet/Emulvt.h"

#include "platform/Cp874.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <ios>

// Indexed as the attribute's colour numbers: 0 black, 1 red, 2 green,
// 3 yellow, 4 blue, 5 magenta, 6 cyan, 7 white, and 8-15 their bright forms.
// Bright red (9) is a red: an older table had a blue there, which showed
// bright red text as blue.
const std::array<QRgb, 16> TCustomEmulVT::Palette = {
    qRgb(0, 0, 0),     qRgb(168, 0, 0),    qRgb(0, 168, 0),    qRgb(168, 168, 0),
    qRgb(0, 0, 168),   qRgb(168, 0, 168),  qRgb(0, 112, 216),  qRgb(200, 200, 200),
    qRgb(84, 84, 84),  qRgb(255, 84, 84),  qRgb(84, 255, 84),  qRgb(255, 255, 84),
    qRgb(84, 84, 255), qRgb(255, 84, 255), qRgb(84, 255, 255), qRgb(255, 255, 255),
};

const char* const TCustomEmulVT::LogFileName = "EMULVT.LOG";

namespace {

constexpr int kScrollBarWidth = 16;
// Cell sizes beyond this would only overflow the pixel arithmetic.
constexpr int kMaxCellPixels = 4096;

// The interpreter's trace of sequences it does not carry out: off unless
// switched on (QT_LOGGING_RULES="brevant.terminal.debug=true").
Q_LOGGING_CATEGORY(lcTerminal, "brevant.terminal", QtWarningMsg)

// The key-definition display is one for the whole program.
bool keyDefinitionArmed = false;

// What each byte of a cell shows. Bytes from 0x80 on are code page 874;
// the control bytes and DEL show the symbols a PC terminal font has for
// them; bytes the code page leaves undefined show nothing.
const std::array<QString, 256>& glyphs()
{
    static const std::array<QString, 256> table = [] {
        static const char16_t low[32] = {
            0,      0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
            0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
            0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
        std::array<QString, 256> t;
        for (int b = 0; b < 256; ++b) {
            char16_t u;
            if (b < 0x20)
                u = low[b];
            else if (b == 0x7F)
                u = 0x2302;
            else
                u = Cp874::byteToUnicode(uchar(b));
            if (u == 0 || u == ' ' || (u >= 0xE000 && u <= 0xF8FF))
                continue;
            t[size_t(b)] = QString(QChar(u));
        }
        return t;
    }();
    return table;
}

QFont defaultFont()
{
    QFont f(QStringLiteral("Terminal"), 12);
    // A character-cell font without smoothing, as a terminal font is.
    f.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    f.setFixedPitch(true);
    return f;
}

TShiftState shiftOf(Qt::KeyboardModifiers m, Qt::MouseButtons buttons = {})
{
    TShiftState s = 0;
    if (m & Qt::ShiftModifier)
        s |= ssShift;
    if (m & Qt::AltModifier)
        s |= ssAlt;
    if (m & Qt::ControlModifier)
        s |= ssCtrl;
    if (buttons & Qt::LeftButton)
        s |= ssLeft;
    if (buttons & Qt::RightButton)
        s |= ssRight;
    if (buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

// Key presses with Alt but not Ctrl belong to the menus, as system keys.
bool isTerminalKey(const QKeyEvent* k)
{
    const auto m = k->modifiers();
    return !(m & Qt::AltModifier) || (m & Qt::ControlModifier);
}

} // namespace

TCustomEmulVT::TCustomEmulVT(QWidget* AOwner) : QWidget(AOwner)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    screen_.InTable = &NormalTable;
    screen_.OutTable = &NormalTable;
    screen_.OnCursorVisible = [this](TScreen&) { CursorVisibleChanged(); };
    parser_.OnBeep = [] { QApplication::beep(); };
    // The interpreter escapes the host's bytes in its lines.
    parser_.OnTrace = [](std::string_view line) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        qCDebug(lcTerminal).noquote() << QLatin1StringView(line.data(), qsizetype(line.size()));
    };

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->setCursor(Qt::ArrowCursor);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!updatingScrollBar_)
            ScrollBarMoved(v);
    });

    SetFont(defaultFont());
    resize(250, 100);
    UpdateScrollBar();

    screen_.SetCursor(0, 0);
    parser_.PutString("EmulVT");
    screen_.SetCursor(0, 1);
}

TCustomEmulVT::~TCustomEmulVT()
{
    if (filterInstalled_)
        qApp->removeEventFilter(this);
    try {
        SetLog(false);
    } catch (const std::exception& e) {
        qWarning() << "EmulVT: closing the log:" << e.what();
    }
}

bool TCustomEmulVT::KeyDefinitionArmed()
{
    return keyDefinitionArmed;
}

void TCustomEmulVT::SetFont(const QFont& Value)
{
    font_ = Value;
    const QFontMetrics fm(font_);
    charWidth_ = std::clamp(fm.maxWidth(), 1, kMaxCellPixels);
    lineHeight_ = std::clamp(fm.height(), 1, kMaxCellPixels);
    ascent_ = fm.ascent();
    internalLeading_ = std::max(0, fm.height() - QFontInfo(font_).pixelSize());
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetMonoChrome(bool Value)
{
    if (monoChrome_ == Value)
        return;
    monoChrome_ = Value;
    update();
}

void TCustomEmulVT::SetLog(bool Value)
{
    if (log_ == Value)
        return;
    if (Value) {
        logFile_.setFileName(QString::fromLatin1(LogFileName));
        if (!logFile_.open(QIODevice::WriteOnly | QIODevice::Append))
            throw std::ios_base::failure("cannot open " + std::string(LogFileName) + ": " +
                                         logFile_.errorString().toStdString());
        log_ = true;
        if (logFile_.write("<Open>") != 6 || !logFile_.flush())
            LogFailed();
    } else {
        log_ = false;
        const bool ok = logFile_.write("<Close>") == 7 && logFile_.flush();
        logFile_.close();
        if (!ok)
            throw std::ios_base::failure("cannot write " + std::string(LogFileName));
    }
}

void TCustomEmulVT::LogByte(char Ch)
{
    if (!logFile_.putChar(Ch) || !logFile_.flush())
        LogFailed();
}

// A log that cannot be written (a full disk) is switched off as it fails:
// the bytes that follow are shown instead of being cut off at the log, block
// after block.
void TCustomEmulVT::LogFailed()
{
    const std::string reason = logFile_.errorString().toStdString();
    log_ = false;
    logFile_.close();
    throw std::ios_base::failure("cannot write " + std::string(LogFileName) + ": " + reason +
                                 "; the log is closed");
}

void TCustomEmulVT::SetRows(int Value)
{
    Value = std::clamp(Value, 1, kMaxRows);
    if (Value == screen_.Rows())
        return;
    screen_.ChangeRows(Value);
    UpdateScrollBar();
    screen_.BlankScreen();
    update();
    PlaceCaret();
}

void TCustomEmulVT::SetCols(int Value)
{
    Value = std::clamp(Value, 1, kLineCells);
    if (Value == screen_.Cols())
        return;
    screen_.SetCols(Value);
    screen_.BlankScreen();
    update();
    PlaceCaret();
}

void TCustomEmulVT::SetBackRows(int Value)
{
    Value = std::clamp(Value, 0, kMaxBackRows);
    if (Value == screen_.BackRows())
        return;
    screen_.ChangeBackRows(Value);
    UpdateScrollBar();
}

void TCustomEmulVT::SetLineHeight(int Value)
{
    lineHeight_ = std::clamp(Value, 1, kMaxCellPixels);
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetCharWidth(int Value)
{
    charWidth_ = std::clamp(Value, 1, kMaxCellPixels);
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetTopLine(int Value)
{
    topLine_ = Value;
    update();
    PlaceCaret();
    UpdateScrollBar();
}

void TCustomEmulVT::ComputePositions()
{
    for (size_t c = 0; c < colPos_.size(); ++c)
        colPos_[c] = int(c) * charWidth_;
    for (size_t r = 0; r < rowPos_.size(); ++r)
        rowPos_[r] = int(r) * lineHeight_;
    // Which characters stay inside their cell when drawn at the cell's left
    // edge on the row's baseline (the others are drawn clipped), and their
    // glyphs in the font itself (0 where a fallback font draws them).
    const QFontMetrics fm(font_);
    const auto& glyph = glyphs();
    rawFont_ = QRawFont::fromFont(font_);
    for (size_t b = 0; b < glyph.size(); ++b) {
        glyphIndex_[b] = 0;
        if (glyph[b].isEmpty()) {
            glyphFits_[b] = true;
            continue;
        }
        if (rawFont_.isValid() && rawFont_.supportsCharacter(glyph[b].at(0))) {
            const QList<quint32> index = rawFont_.glyphIndexesForString(glyph[b]);
            if (index.size() == 1)
                glyphIndex_[b] = index[0];
        }
        const QRect ink = fm.boundingRect(glyph[b].at(0));
        glyphFits_[b] = ink.left() >= 0 && ink.right() < charWidth_ &&
                        ascent_ + ink.top() >= internalLeading_ &&
                        ascent_ + ink.bottom() < internalLeading_ + lineHeight_;
    }
}

int TCustomEmulVT::ColLeft(int Col) const
{
    if (Col >= 0 && size_t(Col) < colPos_.size())
        return colPos_[size_t(Col)] + 6;
    return Col * charWidth_ + 6;
}

int TCustomEmulVT::RowTop(int ShownRow) const
{
    // Rows beyond the table (a tall control showing the scroll-back, the
    // cursor while scrolled away) are computed.
    if (ShownRow >= 0 && size_t(ShownRow) < rowPos_.size())
        return rowPos_[size_t(ShownRow)] + 4;
    return ShownRow * lineHeight_ + 4;
}

int TCustomEmulVT::RowAt(int Y) const
{
    for (int r = screen_.Rows() - 1; r >= 1; --r) {
        if (RowTop(r) - 4 <= Y - 4)
            return r;
    }
    return 0;
}

int TCustomEmulVT::ColAt(int X) const
{
    for (int c = screen_.Cols() - 1; c >= 1; --c) {
        if (ColLeft(c) - 6 <= X - 6)
            return c;
    }
    return 0;
}

QRect TCustomEmulVT::CellRect(int ShownRow, int Col) const
{
    const int left = Col == 0 ? 0 : ColLeft(Col);
    const int top = RowTop(ShownRow) + internalLeading_;
    return QRect(left, top, ColLeft(Col + 1) - left, lineHeight_);
}

int TCustomEmulVT::VisibleRows() const
{
    return std::clamp((height() - 8) / lineHeight_, 0, screen_.Rows());
}

QRect TCustomEmulVT::CaretRect() const
{
    return QRect(ColLeft(screen_.Col) + 2, RowTop(screen_.Row - topLine_) + 3, 2, lineHeight_);
}

bool TCustomEmulVT::CaretInView() const
{
    const int shown = screen_.Row - topLine_;
    return shown >= 0 && RowTop(shown) + lineHeight_ <= height() - 4;
}

void TCustomEmulVT::PlaceCaret()
{
    const QRect now = CaretInView() ? CaretRect() : QRect();
    if (now == caretDrawn_)
        return;
    if (CaretShown()) {
        Invalidate(caretDrawn_);
        Invalidate(now);
    }
    caretDrawn_ = now;
}

void TCustomEmulVT::ShowCaret()
{
    if (!caretCreated_ || caretShown_)
        return;
    caretShown_ = true;
    Invalidate(caretDrawn_);
}

void TCustomEmulVT::HideCaret()
{
    if (!caretShown_)
        return;
    caretShown_ = false;
    Invalidate(caretDrawn_);
}

void TCustomEmulVT::CursorVisibleChanged()
{
    if (screen_.CursorOff)
        HideCaret();
    else if (hasFocus() && !caretShown_)
        ShowCaret();
}

void TCustomEmulVT::PutChar(char Ch)
{
    HideCaret();
    if (log_)
        LogByte(Ch);
    parser_.PutChar(uint8_t(Ch));
    if (autoRepaint_)
        RepaintDirty();
}

void TCustomEmulVT::PutString(const QByteArray& Str)
{
    PutBuffer(Str.constData(), int(Str.size()));
}

void TCustomEmulVT::PutBuffer(const char* Buffer, int Len)
{
    HideCaret();
    if (log_) {
        for (int i = 0; i < Len; ++i) {
            LogByte(Buffer[i]);
            parser_.PutChar(uint8_t(Buffer[i]));
        }
    } else if (Len > 0) {
        parser_.PutBuffer(reinterpret_cast<const uint8_t*>(Buffer), size_t(Len));
    }
    if (autoRepaint_)
        RepaintDirty();
}

void TCustomEmulVT::ClearScreen()
{
    screen_.BlankScreen();
}

void TCustomEmulVT::RepaintDirty()
{
    if (screen_.AllDirty) {
        Invalidate(rect());
    } else if (screen_.DirtyRight >= screen_.DirtyLeft && screen_.DirtyBottom >= screen_.DirtyTop) {
        const QRect first = CellRect(screen_.DirtyTop - topLine_, screen_.DirtyLeft);
        const QRect last = CellRect(screen_.DirtyBottom - topLine_, screen_.DirtyRight);
        Invalidate(first.united(last));
    }
    Invalidate(CellRect(screen_.Row - topLine_, screen_.Col));
    screen_.ClearDirty();
    if (caretCreated_ && !screen_.CursorOff)
        ShowCaret();
    PlaceCaret();
}

// What the host's output changes is painted at most once per frame: the first
// change after a quiet frame asks for a paint at once (typing echoes without
// delay), later ones collect until the frame is over. Until the requested
// paint has happened, further changes join it.
void TCustomEmulVT::Invalidate(const QRect& Rect)
{
    if (Rect.isEmpty())
        return;
    if (updateRequested_) {
        update(Rect);
        return;
    }
    pending_ += Rect;
    if (frameTimer_.isActive())
        return;
    const int frame = FrameInterval();
    const qint64 since = sinceFrame_.isValid() ? sinceFrame_.elapsed() : frame;
    if (since >= frame)
        RequestFrame();
    else
        frameTimer_.start(int(frame - since), Qt::PreciseTimer, this);
}

void TCustomEmulVT::RequestFrame()
{
    frameTimer_.stop();
    if (pending_.isEmpty())
        return;
    update(pending_);
    pending_ = QRegion();
    updateRequested_ = true;
}

bool TCustomEmulVT::RepaintPending() const
{
    return updateRequested_ || !pending_.isEmpty();
}

int TCustomEmulVT::FrameInterval() const
{
    const QScreen* s = screen();
    const qreal rate = s ? s->refreshRate() : 60.0;
    return std::clamp(int(1000.0 / std::clamp(rate, 24.0, 240.0)), 4, 42);
}

void TCustomEmulVT::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == frameTimer_.timerId()) {
        RequestFrame();
        return;
    }
    QWidget::timerEvent(e);
}

void TCustomEmulVT::UpdateScrollBar()
{
    const int v = VisibleRows();
    const int minimum = -screen_.BackUsed();
    const int maximum = screen_.Rows() - v;
    const int top = std::clamp(topLine_, minimum, std::max(minimum, maximum));
    if (top != topLine_) {
        // The scroll-back or the screen shrank under the shown rows.
        topLine_ = top;
        update();
        PlaceCaret();
    }
    scrollBar_->setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, height());
    updatingScrollBar_ = true;
    scrollBar_->setRange(minimum, maximum);
    scrollBar_->setValue(topLine_);
    scrollBar_->setSingleStep(1);
    scrollBar_->setPageStep(std::max(v, 1));
    scrollBar_->setEnabled(maximum > minimum);
    updatingScrollBar_ = false;
}

void TCustomEmulVT::ScrollBarMoved(int Value)
{
    topLine_ = Value;
    update();
    PlaceCaret();
    setFocus(Qt::OtherFocusReason);
}

void TCustomEmulVT::SetSelectRect(const QRect& Rect)
{
    selectRect_ = Rect;
    update();
}

void TCustomEmulVT::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    UpdateScrollBar();
    PlaceCaret();
}

void TCustomEmulVT::paintEvent(QPaintEvent* e)
{
    // This paint shows everything asked for until now; the frame starts.
    updateRequested_ = false;
    sinceFrame_.start();
    UpdateScrollBar();
    const QRect region = e->rect();
    if (region.isEmpty())
        return;

    QPainter p(this);
    const int w = width();
    const int h = height();
    const int lead = internalLeading_;
    const QColor margin =
        monoChrome_ ? QColor(Qt::white) : QColor(Palette[(screen_.CurAttr >> 4) & 0x0F]);

    // Above the first row.
    p.fillRect(QRect(0, 0, w, RowTop(0) + lead), margin);

    p.setFont(font_);
    const auto& glyph = glyphs();
    QList<quint32> runGlyphs;
    QList<QPointF> runPositions;
    const int cols = screen_.Cols();
    int below = RowTop(0) + lead;
    bool stopped = false;
    for (int shown = 0; topLine_ + shown <= screen_.Rows() - 1; ++shown) {
        const int top = RowTop(shown);
        if (top + lead > region.bottom())
            break;
        if (h - 4 < top + lineHeight_) {
            // A row that does not fit is never drawn in part.
            p.fillRect(QRect(0, top + lead, w, h - top - lead), margin);
            stopped = true;
            break;
        }
        below = top + lead + lineHeight_;
        if (below <= region.top())
            continue;

        // The columns whose cells meet the region (the cell of column 0 also
        // covers the left margin), in runs of one attribute: each run's
        // background in one fill, then its characters, each at its column.
        const TLine* line = screen_.LineAt(topLine_ + shown);
        const int cellTop = top + lead;
        int first = 0;
        while (first < cols && ColLeft(first + 1) <= region.left())
            ++first;
        int last = cols - 1;
        while (last > first && ColLeft(last) > region.right())
            --last;
        for (int c = first; c <= last;) {
            const uint8_t att = line->Att[size_t(c)];
            int end = c;
            while (end < last && line->Att[size_t(end + 1)] == att)
                ++end;
            QColor back, text;
            if (monoChrome_) {
                back = (att & 0xF0) ? QColor(127, 127, 127) : QColor(255, 255, 255);
                text = (att & 0x0F) ? QColor(0, 0, 0) : QColor(255, 255, 255);
            } else {
                back = QColor(Palette[(att >> 4) & 0x0F]);
                text = QColor(Palette[att & 0x0F]);
            }
            const int left = c == 0 ? 0 : ColLeft(c);
            p.fillRect(QRect(left, cellTop, ColLeft(end + 1) - left, lineHeight_), back);
            p.setPen(text);
            // Characters the font has and that stay in their cells go out
            // together as one run of glyphs, each at its column; the others
            // are drawn on their own (the font's fallbacks, clipped to the
            // cell when they reach out of it).
            runGlyphs.clear();
            runPositions.clear();
            for (; c <= end; ++c) {
                const uint8_t ch = line->Txt[size_t(c)];
                const QString& g = glyph[ch];
                if (g.isEmpty())
                    continue;
                const QPoint origin(ColLeft(c), top + ascent_);
                const bool clip = !glyphFits_[ch];
                if (glyphIndex_[ch] != 0 && !clip) {
                    runGlyphs.append(glyphIndex_[ch]);
                    runPositions.append(origin);
                    continue;
                }
                if (clip)
                    p.setClipRect(CellRect(shown, c));
                p.drawText(origin, g);
                if (clip)
                    p.setClipping(false);
            }
            if (!runGlyphs.isEmpty()) {
                QGlyphRun run;
                run.setRawFont(rawFont_);
                run.setGlyphIndexes(runGlyphs);
                run.setPositions(runPositions);
                p.drawGlyphRun(QPointF(0, 0), run);
            }
        }
    }
    if (!stopped && below < h)
        p.fillRect(QRect(0, below, w, h - below), margin);
    const int right = ColLeft(cols);
    if (right < w - 2)
        p.fillRect(QRect(right, 4, w - right, h - 4), margin);

    if (CaretShown() && !caretDrawn_.isNull()) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(caretDrawn_, Qt::white);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    if (HasSelection()) {
        const QRect& s = selectRect_;
        p.setBrush(Qt::NoBrush);
        p.setPen(Qt::black);
        p.drawRect(QRect(QPoint(s.left(), s.top()), QPoint(s.right() - 1, s.bottom() - 3)));
        p.setPen(Qt::white);
        p.drawRect(QRect(QPoint(s.left() - 1, s.top() - 1), QPoint(s.right(), s.bottom() - 2)));
    }
}

void TCustomEmulVT::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    screen_.Focused = true;
    caretCreated_ = true;
    caretShown_ = false;
    caretDrawn_ = QRect();
    PlaceCaret();
    if (!screen_.CursorOff)
        ShowCaret();
    if (!filterInstalled_) {
        qApp->installEventFilter(this);
        filterInstalled_ = true;
    }
}

void TCustomEmulVT::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    screen_.Focused = false;
    HideCaret();
    caretCreated_ = false;
    if (filterInstalled_) {
        qApp->removeEventFilter(this);
        filterInstalled_ = false;
    }
}

bool TCustomEmulVT::focusNextPrevChild(bool)
{
    // Tab and Backtab go to the host while the terminal has the focus.
    return false;
}

bool TCustomEmulVT::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == this &&
        (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (isTerminalKey(k)) {
            const TKeyStroke stroke = KeyStrokeFromQt(k->key(), k->modifiers(), k->text());
            if (e->type() == QEvent::ShortcutOverride) {
                // Keys the terminal takes go to it before the shortcuts.
                if (WouldHandleKey(stroke)) {
                    e->accept();
                    return true;
                }
            } else {
                try {
                    if (HandleKeyDown(stroke)) {
                        e->accept();
                        return true;
                    }
                } catch (const std::exception& ex) {
                    qWarning() << "EmulVT: key:" << ex.what();
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TCustomEmulVT::keyPressEvent(QKeyEvent* e)
{
    // Keys the key handling left: their characters, in code page 874.
    const QByteArray bytes = isTerminalKey(e) ? Cp874::fromUnicode(e->text()) : QByteArray();
    if (bytes.isEmpty()) {
        QWidget::keyPressEvent(e);
        return;
    }
    try {
        for (char c : bytes)
            KeyPress(c, TKeyOrigin::TypedText);
    } catch (const std::exception& ex) {
        qWarning() << "EmulVT: key:" << ex.what();
    }
}

bool TCustomEmulVT::WouldHandleKey(const TKeyStroke& Key) const
{
    const uint16_t vk = Key.VirtKey;
    if (vk < VK_SHIFT || vk > VK_MENU) {
        if (keyDefinitionArmed ||
            (Key.ScanCode == 0x37 && !Key.Extended && Key.Shift == (ssCtrl | ssAlt)))
            return true;
        if (FindKeyMapEntry(fKeys_, Key.ScanCode, Key.Shift, Key.Extended))
            return true;
    }
    switch (vk) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        return true;
    default:
        break;
    }
    if (vk >= VK_PRIOR && vk <= VK_DOWN)
        return FindKeyMapEntry(fKeys_, Key.ScanCode, Key.Shift, true).has_value();
    if (vk >= 'A' && vk <= 'Z')
        return true;
    return vk == VK_DEADKEY && !(Key.Shift & ssAlt);
}

bool TCustomEmulVT::HandleKeyDown(const TKeyStroke& Key)
{
    TKeyStroke k = Key;
    const uint16_t vk = Key.VirtKey;
    if (OnKeyDown) {
        uint16_t changed = k.VirtKey;
        OnKeyDown(this, changed, k.Shift, k.CapsLock, k.ScanCode, k.Extended);
        if (changed == 0 && vk != 0)
            return true;
    }
    if (vk < VK_SHIFT || vk > VK_MENU) {
        if (k.ScanCode == 0x37 && !k.Extended && k.Shift == (ssCtrl | ssAlt)) {
            keyDefinitionArmed = true;
            return true;
        }
        if (keyDefinitionArmed) {
            keyDefinitionArmed = false;
            ShowKeyDefinition(k);
            return true;
        }
        if (SendMappedKey(k.ScanCode, k.Shift, k.Extended))
            return true;
    }
    switch (vk) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE: {
        char code = char(vk);
        KeyPress(code);
        return true;
    }
    default:
        break;
    }
    if (vk >= VK_PRIOR && vk <= VK_DOWN) {
        // The keypad's navigation keys send what the grey keys send.
        return SendMappedKey(k.ScanCode, k.Shift, true);
    }
    if (vk >= 'A' && vk <= 'Z') {
        char c = char(LetterKeyChar(vk, k.Shift, k.CapsLock, deadKeys_));
        KeyPress(c);
        return true;
    }
    if (vk == VK_DEADKEY && !(k.Shift & ssAlt)) {
        PressDeadKey(k.Shift, deadKeys_);
        return true;
    }
    return false;
}

bool TCustomEmulVT::SendMappedKey(uint8_t ScanCode, TShiftState Shift, bool Extended)
{
    const auto text = FindKeyMapEntry(fKeys_, ScanCode, Shift, Extended);
    if (!text)
        return false;
    if (!text->empty())
        SendKeyString(text->data(), int(text->size()));
    return true;
}

void TCustomEmulVT::ShowKeyDefinition(const TKeyStroke& Key)
{
    const QString text = KeyDefinitionText(fKeys_, Key.ScanCode, Key.Shift, Key.Extended);
    QGuiApplication::clipboard()->setText(text);
    MessageBoxService::MessageBox(this, text, KeyDefinitionCaption(fKeys_),
                                  MessageBoxService::MB_OK);
}

void TCustomEmulVT::SendKeyString(const char* Text, int Len)
{
    if (OnKeyBuffer) {
        OnKeyBuffer(this, Text, Len);
        return;
    }
    for (int i = 0; i < Len; ++i) {
        char c = Text[i];
        KeyPress(c);
    }
}

void TCustomEmulVT::KeyPress(char& Key, TKeyOrigin Origin)
{
    // The tables map the host's 8-bit Latin set; a character typed as text
    // whose code page 874 byte is 0x80 or above (Thai) is already the byte
    // the host reads. A character outside code page 874 came as "?".
    const bool ownByte = Origin == TKeyOrigin::TypedText && uint8_t(Key) >= 0x80;
    if (!screen_.DisplayXlat && !ownByte)
        Key = char((*screen_.OutTable)[uint8_t(Key)]);
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (localEcho_) {
        PutChar(Key);
        if (!autoRepaint_)
            RepaintDirty();
    }
}

void TCustomEmulVT::mousePressEvent(QMouseEvent* e)
{
    QWidget::mousePressEvent(e);
    if (OnMouseDown) {
        const QPoint pos = e->position().toPoint();
        OnMouseDown(this, e->button(), shiftOf(e->modifiers(), e->buttons()), pos.x(), pos.y());
    }
    if (e->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
}

void TCustomEmulVT::mouseReleaseEvent(QMouseEvent* e)
{
    QWidget::mouseReleaseEvent(e);
    const QPoint pos = e->position().toPoint();
    if (OnMouseUp)
        OnMouseUp(this, e->button(), shiftOf(e->modifiers(), e->buttons()), pos.x(), pos.y());
    if (OnClick && e->button() == Qt::LeftButton && rect().contains(pos))
        OnClick(this);
}

void TCustomEmulVT::mouseMoveEvent(QMouseEvent* e)
{
    QWidget::mouseMoveEvent(e);
    if (OnMouseMove) {
        const QPoint pos = e->position().toPoint();
        OnMouseMove(this, shiftOf(e->modifiers(), e->buttons()), pos.x(), pos.y());
    }
}
