#include "components/speedbar/SpeedbarSetup.h"

#include "components/speedbar/SpeedBar.h"
#include "toolkit/Controls.h"
#include "toolkit/EventGuard.h"
#include "toolkit/Messages.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kCellGap = 4;
constexpr int kGridColumns = 5;

} // namespace

// --- TSpeedbarButtonsGrid ----------------------------------------------------

TSpeedbarButtonsGrid::TSpeedbarButtonsGrid(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ButtonsList"));
    setMinimumSize(120, 80);
}

TSpeedbarButtonsGrid::~TSpeedbarButtonsGrid() = default;

void TSpeedbarButtonsGrid::SetItems(TSpeedBar* bar, const QList<TSpeedItem*>& items)
{
    bar_ = bar;
    items_.clear();
    for (TSpeedItem* item : items)
        items_.append(item);
    // A drag from the grid is of an item the grid offers.
    if (dragged_ && !items.contains(dragged_.data())) {
        dragged_ = nullptr;
        dragControl_.reset();
    }
    updateGeometry();
    update();
}

QList<TSpeedItem*> TSpeedbarButtonsGrid::Items() const
{
    QList<TSpeedItem*> items;
    for (const QPointer<TSpeedItem>& item : items_)
        items.append(item.data());
    return items;
}

QSize TSpeedbarButtonsGrid::cellSize() const
{
    if (!bar_)
        return QSize(24 + kCellGap, 23 + kCellGap);
    return QSize(std::max(1, bar_->BtnWidth()) + kCellGap,
                 std::max(1, bar_->BtnHeight()) + kCellGap);
}

int TSpeedbarButtonsGrid::columns() const
{
    return std::max(1, std::min(kGridColumns, (width() - kCellGap) / cellSize().width()));
}

QRect TSpeedbarButtonsGrid::CellRect(int index) const
{
    const QSize cell = cellSize();
    const int c = columns();
    return QRect(kCellGap + (index % c) * cell.width(), kCellGap + (index / c) * cell.height(),
                 cell.width() - kCellGap, cell.height() - kCellGap);
}

int TSpeedbarButtonsGrid::ItemAt(QPoint point) const
{
    for (int i = 0; i < items_.size(); ++i)
        if (CellRect(i).contains(point))
            return i;
    return -1;
}

QSize TSpeedbarButtonsGrid::sizeHint() const
{
    const QSize cell = cellSize();
    return QSize(kCellGap + kGridColumns * cell.width(), kCellGap + 3 * cell.height());
}

void TSpeedbarButtonsGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    for (int i = 0; i < items_.size(); ++i) {
        TSpeedItem* item = items_.at(i);
        if (!item)
            continue;
        TButtonImage image;
        image.ButtonSize = CellRect(i).size();
        image.SetGlyph(item->Glyph());
        image.SetNumGlyphs(item->NumGlyphs());
        image.SetCaption(item->BtnCaption());
        image.SetWordWrap(item->WordWrap());
        const QRect cell = CellRect(i);
        const QFont font = item->Font();
        image.DrawImage(painter, cell.x(), cell.y(), Qt::AlignHCenter, item->ImageIndex(),
                        bar_ ? bar_->Images() : nullptr, &font, item->Layout(), item->Spacing(),
                        item->Margin());
    }
}

void TSpeedbarButtonsGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !bar_)
        return;
    const QPoint p = event->position().toPoint();
    const int index = ItemAt(p);
    if (index < 0 || !items_.at(index))
        return;
    dragged_ = items_.at(index);
    grip_ = p - CellRect(index).topLeft();
    dragControl_ = std::make_unique<TBtnControl>();
    dragControl_->CopyItem(dragged_);
}

void TSpeedbarButtonsGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragControl_)
        return;
    dragControl_->ShowAt(mapToGlobal(event->position().toPoint()) - grip_);
}

void TSpeedbarButtonsGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragControl_)
        return;
    dragControl_.reset();
    TSpeedItem* item = dragged_;
    dragged_ = nullptr;
    if (!item || !bar_)
        return;
    const QPoint origin = bar_->mapFromGlobal(mapToGlobal(event->position().toPoint()) - grip_);
    if (!bar_->rect().contains(origin))
        return;
    TSpeedBar* bar = bar_;
    GuardEvent(this, [&] {
        if (bar->DropItemAt(item, origin.x(), origin.y()))
            SendControlMessage(bar->EditWindow(), CM_BARCHANGED, bcItemDropped,
                               reinterpret_cast<qintptr>(static_cast<QObject*>(item)));
    });
}

