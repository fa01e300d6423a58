#pragma once

#include "platform/HiddenWindow.h"
#include "richtext/RxFormats.h"
#include "toolkit/Graphics.h"

#include <QFlags>
#include <QList>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QRect>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

class QDialog;
class QIODevice;
class QPrinter;
class TRichEditObject;
class TRichEditStrings;
class TRxObjectPainter;
class TRxParaAttributes;
class TRxTextAttributes;
class TRxUrlHighlighter;
namespace RxRtf {
struct Document;
}

// The rich text control: a memo over Qt's rich text document with the
// interface of the platform's rich edit window: character positions,
// selection, attribute objects with their masks, line access and
// notifications.
//
// Positions count characters from 0; a paragraph break is one character.
// "Lines" are paragraphs: a paragraph that wraps on the screen is still one
// line here (the window this replaces counted screen lines; chat windows do
// not wrap by default, and a user who switches wrapping on keeps the same
// line numbers).

// The rich edit library generation the control behaves as: 1, 2 or 3.
// Version 1 has no link notifications (URL detection has no effect), no
// background colour for characters and only bullets as numbering. Set it
// before controls are made (tests switch it); 3 by default.
extern int RichLibraryVersion;

enum TRichStreamFormat { sfDefault, sfRichText, sfPlainText };
enum TRichStreamMode { smSelection = 1, smPlainRtf = 2, smNoObjects = 4, smUnicode = 8 };
Q_DECLARE_FLAGS(TRichStreamModes, TRichStreamMode)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichStreamModes)

enum TRichLangOption {
    rlAutoKeyboard = 1,
    rlAutoFont = 2,
    rlImeCancelComplete = 4,
    rlImeAlwaysSendNotify = 8
};
Q_DECLARE_FLAGS(TRichLangOptions, TRichLangOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichLangOptions)

enum TRichSelection { stText = 1, stObject = 2, stMultiChar = 4, stMultiObject = 8 };
Q_DECLARE_FLAGS(TRichSelectionType, TRichSelection)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRichSelectionType)

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
using TMemoAlignment = TAlignment; // the toolkit's text alignment

// The class library's error for a window operation that failed (a line
// insertion, a stream that could not be read or written).
class EOutOfResources : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A notification as the window reported it: the platform layer's message
// record (platform/HiddenWindow.h).

// Event mask bits: which notifications the control reports.
namespace RxEvent {
constexpr std::uint32_t ENM_CHANGE = 0x00000001;
constexpr std::uint32_t ENM_SELCHANGE = 0x00080000;
constexpr std::uint32_t ENM_REQUESTRESIZE = 0x00040000;
constexpr std::uint32_t ENM_PROTECTED = 0x00200000;
constexpr std::uint32_t ENM_LINK = 0x04000000;
} // namespace RxEvent

// Stream flags of the window's stream operations.
namespace RxStream {
constexpr unsigned SF_TEXT = 0x0001;
constexpr unsigned SF_RTF = 0x0002;
constexpr unsigned SF_RTFNOOBJS = 0x0003;
constexpr unsigned SF_UNICODE = 0x0010;
constexpr unsigned SFF_PLAINRTF = 0x4000;
constexpr unsigned SFF_SELECTION = 0x8000;
// The window's buffer for one call of a stream callback.
constexpr int BufferSize = 4096;
// Most bytes one stream may bring in (a file on disk is no reason to take
// all memory).
constexpr qint64 MaxStreamBytes = qint64(64) << 20;
} // namespace RxStream

// One call of a stream: the window hands a buffer of cb bytes; the callback
// fills it (stream in) or takes it (stream out) and sets count. A non-zero
// answer is an error and ends the stream.
using TEditStreamCallback = std::function<int(char* buffer, int cb, int& count)>;

// Moves bytes between a stream and the control; this one passes them
// through unchanged.
class TConversion
{
public:
    virtual ~TConversion() = default;
    // Reads up to BufSize bytes; returns how many.
    virtual int ConvertReadStream(QIODevice& Stream, char* Buffer, int BufSize);
    // Writes BufSize bytes; returns how many went.
    virtual int ConvertWriteStream(QIODevice& Stream, const char* Buffer, int BufSize);
};
using TConversionClass = std::function<std::unique_ptr<TConversion>()>;

