#include "toolkit/Forms.h"

#include "toolkit/AfterMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

TForm::TWindowState stateOf(Qt::WindowStates state)
{
    if (state & Qt::WindowMinimized)
        return TForm::wsMinimized;
    if (state & Qt::WindowMaximized)
        return TForm::wsMaximized;
    return TForm::wsNormal;
}

bool isOwnClass(const QObject* object)
{
    const char* name = object->metaObject()->className();
    return name[0] == 'T' && !qobject_cast<const TForm*>(object);
}

} // namespace

TForm::TForm(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

TForm::~TForm()
{
    if (loop_)
        loop_->exit(modalResult_);
    // Nothing of the area reaches a form that is going.
    if (area_)
        disconnect(area_, nullptr, this, nullptr);
    // Listeners learn of the destruction while its widgets still stand.
    QEvent destroying(AfterMessages::FormDestroyType());
    AfterMessages::Notify(this, &destroying);
}

bool TForm::event(QEvent* event)
{
    const bool result = QWidget::event(event);
    AfterMessages::Notify(this, event);
    return result;
}

QList<QObject*> TForm::Components() const
{
    QList<QObject*> result;
    const QList<QObject*> all = findChildren<QObject*>();
    for (QObject* object : all)
        if (isOwnClass(object))
            result.append(object);
    return result;
}

QObject* TForm::FindComponent(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (QObject* object : Components())
        if (object->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return object;
    return nullptr;
}

int TForm::ShowModal()
{
    modalResult_ = mrNone;
    setWindowModality(Qt::ApplicationModal);
    QPointer<TForm> guard(this);
    QEventLoop loop;
    loop_ = &loop;
    show();
    const int result = loop.exec();
    if (!guard)
        return result;
    loop_ = nullptr;
    setWindowModality(Qt::NonModal);
    return modalResult_ == mrNone ? mrCancel : modalResult_;
}

void TForm::SetModalResult(int result)
{
    modalResult_ = result;
    if (result != mrNone && loop_)
        close();
}

void TForm::CenterOnScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TForm::FormClose(TCloseAction& /*action*/) {}

void TForm::closeEvent(QCloseEvent* event)
{
    TCloseAction action = caHide;
    FormClose(action);
    const bool byFrame = frameClosing_;
    frameClosing_ = false;
    if (action == caMinimize && frame_) {
        event->ignore();
        frame_->showMinimized();
        return;
    }
    if (action == caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (frame_) {
        if (byFrame) {
            // The frame closes next: it goes with the form only when the
            // form is freed.
            frame_->setAttribute(Qt::WA_DeleteOnClose, action == caFree);
        } else {
            frame_->hide();
            if (action == caFree)
                frame_->deleteLater();
        }
    }
    if (action == caFree)
        deleteLater();
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (style == formStyle_)
        return;
    formStyle_ = style;
    if (isWindow() && !frame_)
        setWindowFlag(Qt::WindowStaysOnTopHint, style == fsStayOnTop);
}

void TForm::SetClientArea(QMdiArea* area)
{
    clientArea_ = area;
}

QMdiSubWindow* TForm::MDIFrame() const
{
    return frame_.data();
}

QList<TForm*> TForm::MDIChildren() const
{
    QList<TForm*> result;
    if (!clientArea_)
        return result;
    for (QMdiSubWindow* frame : clientArea_->subWindowList(QMdiArea::CreationOrder))
        if (auto* form = qobject_cast<TForm*>(frame->widget()))
            result.append(form);
    return result;
}

TForm* TForm::ActiveMDIChild() const
{
    if (!clientArea_ || !clientArea_->activeSubWindow())
        return nullptr;
    return qobject_cast<TForm*>(clientArea_->activeSubWindow()->widget());
}

void TForm::setVisible(bool visible)
{
    if (entering_) {
        QWidget::setVisible(visible);
        return;
    }
    const bool entering = visible && formStyle_ == fsMDIChild && !frame_;
    if (entering)
        enterClientArea();
    QWidget::setVisible(visible);
    if (!frame_)
        return;
    if (!visible) {
        frame_->hide();
        return;
    }
    if (entering || frame_->isHidden()) {
        switch (pendingState_) {
        case wsMaximized:
            frame_->showMaximized();
            break;
        case wsMinimized:
            frame_->showMinimized();
            break;
        case wsNormal:
            frame_->show();
            break;
        }
    }
    QMdiArea* area = frame_->mdiArea();
    if (area && area->activeSubWindow() != frame_)
        area->setActiveSubWindow(frame_);
    // Activation is signalled only when it changes: a frame the area made
    // active while it was shown is announced here.
    if (area && area->activeSubWindow() == frame_)
        frameActivated(frame_);
}

void TForm::enterClientArea()
{
    TForm* main = Application::MainForm();
    QMdiArea* area = main && main != this ? main->ClientArea() : nullptr;
    if (!area)
        return; // no main form with an area: the form is a window of its own
    entering_ = true;
    const QSize wanted = size();
    frame_ = area->addSubWindow(this);
    frame_->setAttribute(Qt::WA_DeleteOnClose);
    frame_->setWindowTitle(windowTitle());
    if (!windowIcon().isNull())
        frame_->setWindowIcon(windowIcon());
    connect(this, &QWidget::windowTitleChanged, frame_, &QWidget::setWindowTitle);
    connect(this, &QWidget::windowIconChanged, frame_, &QWidget::setWindowIcon);
    connect(area, &QMdiArea::subWindowActivated, this, &TForm::frameActivated);
    connect(frame_, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
                if (stateOf(before) != stateOf(now))
                    emit WindowStateChanged(stateOf(before), stateOf(now));
            });
    frame_->installEventFilter(this);
    // A form freed by its owner (a plug-in's Done frees its windows at once)
    // takes its frame with it.
    connect(this, &QObject::destroyed, frame_, &QObject::deleteLater);
    area_ = area;
    frame_->resize(frame_->sizeHint().expandedTo(wanted));
    entering_ = false;
}

void TForm::frameActivated(QMdiSubWindow* frame)
{
    // The area reports null when it loses the focus as a whole: the active
    // child stays the active one.
    if (!frame || !frame_)
        return;
    const bool nowActive = frame == frame_;
    if (nowActive == active_)
        return;
    active_ = nowActive;
    if (active_) {
        const QPointer<TForm> self(this);
        activating_ = true;
        emit Activated();
        if (!self)
            return;
        FormActivate();
        if (!self)
            return;
        activating_ = false;
        // The area focuses a control of its own choice while it activates
        // the frame; the form's own choice comes after.
        if (pendingFocus_)
            QTimer::singleShot(0, this, [this] { focusPendingControl(); });
    } else {
        emit Deactivated();
        FormDeactivate();
    }
}

bool TForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == frame_)
        frameClosing_ = true;
    return QWidget::eventFilter(watched, event);
}

