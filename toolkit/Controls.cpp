#include "toolkit/Controls.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

TLabel::TLabel(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
}

void TLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

TImage::TImage(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
}

void TImage::SetPicture(const QImage& image)
{
    setPixmap(QPixmap::fromImage(image));
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (isEnabled())
        emit DblClick();
}

TButton::TButton(const QString& name, QWidget* parent) : QPushButton(parent)
{
    setObjectName(name);
}

TCheckBox::TCheckBox(const QString& name, QWidget* parent) : QCheckBox(parent)
{
    setObjectName(name);
}

TGroupBox::TGroupBox(const QString& name, QWidget* parent) : QGroupBox(parent)
{
    setObjectName(name);
}

TPanel::TPanel(const QString& name, QWidget* parent) : QFrame(parent)
{
    setObjectName(name);
}

TEdit::TEdit(const QString& name, QWidget* parent) : QLineEdit(parent)
{
    setObjectName(name);
}

TMemo::TMemo(const QString& name, QWidget* parent)
    : QPlainTextEdit(parent), lines_(new TStrings(this))
{
    setObjectName(name);
    lines_->OnChange = [this] {
        endAppending();
        setPlainText(lines_->lines().join(u'\n'));
    };
}

TMemo::~TMemo()
{
    endAppending();
}

void TMemo::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::ReadOnlyChange) {
        endAppending();
        document()->setUndoRedoEnabled(!isReadOnly());
    }
}