// The file formats the Lines adapter knows by extension.
struct TRichConversionFormat
{
    TConversionClass ConversionClass;
    QString Extension; // lower case, without the dot
    bool PlainText = false;
};
// "txt" (plain text) and "rtf", in this order.
const QList<TRichConversionFormat>& RichConversionFormats();

using TNotifyEvent = std::function<void(QObject* Sender)>;

// A line that TRxCustomRichEdit::AppendLine adds: its text, and records of
// character attributes (TRxTextAttributes' records) that go over ranges of
// it in order, each as the selection's attributes would write it over those
// characters. Ranges count from the line's first character.
struct TRichRun
{
    int Start = 0;
    int Length = 0;
    RxFormat::TCharFormat Record;
};
struct TRichLine
{
    QString Text;
    QList<TRichRun> Runs;
};
using TRichEditProtectChange =
    std::function<void(QObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;
using TRichEditProtectChangeEx = std::function<void(QObject* Sender, const TMessage& Message,
                                                    int StartPos, int EndPos, bool& AllowChange)>;
using TRichEditResizeEvent = std::function<void(QObject* Sender, QRect& Rect)>;
using TRichEditSaveClipboard =
    std::function<void(QObject* Sender, int NumObjects, int NumChars, bool& SaveClipboard)>;
using TRichEditFindErrorEvent = std::function<void(QObject* Sender, const QString& FindText)>;
using TRichEditFindCloseEvent = std::function<void(QObject* Sender, QDialog* Dialog)>;
using TRichEditURLClickEvent =
    std::function<void(QObject* Sender, const QString& URLText, TMouseButton Button)>;

class TRxCustomRichEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit TRxCustomRichEdit(const QString& name = {}, QWidget* parent = nullptr);
    ~TRxCustomRichEdit() override;

    // The control's "window": made on demand by every operation on the
    // text or the selection, and when the control is shown. Until then the
    // attribute objects drop writes and answer as for an all-zero format,
    // and the window's properties answer their stored values.
    bool HandleAllocated() const { return handle_; }
    void HandleNeeded();

    // --- properties of the control ---
    bool AutoURLDetect() const;
    void SetAutoURLDetect(bool value);
    // The verbs of a selected object in the context menu.
    bool AutoVerbMenu() const { return autoVerbMenu_; }
    void SetAutoVerbMenu(bool value) { autoVerbMenu_ = value; }
    // Whether pictures and files can be pasted, dropped, inserted or read
    // from a stream as objects; off, they are left out.
    bool AllowObjects() const { return allowObjects_; }
    void SetAllowObjects(bool value);
    // Kept as set. Objects here always open in the desktop's own programs,
    // never inside the control, which is what the value false asks for.
    bool AllowInPlace() const { return allowInPlace_; }
    void SetAllowInPlace(bool value) { allowInPlace_ = value; }
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value);
    bool HideScrollBars() const { return hideScrollBars_; }
    void SetHideScrollBars(bool value);
    // The document's name that objects show beside the program's (the
    // caption of "Save as").
    QString Title() const { return title_; }
    void SetTitle(const QString& value);
    TRichLangOptions LangOptions() const { return langOptions_; }
    void SetLangOptions(TRichLangOptions value) { langOptions_ = value; }
    TRichEditStrings* Lines() const { return lines_.get(); }
    void SetLines(const QStringList& lines);
    bool PlainText() const { return plainText_; }
    virtual void SetPlainText(bool value);
    bool SelectionBar() const { return selectionBar_; }
    void SetSelectionBar(bool value);
    TRichStreamFormat StreamFormat() const;
    void SetStreamFormat(TRichStreamFormat value);
    TRichStreamModes StreamMode() const;
    void SetStreamMode(TRichStreamModes value);
    int UndoLimit() const { return undoLimit_; }
    void SetUndoLimit(int value);
    bool WordSelection() const { return wordSelection_; }
    void SetWordSelection(bool value) { wordSelection_ = value; }

    // --- the memo's properties ---
    // Background colour of the text area (clWindow by default).
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    // The control's font; a change reaches the text through
    // DefaultAttributes.
    TFont Font() const;
    void SetFont(const TFont& font);
    // Most characters the text may hold; 0 means 0xFFFFFF.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool value);
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool value) { wantReturns_ = value; }
    bool Modified() const;
    void SetModified(bool value);
    TMemoAlignment Alignment() const { return alignment_; }
    void SetAlignment(TMemoAlignment value);
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode value);
    bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    // The whole text, paragraph breaks as CR LF.
    QString Text() const;
    void SetText(const QString& text);

    TRxTextAttributes* SelectionAttributes() const { return selAttributes_.get(); }
    TRxTextAttributes* DefaultAttributes() const { return defAttributes_.get(); }
    TRxTextAttributes* WordAttributes() const { return wordAttributes_.get(); }
    TRxParaAttributes* ParagraphAttributes() const { return paragraph_.get(); }

    // --- selection and text, in character positions ---
    int GetSelectionStart();
    int GetSelectionLength();
    // Selects (Pos, Pos) without scrolling.
    void SetSelectionStart(int Pos);
    // Keeps the selection's start, selects Len characters from it and
    // scrolls the caret into view (also for 0).
    void SetSelectionLength(int Len);
    // An end of -1 means the end of the text; a start of -1 removes the
    // selection and keeps the caret.
    void SetSelection(int StartPos, int EndPos, bool ScrollCaret);
    int SelStart() { return GetSelectionStart(); }
    void SetSelStart(int pos) { SetSelectionStart(pos); }
    int SelLength() { return GetSelectionLength(); }
    void SetSelLength(int len) { SetSelectionLength(len); }
    // The selected text; setting it replaces the selection, leaves the new
    // text selected and scrolls it into view.
    QString SelText();
    void SetSelText(const QString& text);
    // The selected text with a terminating zero, at most BufSize - 1
    // characters; returns the number of characters copied.
    int GetSelTextBuf(char16_t* Buffer, int BufSize);
    // The text from StartPos to EndPos (EndPos -1: to the end). An end
    // before the start gives an empty text. Paragraph breaks read as CR.
    QString GetTextRange(int StartPos, int EndPos);
    // Number of characters (a paragraph break counts one).
    int GetTextLength();

    // First position of a line, -1 for a line that does not exist; Line -1
    // is the caret's line.
    int GetLineStart(int Line);
    // Length of the line holding CharPos, without its break; 0 past the end
    // of the text. CharPos -1: the characters of the selection's lines that
    // are not selected.
    int GetLineLength(int CharPos);
    int GetLineFromChar(int CharPos);
    // Y: the line of the selection's end; X: its distance from that line's
    // start.
    QPoint CaretPos();
    TRichSelectionType SelectionType();

    // Empties the control (closing its objects) and clears Modified.
    void Clear();

    // --- the find dialogs' events, fired by whoever runs the dialogs ---
    virtual void TextNotFound(const QString& FindText);
    virtual void CloseFindDialog(QDialog* Dialog);
    virtual void RequestSize(QRect& Rect);

    // --- embedded objects ---
    // Closes every embedded object, the last first (without saving).
    virtual void CloseObjects();
    // Puts an object in place of the selection; false (and the object
    // dropped) when the control takes no objects (AllowObjects off).
    bool InsertObject(std::unique_ptr<TRichEditObject> object);
    // The object of a document object character, or null.
    TRichEditObject* ObjectById(int id) const;
    // The object the selection is, when it is exactly one object.
    TRichEditObject* SelectedObject();
    // Runs a verb of the selected object; an error when the verb fails.
    void PopupVerbClick(int verb);
    // The menu a context menu request shows: the control's PopupMenu, with
    // the verbs of a selected object added (AutoVerbMenu), or the verbs
    // alone when the control has no menu of its own.
    virtual QMenu* GetPopupMenu();
    // Passes the program's name and the Title to every object.
    void UpdateHostNames();

    // --- the window's streams ---
    // Reads the text (or the selection, with SFF_SELECTION) in the format
    // the flags name; answers 0, or non-zero when the bytes could not be
    // read in that format.
    int StreamIn(unsigned flags, const TEditStreamCallback& read);
    int StreamOut(unsigned flags, const TEditStreamCallback& write);

    // --- printing ---
    // Prints page by page into the printer: the text is laid out to the
    // width of PageRect (printer pixels; empty: the page's printable area)
    // and each page takes the lines that fit.
    virtual void Print(const QString& Caption, QPrinter& printer);
    // On the default printer.
    virtual void Print(const QString& Caption);
    QRect PageRect() const { return pageRect_; }
    void SetPageRect(const QRect& rect) { pageRect_ = rect; }

    // The conversion the Lines adapter uses when it has none of its own.
    TConversionClass DefaultConverter;

    // The event mask (RxEvent bits).
    std::uint32_t EventMask() const { return eventMask_; }
    void SetEventMask(std::uint32_t mask) { eventMask_ = mask; }

    // The link range under a point of the viewport; (-1, -1) when none.
    QPair<int, int> LinkAt(const QPoint& viewportPos);

    // While nobody can undo (a read-only control, or UndoLimit 0), changes
    // made through this interface to one paragraph are laid out together:
    // once control returns to the event loop, before any event reaches the
    // control, or when a change goes to another paragraph. A scroll asked
    // for meanwhile (SelLength, SelText) happens then. Code that reads
    // geometry through QTextEdit's own functions (cursorRect, the scroll
    // bars' range) right after such changes calls FlushLayout first.
    void FlushLayout();

    // --- lines added after the last one (logs, conversations) ---
    // Adds the line as Lines.Add would and writes its runs' records over
    // it, through a cursor of the control's own: the selection and the
    // caret stay with their text. After each line, the first
    // LineLimit(count) lines go (count: the lines then). Lines added before
    // control returns to the event loop wait, and then go in together: one
    // edit, laid out once, without the lines that the limit takes again
    // meanwhile; the text and its formats are what adding them one by one
    // leaves. Any use of this interface, or an event that reaches the
    // control, takes in what waits first; so does FlushLines. Then
    // OnLinesAppended runs.
    void AppendLine(const TRichLine& line);
    void FlushLines();
    std::function<int(int lines)> LineLimit;
    TNotifyEvent OnLinesAppended;

    // Events.
    TNotifyEvent OnChange;
    TNotifyEvent OnSelectionChange;
    TRichEditProtectChange OnProtectChange;
    TRichEditProtectChangeEx OnProtectChangeEx;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditSaveClipboard OnSaveClipboard;
    TRichEditFindErrorEvent OnTextNotFound;
    TRichEditFindCloseEvent OnCloseFindDialog;
    TRichEditURLClickEvent OnURLClick;

