// The terminal control: a widget that shows a TScreen and takes the keyboard
// for it. It feeds bytes through its interpreter to the screen (and to the log
// file "EMULVT.LOG" when Log is on), repaints only the cells the screen marks
// dirty, keeps a caret at the cursor, shows the scroll-back through a vertical scroll bar
// and turns key presses into the bytes a host expects, through the key maps
// that FKeys selects. It knows nothing of telnet: a derived class sends what
// SendKeyString and the key-press step produce.
//
// Cell geometry: column c of the row shown at position r has its left edge at
// c * CharWidth + 6 and its top at r * LineHeight + 4; the row shown first is
// TopLine (negative while looking into the scroll-back).
#pragma once

#include "telnet/EmulvtKeys.h"
#include "telnet/EmulvtParser.h"
#include "telnet/EmulvtScreen.h"

#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QRawFont>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QScrollBar;

class TCustomEmulVT : public QWidget
{
    Q_OBJECT
public:
    using TKeyPressEvent = std::function<void(QObject* Sender, char& Key)>;
    using TKeyBufferEvent = std::function<void(QObject* Sender, const char* Text, int Len)>;
    using TKeyDownEvent = std::function<void(QObject* Sender, uint16_t& VirtKey, TShiftState& Shift,
                                             bool& CapsLock, uint8_t& ScanCode, bool& Extended)>;
    using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                           TShiftState Shift, int X, int Y)>;
    using TMouseMoveEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // The 16 colours of the attribute byte's foreground and background
    // fields.
    static const std::array<QRgb, 16> Palette;
    // The name of the log file, in the current directory.
    static const char* const LogFileName;

    explicit TCustomEmulVT(QWidget* AOwner = nullptr);
    ~TCustomEmulVT() override;

    TScreen& Screen() { return screen_; }
    const TScreen& Screen() const { return screen_; }
    TVTParser& Parser() { return parser_; }
    const TVTParser& Parser() const { return parser_; }

    // Properties.
    bool AutoRepaint() const { return autoRepaint_; }
    void SetAutoRepaint(bool Value) { autoRepaint_ = Value; }
    QFont Font() const { return font_; }
    void SetFont(const QFont& Value);
    bool LocalEcho() const { return localEcho_; }
    void SetLocalEcho(bool Value) { localEcho_ = Value; }
    bool AutoLF() const { return screen_.AutoLF; }
    void SetAutoLF(bool Value) { screen_.AutoLF = Value; }
    bool AutoCR() const { return screen_.AutoCR; }
    void SetAutoCR(bool Value) { screen_.AutoCR = Value; }
    bool Xlat() const { return screen_.Xlat(); }
    void SetXlat(bool Value) { screen_.SetXlat(Value); }
    bool MonoChrome() const { return monoChrome_; }
    void SetMonoChrome(bool Value);
    // Opens or closes the log file; raises std::ios_base::failure when the
    // file cannot be written. A log that fails while bytes are fed is closed
    // (Log becomes false) as the failure is raised.
    bool Log() const { return log_; }
    void SetLog(bool Value);
    int Rows() const { return screen_.Rows(); }
    void SetRows(int Value);
    int Cols() const { return screen_.Cols(); }
    void SetCols(int Value);
    int BackRows() const { return screen_.BackRows(); }
    void SetBackRows(int Value);
    TBackColors BackColor() const { return TBackColors(screen_.BackColor); }
    void SetBackColor(TBackColors Value) { screen_.BackColor = Value; }
    TScreenOptions Options() const { return screen_.Options; }
    void SetOptions(TScreenOptions Value) { screen_.Options = Value; }
    int LineHeight() const { return lineHeight_; }
    void SetLineHeight(int Value);
    int CharWidth() const { return charWidth_; }
    void SetCharWidth(int Value);
    int FKeys() const { return fKeys_; }
    void SetFKeys(int Value) { fKeys_ = Value; }
    // The font's internal leading: the cells' rectangles start this far
    // below the row tops.
    int InternalLeading() const { return internalLeading_; }

    // The screen row shown at the top.
    int TopLine() const { return topLine_; }
    void SetTopLine(int Value);

    TKeyPressEvent OnKeyPress;
    TKeyBufferEvent OnKeyBuffer;
    TKeyDownEvent OnKeyDown;
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Feeding bytes: each is logged when Log is on, then interpreted; the
    // changed cells are repainted when AutoRepaint is on. A log write that
    // fails raises std::ios_base::failure.
    void PutChar(char Ch);
    void PutString(const QByteArray& Str);
    void PutBuffer(const char* Buffer, int Len);
    void ClearScreen();
    // Invalidates the changed cells and the cursor's cell, clears the
    // screen's dirty state and moves the caret. The cells are painted when
    // the event loop paints, at most once per frame of the screen.
    void RepaintDirty();
    // Changes wait for a frame to be painted.
    bool RepaintPending() const;
    void UpdateScrollBar();

    // Pixel edges of cells (row r as shown) and the cell under a point.
    int ColLeft(int Col) const;
    int RowTop(int ShownRow) const;
    int RowAt(int Y) const;
    int ColAt(int X) const;
    // The rectangle a cell's colours fill, in pixels.
    QRect CellRect(int ShownRow, int Col) const;

    // The caret: 2 pixels wide and LineHeight high, at the cursor; shown
    // while the control has the focus and the host has not switched the
    // cursor off, and only when the cursor's row is shown.
    bool CaretShown() const { return caretCreated_ && caretShown_; }
    QRect CaretRect() const;
    bool CaretInView() const;

    // The selection rectangle in pixels (left, top, right, bottom); a top of
    // -1 means none.
    QRect SelectRect() const { return selectRect_; }
    void SetSelectRect(const QRect& Rect);
    bool HasSelection() const { return selectRect_.top() != -1; }

    QScrollBar* ScrollBar() const { return scrollBar_; }

    // Sends a key's text; the base class hands it to OnKeyBuffer when
    // assigned, otherwise passes each character through the key-press step.
    virtual void SendKeyString(const char* Text, int Len);

    // The key handling, applied to key presses while the control has the
    // focus; returns true when the key is taken.
    bool HandleKeyDown(const TKeyStroke& Key);
    // Sends the selected map's text for a key; false when the map has none.
    bool SendMappedKey(uint8_t ScanCode, TShiftState Shift, bool Extended);

    // The key-definition display is armed (shared by all terminals).
    static bool KeyDefinitionArmed();

