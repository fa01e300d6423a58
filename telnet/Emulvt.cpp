#include "telnet/Emulvt.h"

#include "platform/Cp874.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
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

    FScreen.InTable = &NormalTable;
    FScreen.OutTable = &NormalTable;
    FScreen.OnCursorVisible = [this](TScreen&) { CursorVisibleChanged(); };
    FScreen.OnBeep = [] { QApplication::beep(); };
    FScreen.OnTrace = [](std::string_view line) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        qDebug().noquote() << QString::fromLatin1(line.data(), qsizetype(line.size()));
    };

    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->setFocusPolicy(Qt::NoFocus);
    FScrollBar->setCursor(Qt::ArrowCursor);
    connect(FScrollBar, &QScrollBar::valueChanged, this, [this](int v) {
        if (!FUpdatingScrollBar)
            ScrollBarMoved(v);
    });

    SetFont(defaultFont());
    resize(250, 100);
    UpdateScrollBar();

    FScreen.SetCursor(0, 0);
    FScreen.PutString("EmulVT");
    FScreen.SetCursor(0, 1);
}

TCustomEmulVT::~TCustomEmulVT()
{
    if (FFilterInstalled)
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
    FFont = Value;
    const QFontMetrics fm(FFont);
    FCharWidth = std::clamp(fm.maxWidth(), 1, kMaxCellPixels);
    FLineHeight = std::clamp(fm.height(), 1, kMaxCellPixels);
    FAscent = fm.ascent();
    FInternalLeading = std::max(0, fm.height() - QFontInfo(FFont).pixelSize());
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetMonoChrome(bool Value)
{
    if (FMonoChrome == Value)
        return;
    FMonoChrome = Value;
    update();
}

void TCustomEmulVT::SetLog(bool Value)
{
    if (FLog == Value)
        return;
    if (Value) {
        FLogFile.setFileName(QString::fromLatin1(LogFileName));
        if (!FLogFile.open(QIODevice::WriteOnly | QIODevice::Append))
            throw std::ios_base::failure("cannot open " + std::string(LogFileName) + ": " +
                                         FLogFile.errorString().toStdString());
        FLog = true;
        if (FLogFile.write("<Open>") != 6 || !FLogFile.flush())
            throw std::ios_base::failure("cannot write " + std::string(LogFileName));
    } else {
        FLog = false;
        const bool ok = FLogFile.write("<Close>") == 7 && FLogFile.flush();
        FLogFile.close();
        if (!ok)
            throw std::ios_base::failure("cannot write " + std::string(LogFileName));
    }
}

void TCustomEmulVT::LogByte(char Ch)
{
    if (!FLogFile.putChar(Ch) || !FLogFile.flush())
        throw std::ios_base::failure("cannot write " + std::string(LogFileName));
}

void TCustomEmulVT::SetRows(int Value)
{
    Value = std::clamp(Value, 1, kMaxRows);
    if (Value == FScreen.Rows())
        return;
    FScreen.ChangeRows(Value);
    UpdateScrollBar();
    FScreen.BlankScreen();
    update();
    PlaceCaret();
}

void TCustomEmulVT::SetCols(int Value)
{
    Value = std::clamp(Value, 1, kLineCells);
    if (Value == FScreen.Cols())
        return;
    FScreen.SetCols(Value);
    FScreen.BlankScreen();
    update();
    PlaceCaret();
}

void TCustomEmulVT::SetBackRows(int Value)
{
    Value = std::clamp(Value, 0, kMaxBackRows);
    if (Value == FScreen.BackRows())
        return;
    FScreen.ChangeBackRows(Value);
    UpdateScrollBar();
}

void TCustomEmulVT::SetLineHeight(int Value)
{
    FLineHeight = std::clamp(Value, 1, kMaxCellPixels);
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetCharWidth(int Value)
{
    FCharWidth = std::clamp(Value, 1, kMaxCellPixels);
    ComputePositions();
    PlaceCaret();
    update();
}

void TCustomEmulVT::SetTopLine(int Value)
{
    FTopLine = Value;
    update();
    PlaceCaret();
    UpdateScrollBar();
}

void TCustomEmulVT::ComputePositions()
{
    for (size_t c = 0; c < FColPos.size(); ++c)
        FColPos[c] = int(c) * FCharWidth;
    for (size_t r = 0; r < FRowPos.size(); ++r)
        FRowPos[r] = int(r) * FLineHeight;
}

int TCustomEmulVT::ColLeft(int Col) const
{
    if (Col >= 0 && size_t(Col) < FColPos.size())
        return FColPos[size_t(Col)] + 6;
    return Col * FCharWidth + 6;
}

int TCustomEmulVT::RowTop(int ShownRow) const
{
    // Rows beyond the table (a tall control showing the scroll-back, the
    // cursor while scrolled away) are computed.
    if (ShownRow >= 0 && size_t(ShownRow) < FRowPos.size())
        return FRowPos[size_t(ShownRow)] + 4;
    return ShownRow * FLineHeight + 4;
}

int TCustomEmulVT::RowAt(int Y) const
{
    for (int r = FScreen.Rows() - 1; r >= 1; --r) {
        if (RowTop(r) - 4 <= Y - 4)
            return r;
    }
    return 0;
}

int TCustomEmulVT::ColAt(int X) const
{
    for (int c = FScreen.Cols() - 1; c >= 1; --c) {
        if (ColLeft(c) - 6 <= X - 6)
            return c;
    }
    return 0;
}

QRect TCustomEmulVT::CellRect(int ShownRow, int Col) const
{
    const int left = Col == 0 ? 0 : ColLeft(Col);
    const int top = RowTop(ShownRow) + FInternalLeading;
    return QRect(left, top, ColLeft(Col + 1) - left, FLineHeight);
}

int TCustomEmulVT::VisibleRows() const
{
    return std::clamp((height() - 8) / FLineHeight, 0, FScreen.Rows());
}

QRect TCustomEmulVT::CaretRect() const
{
    return QRect(ColLeft(FScreen.Col) + 2, RowTop(FScreen.Row - FTopLine) + 3, 2, FLineHeight);
}

bool TCustomEmulVT::CaretInView() const
{
    const int shown = FScreen.Row - FTopLine;
    return shown >= 0 && RowTop(shown) + FLineHeight <= height() - 4;
}

void TCustomEmulVT::PlaceCaret()
{
    const QRect now = CaretInView() ? CaretRect() : QRect();
    if (now == FCaretDrawn)
        return;
    if (CaretShown()) {
        update(FCaretDrawn);
        update(now);
    }
    FCaretDrawn = now;
}

void TCustomEmulVT::ShowCaret()
{
    if (!FCaretCreated || FCaretShown)
        return;
    FCaretShown = true;
    update(FCaretDrawn);
}

void TCustomEmulVT::HideCaret()
{
    if (!FCaretShown)
        return;
    FCaretShown = false;
    update(FCaretDrawn);
}

void TCustomEmulVT::CursorVisibleChanged()
{
    if (FScreen.CursorOff)
        HideCaret();
    else if (hasFocus() && !FCaretShown)
        ShowCaret();
}

void TCustomEmulVT::PutChar(char Ch)
{
    HideCaret();
    if (FLog)
        LogByte(Ch);
    FScreen.PutChar(uint8_t(Ch));
    if (FAutoRepaint)
        RepaintDirty();
}

void TCustomEmulVT::PutString(const QByteArray& Str)
{
    PutBuffer(Str.constData(), int(Str.size()));
}

void TCustomEmulVT::PutBuffer(const char* Buffer, int Len)
{
    HideCaret();
    for (int i = 0; i < Len; ++i) {
        if (FLog)
            LogByte(Buffer[i]);
        FScreen.PutChar(uint8_t(Buffer[i]));
    }
    if (FAutoRepaint)
        RepaintDirty();
}

void TCustomEmulVT::ClearScreen()
{
    FScreen.BlankScreen();
}

void TCustomEmulVT::RepaintDirty()
{
    if (FScreen.AllDirty) {
        update();
    } else if (FScreen.DirtyRight >= FScreen.DirtyLeft && FScreen.DirtyBottom >= FScreen.DirtyTop) {
        const QRect first = CellRect(FScreen.DirtyTop - FTopLine, FScreen.DirtyLeft);
        const QRect last = CellRect(FScreen.DirtyBottom - FTopLine, FScreen.DirtyRight);
        update(first.united(last));
    }
    update(CellRect(FScreen.Row - FTopLine, FScreen.Col));
    FScreen.ClearDirty();
    if (FCaretCreated && !FScreen.CursorOff)
        ShowCaret();
    PlaceCaret();
}

void TCustomEmulVT::UpdateScrollBar()
{
    const int v = VisibleRows();
    const int minimum = -FScreen.BackUsed();
    const int maximum = FScreen.Rows() - v;
    const int top = std::clamp(FTopLine, minimum, std::max(minimum, maximum));
    if (top != FTopLine) {
        // The scroll-back or the screen shrank under the shown rows.
        FTopLine = top;
        update();
        PlaceCaret();
    }
    FScrollBar->setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, height());
    FUpdatingScrollBar = true;
    FScrollBar->setRange(minimum, maximum);
    FScrollBar->setValue(FTopLine);
    FScrollBar->setSingleStep(1);
    FScrollBar->setPageStep(std::max(v, 1));
    FScrollBar->setEnabled(maximum > minimum);
    FUpdatingScrollBar = false;
}

void TCustomEmulVT::ScrollBarMoved(int Value)
{
    FTopLine = Value;
    update();
    PlaceCaret();
    setFocus(Qt::OtherFocusReason);
}

void TCustomEmulVT::SetSelectRect(const QRect& Rect)
{
    FSelectRect = Rect;
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
    UpdateScrollBar();
    const QRect region = e->rect();
    if (region.isEmpty())
        return;

    QPainter p(this);
    const int w = width();
    const int h = height();
    const int lead = FInternalLeading;
    const QColor margin =
        FMonoChrome ? QColor(Qt::white) : QColor(Palette[(FScreen.CurAttr >> 4) & 0x0F]);

    // Above the first row.
    p.fillRect(QRect(0, 0, w, RowTop(0) + lead), margin);

    p.setFont(FFont);
    const auto& glyph = glyphs();
    const int cols = FScreen.Cols();
    int below = RowTop(0) + lead;
    bool stopped = false;
    for (int shown = 0; FTopLine + shown <= FScreen.Rows() - 1; ++shown) {
        const int top = RowTop(shown);
        if (top + lead > region.bottom())
            break;
        if (h - 4 < top + FLineHeight) {
            // A row that does not fit is never drawn in part.
            p.fillRect(QRect(0, top + lead, w, h - top - lead), margin);
            stopped = true;
            break;
        }
        below = top + lead + FLineHeight;
        if (below <= region.top())
            continue;

        const TLine* line = FScreen.LineAt(FTopLine + shown);
        int runAtt = -1;
        QColor back, text;
        for (int c = 0; c < cols; ++c) {
            const uint8_t att = line->Att[size_t(c)];
            if (att != runAtt) {
                runAtt = att;
                if (FMonoChrome) {
                    back = (att & 0xF0) ? QColor(127, 127, 127) : QColor(255, 255, 255);
                    text = (att & 0x0F) ? QColor(0, 0, 0) : QColor(255, 255, 255);
                } else {
                    back = QColor(Palette[(att >> 4) & 0x0F]);
                    text = QColor(Palette[att & 0x0F]);
                }
                p.setPen(text);
            }
            const QRect cell = CellRect(shown, c);
            if (!cell.intersects(region))
                continue;
            p.fillRect(cell, back);
            const QString& g = glyph[line->Txt[size_t(c)]];
            if (!g.isEmpty()) {
                p.setClipRect(cell);
                p.drawText(QPoint(ColLeft(c), top + FAscent), g);
                p.setClipping(false);
            }
        }
    }
    if (!stopped && below < h)
        p.fillRect(QRect(0, below, w, h - below), margin);
    const int right = ColLeft(cols);
    if (right < w - 2)
        p.fillRect(QRect(right, 4, w - right, h - 4), margin);

    if (CaretShown() && !FCaretDrawn.isNull()) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(FCaretDrawn, Qt::white);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    if (HasSelection()) {
        const QRect& s = FSelectRect;
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
    FScreen.Focused = true;
    FCaretCreated = true;
    FCaretShown = false;
    FCaretDrawn = QRect();
    PlaceCaret();
    if (!FScreen.CursorOff)
        ShowCaret();
    if (!FFilterInstalled) {
        qApp->installEventFilter(this);
        FFilterInstalled = true;
    }
}

void TCustomEmulVT::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    FScreen.Focused = false;
    HideCaret();
    FCaretCreated = false;
    if (FFilterInstalled) {
        qApp->removeEventFilter(this);
        FFilterInstalled = false;
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
            KeyPress(c);
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
        if (FindKeyMapEntry(FFKeys, Key.ScanCode, Key.Shift, Key.Extended))
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
        return FindKeyMapEntry(FFKeys, Key.ScanCode, Key.Shift, true).has_value();
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
        char c = char(LetterKeyChar(vk, k.Shift, k.CapsLock, FDeadKeys));
        KeyPress(c);
        return true;
    }
    if (vk == VK_DEADKEY && !(k.Shift & ssAlt)) {
        PressDeadKey(k.Shift, FDeadKeys);
        return true;
    }
    return false;
}

bool TCustomEmulVT::SendMappedKey(uint8_t ScanCode, TShiftState Shift, bool Extended)
{
    const auto text = FindKeyMapEntry(FFKeys, ScanCode, Shift, Extended);
    if (!text)
        return false;
    if (!text->empty())
        SendKeyString(text->data(), int(text->size()));
    return true;
}

void TCustomEmulVT::ShowKeyDefinition(const TKeyStroke& Key)
{
    const QString text = KeyDefinitionText(FFKeys, Key.ScanCode, Key.Shift, Key.Extended);
    QGuiApplication::clipboard()->setText(text);
    MessageBoxService::MessageBox(this, text, KeyDefinitionCaption(FFKeys),
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

void TCustomEmulVT::KeyPress(char& Key)
{
    if (!FScreen.DisplayXlat)
        Key = char((*FScreen.OutTable)[uint8_t(Key)]);
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (FLocalEcho) {
        PutChar(Key);
        if (!FAutoRepaint)
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