protected:
    friend class TRichEditStrings;
    friend class TRxTextAttributes;
    friend class TRxParaAttributes;

    virtual void SelectionChange();
    virtual bool ProtectChange(const TMessage& Message, int StartPos, int EndPos);
    virtual bool SaveClipboard(int NumObjects, int NumChars);
    virtual void URLClick(const QString& URLText, TMouseButton Button);
    virtual void Change();

    // Steps of the window's creation.
    virtual void CreateWnd();

    // Replaces the selection with text (line breaks CR, LF or CR LF), cut
    // to what MaxLength leaves room for. Outside the Lines adapter's own
    // replacements the new text is selected and scrolled into view
    // afterwards, and the replacement can be undone when UndoLimit is above
    // 1. Returns the range the new text took in the document.
    QPair<int, int> ReplaceSelection(const QString& text);
    // The same at a range of the document, without touching the selection.
    QPair<int, int> ReplaceRange(int start, int end, const QString& text, bool canUndo);

    // Runs an edit that must not enter the undo history. Earlier history
    // is dropped, since positions it recorded no longer hold afterwards.
    void RunWithoutUndo(const std::function<void()>& edit);
    // Characters the text may still take when `replaced` characters go.
    int RoomFor(int replaced) const;
    int TextLimit() const { return maxLength_ == 0 ? 0xFFFFFF : maxLength_; }

    // The range an attribute object of the given kind acts on.
    QPair<int, int> AttributeRange(int kind);
    // The records of the control's default format (mask full).
    const RxFormat::TCharFormat& DefaultFormat() const { return defaultFormat_; }
    void SetDefaultFormat(const RxFormat::TCharFormat& record);
    // The format of the character at a position (mask full).
    RxFormat::TCharFormat CharFormatAt(int pos);
    RxFormat::TCharFormat ReadCharFormat(int start, int end);
    void WriteCharFormat(int start, int end, const RxFormat::TCharFormat& record);
    // The paragraph record of the selection's first paragraph, and a write
    // to every paragraph the selection touches.
    RxFormat::TParaFormat ReadParaFormat();
    void WriteParaFormat(const RxFormat::TParaFormat& record);
    qreal Dpi() const;

    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

    // Runs an event handler; an exception it raises goes to the
    // application's error box instead of out of the event loop.
    static void Guard(const std::function<void()>& handler);