TForm::TWindowState TForm::WindowState() const
{
    if (!frame_ && formStyle_ == fsMDIChild)
        return pendingState_;
    return stateOf(frame_ ? frame_->windowState() : windowState());
}

void TForm::SetWindowState(TWindowState state)
{
    pendingState_ = state;
    if (!frame_ && formStyle_ == fsMDIChild)
        return;
    QWidget* window = frame_ ? static_cast<QWidget*>(frame_.data()) : this;
    if (!window->isVisible()) {
        window->setWindowState(state == wsMaximized   ? Qt::WindowMaximized
                               : state == wsMinimized ? Qt::WindowMinimized
                                                      : Qt::WindowNoState);
        return;
    }
    switch (state) {
    case wsMaximized:
        window->showMaximized();
        break;
    case wsMinimized:
        window->showMinimized();
        break;
    case wsNormal:
        window->showNormal();
        break;
    }
}

void TForm::BringToFront()
{
    if (frame_) {
        if (frame_->isHidden())
            show();
        if (QMdiArea* area = frame_->mdiArea())
            area->setActiveSubWindow(frame_);
        frame_->raise();
        return;
    }
    raise();
    activateWindow();
}

bool TForm::IsActiveForm() const
{
    if (!frame_)
        return isActiveWindow();
    // The current child, whether or not the main window has the focus now.
    const QMdiArea* area = frame_->mdiArea();
    return area && area->currentSubWindow() == frame_;
}

void TForm::FocusControl(QWidget* control)
{
    if (!control)
        return;
    if (!frame_) {
        // A window of its own: Qt keeps the focus widget of an inactive
        // window for when it is activated.
        control->setFocus();
        return;
    }
    if (!IsActiveForm() || activating_) {
        pendingFocus_ = control;
        return;
    }
    pendingFocus_ = nullptr;
    control->setFocus();
}

void TForm::focusPendingControl()
{
    // Still the current child? Otherwise the control waits for the next
    // activation (focusing it now would activate this form again).
    if (!pendingFocus_ || !IsActiveForm())
        return;
    std::exchange(pendingFocus_, nullptr)->setFocus();
}

void TForm::Close()
{
    if (frame_)
        frame_->close();
    else
        close();
}

void TForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (loop_)
        loop_->exit(modalResult_);
}

namespace Application {

namespace {
QPointer<TForm>& mainForm()
{
    static QPointer<TForm> form;
    return form;
}
} // namespace

TForm* MainForm()
{
    return mainForm().data();
}

void SetMainForm(TForm* form)
{
    mainForm() = form;
}

} // namespace Application

TForm* FindFormByName(const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* form = qobject_cast<TForm*>(widget))
            if (form->objectName().compare(name, Qt::CaseInsensitive) == 0)
                return form;
    return nullptr;
}
