#include "toolkit/AlignLayout.h"

#include <QWidget>

namespace {

int dockedHeight(QWidget* widget)
{
    if (widget->minimumHeight() == widget->maximumHeight())
        return widget->maximumHeight();
    return widget->sizeHint().height();
}

int dockedWidth(QWidget* widget)
{
    if (widget->minimumWidth() == widget->maximumWidth())
        return widget->maximumWidth();
    return widget->sizeHint().width();
}

} // namespace

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TAlignLayout::~TAlignLayout()
{
    for (const Entry& entry : items_)
        delete entry.item;
}

void TAlignLayout::addWidget(QWidget* widget, TAlign align)
{
    addChildWidget(widget);
    items_.append({new QWidgetItem(widget), align});
    invalidate();
}

void TAlignLayout::SetAlign(QWidget* widget, TAlign align)
{
    // A control docked anew goes after the others of its edge, nearest the
    // client area.
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_.at(i).item->widget() != widget)
            continue;
        Entry entry = items_.takeAt(i);
        if (entry.align != align) {
            entry.align = align;
            items_.append(entry);
        } else {
            items_.insert(i, entry);
        }
        break;
    }
    invalidate();
}

TAlign TAlignLayout::Align(QWidget* widget) const
{
    for (const Entry& entry : items_)
        if (entry.item->widget() == widget)
            return entry.align;
    return TAlign::alNone;
}

void TAlignLayout::addItem(QLayoutItem* item)
{
    items_.append({item, TAlign::alNone});
}

QLayoutItem* TAlignLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_.at(index).item : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    return items_.takeAt(index).item;
}

QSize TAlignLayout::sizeHint() const
{
    return QSize(640, 480);
}

QSize TAlignLayout::minimumSize() const
{
    return QSize(0, 0);
}

QList<QRect> TAlignLayout::Arrange(const QRect& rect) const
{
    QList<QRect> result(items_.size());
    QRect rest = rect;
    const TAlign order[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                            TAlign::alClient};
    for (TAlign align : order) {
        for (int i = 0; i < items_.size(); ++i) {
            const Entry& entry = items_.at(i);
            QWidget* widget = entry.item->widget();
            if (entry.align != align || !widget || widget->isHidden())
                continue;
            switch (align) {
            case TAlign::alTop: {
                const int h = qMin(dockedHeight(widget), rest.height());
                result[i] = QRect(rest.left(), rest.top(), rest.width(), h);
                rest.setTop(rest.top() + h);
                break;
            }
            case TAlign::alBottom: {
                const int h = qMin(dockedHeight(widget), rest.height());
                result[i] = QRect(rest.left(), rest.bottom() - h + 1, rest.width(), h);
                rest.setBottom(rest.bottom() - h);
                break;
            }
            case TAlign::alLeft: {
                const int w = qMin(dockedWidth(widget), rest.width());
                result[i] = QRect(rest.left(), rest.top(), w, rest.height());
                rest.setLeft(rest.left() + w);
                break;
            }
            case TAlign::alRight: {
                const int w = qMin(dockedWidth(widget), rest.width());
                result[i] = QRect(rest.right() - w + 1, rest.top(), w, rest.height());
                rest.setRight(rest.right() - w);
                break;
            }
            case TAlign::alClient:
                result[i] = rest;
                break;
            case TAlign::alNone:
                break;
            }
        }
    }
    return result;
}

void TAlignLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QList<QRect> rects = Arrange(rect);
    for (int i = 0; i < items_.size(); ++i)
        if (items_.at(i).align != TAlign::alNone && !rects.at(i).isNull())
            items_.at(i).item->setGeometry(rects.at(i));
}
