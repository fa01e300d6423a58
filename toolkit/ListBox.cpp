#include "toolkit/ListBox.h"

#include <QMouseEvent>

TListBox::TListBox(const QString& name, QWidget* parent) : QListWidget(parent)
{
    setObjectName(name);
}

QString TListBox::Items(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

QStringList TListBox::AllItems() const
{
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << item(i)->text();
    return all;
}

int TListBox::Add(const QString& text)
{
    int at = count();
    if (sorted_) {
        at = 0;
        while (at < count() && item(at)->text().compare(text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    insertItem(at, text);
    return at;
}

void TListBox::Insert(int index, const QString& text)
{
    insertItem(std::clamp(index, 0, count()), text);
}

void TListBox::Delete(int index)
{
    delete takeItem(index);
}

int TListBox::IndexOf(const QString& text) const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->text() == text)
            return i;
    return -1;
}

bool TListBox::Selected(int index) const
{
    const QListWidgetItem* it = item(index);
    return it && it->isSelected();
}

void TListBox::SetSelected(int index, bool selected)
{
    if (QListWidgetItem* it = item(index))
        it->setSelected(selected);
}

QStringList TListBox::SelectedItems() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            out << item(i)->text();
    return out;
}

void TListBox::SetSorted(bool sorted)
{
    sorted_ = sorted;
    if (!sorted)
        return;
    QStringList all = AllItems();
    std::stable_sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    clear();
    addItems(all);
}

void TListBox::SetMultiSelect(bool multi)
{
    setSelectionMode(multi ? ExtendedSelection : SingleSelection);
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}