private:
    void selectionChangedInWindow();
    void textChangedInWindow();
    void applyUndoLimit();
    void applyScrollBars();
    void applyPalette();
    void applyTextMode();
    void applyAutoURLDetect();
    void applyDefaultFont();
    void applySelectionBar();
    // The undo history in steps (Qt's document counts commands, several
    // to a step): where each step ends, as counts of the document's
    // commands, the undone ones too until a new edit drops them.
    void undoCommandAdded();
    void redoAvailableChanged(bool available);
    int undoStepCount() const;
    // Past UndoLimit steps, the oldest are given up and at least the newest
    // half stay. Runs where no edit of the document is under way.
    void limitUndoHistory();
    void postUndoLimit();
    void selectionBarClick(const QPoint& pos);
    void extendSelectionToWords();
    bool linkEventsOn() const;
    void showContextMenu(const QPoint& globalPos);
    QTextCharFormat qtFormatAt(int pos);
    int objectAt(int pos);
    void insertObjectAt(QTextCursor& cursor, std::unique_ptr<TRichEditObject> object);
    // After text was removed: objects whose character left the text are
    // closed, and freed unless the undo history may bring them back.
    void sweepObjects();
    // Rich text of a range, and rich text in place of a range.
    RxRtf::Document buildModel(int start, int end, bool withObjects);
    // Puts a document in place of [start, end); answers where its text
    // ends. `undoable`: one step of the undo history (a user's paste or
    // drop); otherwise outside it. `intoText`: a fragment put into the text,
    // whose last paragraph is not ended by it and so takes the format of
    // the paragraph it lands in; otherwise the document is the whole text
    // and every paragraph keeps its own format.
    int insertModel(int start, int end, const RxRtf::Document& model, bool undoable, bool intoText);
    int formatRange(QPainter& painter, QTextDocument& doc, int from, const QRectF& rect,
                    qreal scale);
    int effectiveUndoLimit() const;
    // Opens (or keeps) the layout batch for a change at a position; ends it.
    void beginBatch(int pos);
    void endBatch();
    // The waiting lines in one go, or (where that cannot leave what adding
    // them one by one leaves) one by one.
    bool appendTogether(const QList<TRichLine>& lines);
    void appendOneByOne(const QList<TRichLine>& lines);
    void removeFirstLines(int count);
    void applyPendingScroll();
    void ensureVisible(const QRect& rect);

    bool handle_ = false;
    std::uint32_t eventMask_ = 0;

    std::unique_ptr<TRichEditStrings> lines_;
    std::unique_ptr<TRxTextAttributes> selAttributes_;
    std::unique_ptr<TRxTextAttributes> defAttributes_;
    std::unique_ptr<TRxTextAttributes> wordAttributes_;
    std::unique_ptr<TRxParaAttributes> paragraph_;
    TRxUrlHighlighter* highlighter_ = nullptr;

    bool autoURLDetect_ = true;
    bool autoVerbMenu_ = true;
    bool allowObjects_ = true;
    bool allowInPlace_ = true;
    bool hideSelection_ = true;
    bool hideScrollBars_ = true;
    bool selectionBar_ = true;
    bool plainText_ = false;
    bool wordSelection_ = true;
    bool wordWrap_ = true;
    bool wantTabs_ = false;
    bool wantReturns_ = true;
    QString title_;
    TRichLangOptions langOptions_ = rlAutoFont;
    int undoLimit_ = 100;
    int maxLength_ = 0;
    TScrollStyle scrollBars_ = ssBoth;
    TColor color_ = clWindow;
    TColor fontColor_ = clWindowText;
    TFontCharset fontCharset_ = DEFAULT_CHARSET;
    TMemoAlignment alignment_ = taLeftJustify;
    TBiDiMode biDiMode_ = bdLeftToRight;
    QPointer<QMenu> popupMenu_;
    RxFormat::TCharFormat defaultFormat_;

    // Set by the Lines adapter around its own replacements.
    bool linesUpdating_ = false;

    // The link under the last button press.
    int linkStart_ = -1;
    int linkEnd_ = -1;
    bool linkRight_ = false;
    // A context menu asked for by a right press waits for the release, so
    // that a right click on a link is reported first.
    bool contextMenuPending_ = false;
    // Word selection while dragging.
    bool dragging_ = false;

    // The open layout batch.
    QTextCursor batch_;
    QTextBlock batchBlock_;
    bool batchOpen_ = false;
    bool flushing_ = false;
    bool painting_ = false;
    bool flushPosted_ = false;
    bool scrollPending_ = false;
    QTextCursor scrollTarget_;

    // Lines that AppendLine keeps until the event loop's turn ends.
    QList<TRichLine> pendingLines_;
    bool linesPosted_ = false;

    // Embedded objects by the number their character carries.
    std::map<int, std::unique_ptr<TRichEditObject>> objects_;
    int nextObjectId_ = 1;
    bool sweepPosted_ = false;
    TRxObjectPainter* objectPainter_ = nullptr;
    QPointer<QMenu> verbMenu_;
    QRect pageRect_;

    std::vector<int> undoBoundaries_;
    bool trimmingUndo_ = false;
    bool trimPosted_ = false;
    // Set while a paste or a drop puts its data in.
    bool insertingData_ = false;

    int lastSelStart_ = -1;
    int lastSelEnd_ = -1;
    mutable QPointer<QMimeData> copied_;
};

