#include "toolkit/ComCtrls.h"

#include <algorithm>

TTabSheet::TTabSheet(const QString& name, TPageControl* control)
{
    setObjectName(name);
    if (control)
        control->AddPage(this);
}

void TTabSheet::SetCaption(const QString& caption)
{
    caption_ = caption;
    if (control_) {
        const int index = control_->indexOf(this);
        if (index >= 0)
            control_->setTabText(index, caption);
    }
}

int TTabSheet::PageIndex() const
{
    return control_ ? control_->indexOf(const_cast<TTabSheet*>(this)) : -1;
}

TPageControl::TPageControl(const QString& name, QWidget* parent) : QTabWidget(parent)
{
    setObjectName(name);
    connect(this, &QTabWidget::currentChanged, this, [this](int) { emit Change(); });
}

TTabSheet* TPageControl::Pages(int index) const
{
    return qobject_cast<TTabSheet*>(widget(index));
}

TTabSheet* TPageControl::ActivePage() const
{
    return qobject_cast<TTabSheet*>(currentWidget());
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (page && indexOf(page) >= 0)
        setCurrentWidget(page);
}

void TPageControl::AddPage(TTabSheet* page)
{
    page->control_ = this;
    addTab(page, page->Caption());
}

TProgressBar::TProgressBar(const QString& name, QWidget* parent) : QProgressBar(parent)
{
    setObjectName(name);
    setRange(0, 100);
    setValue(0);
}

void TProgressBar::SetPosition(int position)
{
    setValue(std::clamp(position, minimum(), maximum()));
}