protected:
    // Where a character of the key-press step comes from: a key of the key
    // handling (letters, dead keys, Backspace, Tab, Enter, Escape, key map
    // texts), or text the platform typed for a key the handling left.
    enum class TKeyOrigin { Key, TypedText };
    // The key-press step: translation through OutTable (unless DisplayXlat,
    // or the character is typed text at 0x80 or above in code page 874: a
    // Thai letter goes as its own byte), OnKeyPress, then the local echo.
    // Derived classes add the sending.
    virtual void KeyPress(char& Key, TKeyOrigin Origin = TKeyOrigin::Key);

    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void timerEvent(QTimerEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void Invalidate(const QRect& Rect);
    void RequestFrame();
    int FrameInterval() const;
    void CursorVisibleChanged();
    void ScrollBarMoved(int Value);
    void ComputePositions();
    void ShowCaret();
    void HideCaret();
    void PlaceCaret();
    void ShowKeyDefinition(const TKeyStroke& Key);
    bool WouldHandleKey(const TKeyStroke& Key) const;
    void LogByte(char Ch);
    [[noreturn]] void LogFailed();
    int VisibleRows() const;

    TScreen screen_;
    TVTParser parser_{screen_};
    QScrollBar* scrollBar_ = nullptr;
    QFont font_;
    bool autoRepaint_ = true;
    bool localEcho_ = false;
    bool monoChrome_ = false;
    bool log_ = false;
    QFile logFile_;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int internalLeading_ = 0;
    int ascent_ = 0;
    int fKeys_ = 1;
    int topLine_ = 0;
    // Pixel positions of columns 0..133 and rows 0..50.
    std::array<int, kLineCells + 1> colPos_{};
    std::array<int, kMaxRows + 1> rowPos_{};
    // Characters whose ink stays inside their cell, and their glyphs in the
    // font (0: drawn as text, through the font's fallbacks).
    std::array<bool, 256> glyphFits_{};
    std::array<quint32, 256> glyphIndex_{};
    QRawFont rawFont_;
    bool caretCreated_ = false;
    bool caretShown_ = false;
    QRect caretDrawn_;
    bool filterInstalled_ = false;
    TDeadKeys deadKeys_;
    QRect selectRect_{0, -1, 0, 0};
    bool updatingScrollBar_ = false;
    // Frames: what waits for the next one, whether a paint has been asked for
    // and not yet happened, and the time since the last paint.
    QRegion pending_;
    bool updateRequested_ = false;
    QBasicTimer frameTimer_;
    QElapsedTimer sinceFrame_;
};

// The control with its properties published.
class TEmulVT : public TCustomEmulVT
{
    Q_OBJECT
    Q_PROPERTY(bool AutoRepaint READ AutoRepaint WRITE SetAutoRepaint)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(bool LocalEcho READ LocalEcho WRITE SetLocalEcho)
    Q_PROPERTY(bool AutoLF READ AutoLF WRITE SetAutoLF)
    Q_PROPERTY(bool AutoCR READ AutoCR WRITE SetAutoCR)
    Q_PROPERTY(bool Xlat READ Xlat WRITE SetXlat)
    Q_PROPERTY(bool MonoChrome READ MonoChrome WRITE SetMonoChrome)
    Q_PROPERTY(bool Log READ Log WRITE SetLog)
    Q_PROPERTY(int Rows READ Rows WRITE SetRows)
    Q_PROPERTY(int Cols READ Cols WRITE SetCols)
    Q_PROPERTY(int BackRows READ BackRows WRITE SetBackRows)
    Q_PROPERTY(int BackColor READ BackColorValue WRITE SetBackColorValue)
    Q_PROPERTY(uint Options READ Options WRITE SetOptions)
    Q_PROPERTY(int LineHeight READ LineHeight WRITE SetLineHeight)
    Q_PROPERTY(int CharWidth READ CharWidth WRITE SetCharWidth)
    Q_PROPERTY(int FKeys READ FKeys WRITE SetFKeys)
public:
    explicit TEmulVT(QWidget* AOwner = nullptr) : TCustomEmulVT(AOwner) {}

private:
    int BackColorValue() const { return BackColor(); }
    void SetBackColorValue(int Value) { SetBackColor(TBackColors(Value & 7)); }
};
