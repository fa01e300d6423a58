#pragma once

#include "toolkit/Classes.h"

#include <QProgressBar>
#include <QTabWidget>
#include <QWidget>

// The page control with its tab sheets, and the progress gauge.

class TPageControl;

// One page of a page control; its caption is the page's tab text.
class TTabSheet : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
public:
    // Adds itself as the last page of `control` (when given).
    explicit TTabSheet(const QString& name, TPageControl* control = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    TPageControl* PageControl() const { return control_; }
    // The page's place among the pages, -1 while it belongs to none.
    int PageIndex() const;

private:
    friend class TPageControl;
    TPageControl* control_ = nullptr;
    QString caption_;
};

class TPageControl : public QTabWidget
{
    Q_OBJECT
public:
    explicit TPageControl(const QString& name, QWidget* parent = nullptr);

    int PageCount() const { return count(); }
    TTabSheet* Pages(int index) const;
    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const { return currentIndex(); }
    void SetActivePageIndex(int index) { setCurrentIndex(index); }
    void AddPage(TTabSheet* page);

signals:
    // The user or the program made another page active.
    void Change();
};

// A progress bar from Min to Max (0 to 100 by default).
class TProgressBar : public QProgressBar
{
    Q_OBJECT
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
public:
    explicit TProgressBar(const QString& name, QWidget* parent = nullptr);
    int Position() const { return value(); }
    // Kept within Min and Max.
    void SetPosition(int position);
};
