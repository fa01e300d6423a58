#pragma once

#include "toolkit/Classes.h"

#include <QListWidget>

// A list box of text lines: sorted without regard to case when Sorted is
// set, with one or many selected lines.
class TListBox : public QListWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
public:
    explicit TListBox(const QString& name, QWidget* parent = nullptr);

    int Count() const { return count(); }
    QString Items(int index) const;
    QStringList AllItems() const;
    // Inserts a line at its place (sorted) or at the end; returns its index.
    int Add(const QString& text);
    void Insert(int index, const QString& text);
    void Delete(int index);
    void Clear() { clear(); }
    int IndexOf(const QString& text) const;
    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
    QStringList SelectedItems() const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    bool MultiSelect() const { return selectionMode() == ExtendedSelection; }
    void SetMultiSelect(bool multi);

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool sorted_ = false;
};