// --- TSpeedbarSetupWindow ----------------------------------------------------

TSpeedbarSetupWindow::TSpeedbarSetupWindow(TSpeedBar* bar, QWidget* parent)
    : TForm(parent, Qt::Tool | Qt::WindowStaysOnTopHint), bar_(bar)
{
    setObjectName(QStringLiteral("SpeedbarSetupWindow"));
    SetFormStyle(fsStayOnTop);
    SetCaption(QStringLiteral("Customize Speedbar"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* grid = new QGridLayout(this);
    CategoriesLabel = new QLabel(QStringLiteral("&Categories:"), this);
    SectionList = new QListWidget(this);
    SectionList->setObjectName(QStringLiteral("SectionList"));
    CategoriesLabel->setBuddy(SectionList);
    ButtonsLabel = new QLabel(QStringLiteral("&Available buttons:"), this);
    ButtonsList = new TSpeedbarButtonsGrid(this);
    ButtonsLabel->setBuddy(ButtonsList);
    HintLabel = new QLabel(QStringLiteral("To add command buttons, drag and drop buttons onto the "
                                          "SpeedBar. To remove command buttons, drag them off of "
                                          "the SpeedBar."),
                           this);
    HintLabel->setWordWrap(true);
    CloseBtn = new TButton(QStringLiteral("CloseBtn"), this);
    CloseBtn->SetCaption(QStringLiteral("&Close"));
    HelpBtn = new TButton(QStringLiteral("HelpBtn"), this);
    HelpBtn->SetCaption(QStringLiteral("&Help"));
    // There is no help file to open.
    HelpBtn->setEnabled(false);
    grid->addWidget(CategoriesLabel, 0, 0);
    grid->addWidget(ButtonsLabel, 0, 1);
    grid->addWidget(SectionList, 1, 0);
    grid->addWidget(ButtonsList, 1, 1);
    grid->addWidget(HintLabel, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    buttons->addWidget(HelpBtn);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(SectionList, &QListWidget::currentRowChanged, this,
            [this](int row) { showSection(row); });
    connect(CloseBtn, &QPushButton::clicked, this, [this] { Close(); });

    if (bar_)
        bar_->SetEditWindow(this);
    UpdateLists();
}

TSpeedbarSetupWindow::~TSpeedbarSetupWindow()
{
    endCustomize();
}

void TSpeedbarSetupWindow::endCustomize()
{
    if (bar_ && bar_->EditWindow() == this)
        bar_->SetEditWindow(nullptr);
}

void TSpeedbarSetupWindow::FormClose(TCloseAction& action)
{
    endCustomize();
    action = caFree;
}

void TSpeedbarSetupWindow::UpdateLists()
{
    const int current = std::max(0, SectionList->currentRow());
    {
        const QSignalBlocker quiet(SectionList);
        SectionList->clear();
        if (bar_)
            for (int i = 0; i < bar_->SectionCount(); ++i)
                SectionList->addItem(bar_->Sections(i)->Caption());
        if (SectionList->count() > 0)
            SectionList->setCurrentRow(std::min(current, SectionList->count() - 1));
    }
    showSection(SectionList->currentRow());
}

void TSpeedbarSetupWindow::showSection(int index)
{
    QList<TSpeedItem*> available;
    if (bar_ && index >= 0 && index < bar_->SectionCount())
        for (TSpeedItem* item : bar_->Sections(index)->ItemList())
            if (!item->Visible())
                available.append(item);
    ButtonsList->SetItems(bar_, available);
}

bool TSpeedbarSetupWindow::event(QEvent* event)
{
    if (event->type() == TControlMessageEvent::eventType()) {
        const TMessage& m = static_cast<TControlMessageEvent*>(event)->message;
        if (m.Msg == CM_BARCHANGED) {
            if (m.WParam == bcBarDestroyed) {
                bar_ = nullptr;
                ButtonsList->SetItems(nullptr, {});
                SectionList->clear();
                close();
            } else {
                UpdateLists();
            }
            return true;
        }
    }
    return TForm::event(event);
}

TSpeedbarSetupWindow* ShowSpeedbarSetupWindow(TSpeedBar* bar)
{
    if (!bar)
        return nullptr;
    auto* window = qobject_cast<TSpeedbarSetupWindow*>(bar->EditWindow());
    if (!window) {
        window = new TSpeedbarSetupWindow(bar, bar->window());
        bar->DoCustomize();
    }
    window->show();
    window->raise();
    return window;
}
