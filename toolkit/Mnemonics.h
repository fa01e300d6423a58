#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Mnemonics: the character after a single "&" of a caption ("&&" stands for
// "&" itself). Pressed with Alt in the control's window, it reaches the
// control as CM_DIALOGCHAR (toolkit/Messages.h) with the character.

// The caption's mnemonic character, or a null character when it has none.
QChar AcceleratorChar(const QString& caption);
// Whether `key` is the caption's mnemonic, letter case ignored.
bool IsAccel(QChar key, const QString& caption);

// Keeps a control's mnemonic shortcut in step with its caption and hands
// the control CM_DIALOGCHAR when the shortcut is pressed.
class TMnemonic : public QObject
{
    Q_OBJECT
public:
    explicit TMnemonic(QWidget* control);
    ~TMnemonic() override;
    void SetCaption(const QString& caption);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void release();
    QWidget* control_;
    int shortcutId_ = 0;
    QChar key_;
};
