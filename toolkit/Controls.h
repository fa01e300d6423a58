#pragma once

#include "toolkit/Classes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>

// Thin control classes over Qt widgets. Each publishes the property names
// the forms and their language texts use (caption, text, hint, items,
// lines, columns...) and nothing else; the widget does the work.

#define BREVANT_HINT_ACCESSORS                                                                     \
public:                                                                                            \
    QString Hint() const                                                                           \
    {                                                                                              \
        return toolTip();                                                                          \
    }                                                                                              \
    void SetHint(const QString& hint)                                                              \
    {                                                                                              \
        setToolTip(hint);                                                                          \
    }                                                                                              \
                                                                                                   \
private:

class TLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TLabel(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A label that shows a picture.
class TImage : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TImage(const QString& name, QWidget* parent = nullptr);
    void SetPicture(const QImage& image);
signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TButton(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
};

class TCheckBox : public QCheckBox
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TCheckBox(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
};

class TGroupBox : public QGroupBox
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TGroupBox(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return title(); }
    void SetCaption(const QString& caption) { setTitle(caption); }
};

class TPanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TPanel(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption) { caption_ = caption; }

private:
    QString caption_;
};

class TEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TEdit(const QString& name, QWidget* parent = nullptr);
};

class TMemo : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(TStrings* lines READ Lines)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TMemo(const QString& name, QWidget* parent = nullptr);
    ~TMemo() override;
    TStrings* Lines() const { return lines_; }

    // Adds a paragraph after the last one as appendPlainText does (the view
    // follows the end when it showed the last paragraph), then removes the
    // first LineLimit(count) paragraphs (count: the paragraphs then; the
    // last one always stays). The text holds each line at once; the lines
    // added before control returns to the event loop are laid out together
    // then, in one edit, so that a log that takes hundreds of lines a
    // second lays out only what it shows.
    void AppendLine(const QString& line);
    std::function<int(int lines)> LineLimit;

protected:
    // A read-only memo keeps no undo history: nobody can undo in it, and a
    // log that appends and trims for hours would keep every step.
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void endAppending();

    // Before lines_: its making already sends the memo an event.
    QTextCursor appending_;
    bool appendOpen_ = false;
    bool followEnd_ = false;
    TStrings* lines_;
};

class TComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString text READ Text WRITE SetText)
    Q_PROPERTY(TStrings* items READ Items)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TComboBox(const QString& name, QWidget* parent = nullptr);
    QString Text() const { return currentText(); }
    void SetText(const QString& text) { setEditText(text); }
    TStrings* Items() const { return items_; }

private:
    TStrings* items_;
};

// A menu entry. Entries that hold others carry a submenu, made on demand.
class TMenuItem : public QAction
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
public:
    explicit TMenuItem(const QString& name, QObject* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    QString Hint() const { return statusTip(); }
    void SetHint(const QString& hint) { setStatusTip(hint); }

    QMenu* SubMenu();
    // Appends a new entry (or a separator when `name` is empty) to the submenu.
    TMenuItem* AddItem(const QString& name);
    void AddSeparator();
    QList<TMenuItem*> Items() const;
};

// A pop-up menu; its entries are TMenuItems.
class TPopupMenu : public QMenu
{
    Q_OBJECT
public:
    explicit TPopupMenu(const QString& name, QWidget* parent = nullptr);
    TMenuItem* AddItem(const QString& name);
};

class TMainMenu : public QMenuBar
{
    Q_OBJECT
public:
    explicit TMainMenu(const QString& name, QWidget* parent = nullptr);
    TMenuItem* AddItem(const QString& name);
    QList<TMenuItem*> Items() const;
};

// A tool-bar button with a picture and a caption under it.
class TToolButton : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TToolButton(const QString& name, QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
};

class TStatusBar : public QStatusBar
{
    Q_OBJECT
    Q_PROPERTY(QString SimpleText READ SimpleText WRITE SetSimpleText)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TStatusBar(const QString& name, QWidget* parent = nullptr);
    QString SimpleText() const { return currentMessage(); }
    void SetSimpleText(const QString& text);
};

// Tabs of a page control whose pages live elsewhere (the MDI area).
class TTabControl : public QTabBar
{
    Q_OBJECT
    Q_PROPERTY(int TabWidth READ TabWidth WRITE SetTabWidth)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TTabControl(const QString& name, QWidget* parent = nullptr);
    int TabWidth() const { return tabWidth_; }
    void SetTabWidth(int width);

protected:
    QSize tabSizeHint(int index) const override;

private:
    int tabWidth_ = 100;
};

class TListColumn : public TCollectionItem
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    explicit TListColumn(TCollection* collection) : TCollectionItem(collection) {}
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    int Width() const { return width_; }
    void SetWidth(int width);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

private:
    void changed();
    QString caption_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
};

class TListView : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(TCollection* columns READ Columns)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TListView(const QString& name, QWidget* parent = nullptr);
    TCollection* Columns() const { return columns_; }
    void UpdateColumns();

private:
    TCollection* columns_;
};

class TTreeView : public QTreeView
{
    Q_OBJECT
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TTreeView(const QString& name, QWidget* parent = nullptr);
};

// A bar that resizes the control before it in its parent's Align layout
// when dragged.
class TSplitter : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)
    BREVANT_HINT_ACCESSORS
public:
    explicit TSplitter(const QString& name, QWidget* parent = nullptr);
    void SetControl(QWidget* control) { control_ = control; }
    // The narrowest the control may be dragged to.
    int MinSize = 30;
    // After the user has moved the splitter (the button released).
    std::function<void()> OnMoved;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* control_ = nullptr;
    int pressX_ = 0;
    int startWidth_ = 0;
};