void TMemo::AppendLine(const QString& line)
{
    QTextDocument* doc = document();
    if (!appendOpen_) {
        // Whether the view shows the last paragraph now, as appendPlainText
        // asks; the scroll to the end follows the edit.
        followEnd_ = isVisible() &&
                     blockBoundingGeometry(doc->lastBlock()).translated(contentOffset()).top() <=
                         viewport()->rect().bottom();
        appending_ = QTextCursor(doc);
        // Inside the edit no cursor's position lays out a paragraph.
        appending_.beginEditBlock();
        appendOpen_ = true;
        QMetaObject::invokeMethod(this, &TMemo::endAppending, Qt::QueuedConnection);
    }
    // What appendPlainText writes: a new paragraph in the formats of the
    // memo's cursor, unless the text is empty.
    const QTextCursor typing = textCursor();
    // A position, not a move: a cursor's move lays out its paragraph.
    appending_.setPosition(doc->characterCount() - 1);
    if (!doc->isEmpty())
        appending_.insertBlock(typing.blockFormat(), typing.charFormat());
    else
        appending_.setCharFormat(typing.charFormat());
    appending_.insertText(line);
    const int count = doc->blockCount();
    const int excess = LineLimit ? qMin(LineLimit(count), count - 1) : 0;
    if (excess > 0) {
        QTextCursor first(doc);
        first.setPosition(doc->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }
}

void TMemo::endAppending()
{
    if (!appendOpen_)
        return;
    appendOpen_ = false;
    appending_.endEditBlock();
    appending_ = QTextCursor();
    if (followEnd_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool TMemo::event(QEvent* event)
{
    // Whatever reaches the memo sees the text laid out.
    if (appendOpen_ && event->type() != QEvent::MetaCall)
        endAppending();
    return QPlainTextEdit::event(event);
}

bool TMemo::viewportEvent(QEvent* event)
{
    if (appendOpen_)
        endAppending();
    return QPlainTextEdit::viewportEvent(event);
}

TComboBox::TComboBox(const QString& name, QWidget* parent)
    : QComboBox(parent), items_(new TStrings(this))
{
    setObjectName(name);
    setEditable(true);
    items_->OnChange = [this] {
        const QString text = currentText();
        clear();
        addItems(items_->lines());
        setEditText(text);
    };
}

TMenuItem::TMenuItem(const QString& name, QObject* parent) : QAction(parent)
{
    setObjectName(name);
}

void TMenuItem::SetCaption(const QString& caption)
{
    setText(caption);
    if (menu())
        menu()->setTitle(caption);
}

QMenu* TMenuItem::SubMenu()
{
    if (!menu()) {
        // The submenu belongs to the entry; QAction does not own it.
        auto* sub = new QMenu(text(), qobject_cast<QWidget*>(parent()));
        setMenu(sub);
        connect(this, &QObject::destroyed, sub, &QObject::deleteLater);
    }
    return menu();
}

TMenuItem* TMenuItem::AddItem(const QString& name)
{
    auto* item = new TMenuItem(name, SubMenu());
    SubMenu()->addAction(item);
    return item;
}

void TMenuItem::AddSeparator()
{
    SubMenu()->addSeparator();
}

QList<TMenuItem*> TMenuItem::Items() const
{
    QList<TMenuItem*> items;
    if (menu())
        for (QAction* action : menu()->actions())
            if (auto* item = qobject_cast<TMenuItem*>(action))
                items.append(item);
    return items;
}

TPopupMenu::TPopupMenu(const QString& name, QWidget* parent) : QMenu(parent)
{
    setObjectName(name);
}

TMenuItem* TPopupMenu::AddItem(const QString& name)
{
    auto* item = new TMenuItem(name, this);
    addAction(item);
    return item;
}

TMainMenu::TMainMenu(const QString& name, QWidget* parent) : QMenuBar(parent)
{
    setObjectName(name);
}

TMenuItem* TMainMenu::AddItem(const QString& name)
{
    auto* item = new TMenuItem(name, this);
    item->SubMenu();
    addAction(item);
    return item;
}

QList<TMenuItem*> TMainMenu::Items() const
{
    QList<TMenuItem*> items;
    for (QAction* action : actions())
        if (auto* item = qobject_cast<TMenuItem*>(action))
            items.append(item);
    return items;
}

TToolButton::TToolButton(const QString& name, QWidget* parent) : QToolButton(parent)
{
    setObjectName(name);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setAutoRaise(true);
}

TStatusBar::TStatusBar(const QString& name, QWidget* parent) : QStatusBar(parent)
{
    setObjectName(name);
    setSizeGripEnabled(false);
}

void TStatusBar::SetSimpleText(const QString& text)
{
    if (text.isEmpty())
        clearMessage();
    else
        showMessage(text);
}

TTabControl::TTabControl(const QString& name, QWidget* parent) : QTabBar(parent)
{
    setObjectName(name);
    setExpanding(false);
    setElideMode(Qt::ElideRight);
    setUsesScrollButtons(false);
}

void TTabControl::SetTabWidth(int width)
{
    if (width == tabWidth_)
        return;
    tabWidth_ = width;
    // Makes the bar ask for the tab sizes again.
    setIconSize(iconSize());
    updateGeometry();
    update();
}

QSize TTabControl::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    size.setWidth(tabWidth_);
    return size;
}

void TListColumn::SetCaption(const QString& caption)
{
    caption_ = caption;
    changed();
}

void TListColumn::SetWidth(int width)
{
    width_ = width;
    changed();
}

void TListColumn::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    changed();
}

void TListColumn::changed()
{
    if (auto* view = qobject_cast<TListView*>(Collection()->parent()))
        view->UpdateColumns();
}

TListView::TListView(const QString& name, QWidget* parent)
    : QTreeWidget(parent),
      columns_(new TCollection([](TCollection* c) { return new TListColumn(c); }, this))
{
    setObjectName(name);
    setRootIsDecorated(false);
    columns_->OnChange = [this] { UpdateColumns(); };
    UpdateColumns();
}

void TListView::UpdateColumns()
{
    const int count = columns_->Count();
    setColumnCount(count > 0 ? count : 1);
    setHeaderHidden(count == 0);
    QStringList labels;
    for (int i = 0; i < count; ++i) {
        auto* column = static_cast<TListColumn*>(columns_->Item(i));
        labels.append(column->Caption());
        setColumnWidth(i, column->Width());
    }
    if (count > 0)
        setHeaderLabels(labels);
}

TTreeView::TTreeView(const QString& name, QWidget* parent) : QTreeView(parent)
{
    setObjectName(name);
    setHeaderHidden(true);
}

TSplitter::TSplitter(const QString& name, QWidget* parent) : QFrame(parent)
{
    setObjectName(name);
    setFixedWidth(3);
    setCursor(Qt::SplitHCursor);
}

void TSplitter::mousePressEvent(QMouseEvent* event)
{
    pressX_ = int(event->globalPosition().x());
    startWidth_ = control_ ? control_->width() : 0;
}

void TSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!control_ || !(event->buttons() & Qt::LeftButton))
        return;
    const int width = startWidth_ + int(event->globalPosition().x()) - pressX_;
    control_->setFixedWidth(qMax(MinSize, width));
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && control_ && OnMoved)
        OnMoved();
}
