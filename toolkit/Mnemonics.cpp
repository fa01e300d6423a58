#include "toolkit/Mnemonics.h"

#include "toolkit/Messages.h"

#include <QEvent>
#include <QKeySequence>
#include <QShortcutEvent>
#include <QWidget>

QChar AcceleratorChar(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&')
            continue;
        if (caption.at(i + 1) != u'&')
            return caption.at(i + 1);
        ++i; // "&&" is a plain "&"
    }
    return QChar();
}

bool IsAccel(QChar key, const QString& caption)
{
    const QChar accel = AcceleratorChar(caption);
    return !accel.isNull() && !key.isNull() && accel.toUpper() == key.toUpper();
}

TMnemonic::TMnemonic(QWidget* control) : QObject(control), control_(control)
{
    control_->installEventFilter(this);
}

TMnemonic::~TMnemonic()
{
    release();
}

void TMnemonic::release()
{
    if (shortcutId_)
        control_->releaseShortcut(shortcutId_);
    shortcutId_ = 0;
}

void TMnemonic::SetCaption(const QString& caption)
{
    const QChar key = AcceleratorChar(caption);
    if (key == key_ && (shortcutId_ != 0) == !key.isNull())
        return;
    release();
    key_ = key;
    if (!key.isNull())
        shortcutId_ = control_->grabShortcut(QKeySequence::mnemonic(caption), Qt::WindowShortcut);
}

bool TMnemonic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == control_ && event->type() == QEvent::Shortcut && shortcutId_ &&
        static_cast<QShortcutEvent*>(event)->shortcutId() == shortcutId_) {
        SendControlMessage(control_, CM_DIALOGCHAR, key_.unicode());
        return true;
    }
    return QObject::eventFilter(watched, event);
}