// The published control.
class TRxRichEdit : public TRxCustomRichEdit
{
    Q_OBJECT
    Q_PROPERTY(bool AutoURLDetect READ AutoURLDetect WRITE SetAutoURLDetect)
    Q_PROPERTY(bool AutoVerbMenu READ AutoVerbMenu WRITE SetAutoVerbMenu)
    Q_PROPERTY(bool AllowObjects READ AllowObjects WRITE SetAllowObjects)
    Q_PROPERTY(bool AllowInPlace READ AllowInPlace WRITE SetAllowInPlace)
    Q_PROPERTY(bool HideSelection READ HideSelection WRITE SetHideSelection)
    Q_PROPERTY(bool HideScrollBars READ HideScrollBars WRITE SetHideScrollBars)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(bool PlainText READ PlainText WRITE SetPlainText)
    Q_PROPERTY(bool SelectionBar READ SelectionBar WRITE SetSelectionBar)
    Q_PROPERTY(int UndoLimit READ UndoLimit WRITE SetUndoLimit)
    Q_PROPERTY(bool WordSelection READ WordSelection WRITE SetWordSelection)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool WantTabs READ WantTabs WRITE SetWantTabs)
    Q_PROPERTY(bool WantReturns READ WantReturns WRITE SetWantReturns)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
public:
    using TRxCustomRichEdit::TRxCustomRichEdit;
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
};
