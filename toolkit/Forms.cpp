#include "toolkit/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>

namespace {

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
    if (action == caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (action == caFree)
        deleteLater();
}

void TForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (loop_)
        loop_->exit(modalResult_);
}

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
