#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

class QEventLoop;

// The base of every window of the program. A form is a top-level widget
// whose Name is its objectName; the components it owns are its descendants
// that belong to our own classes, in creation order of the tree.
class TForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString hint READ Hint WRITE SetHint)

public:
    enum TCloseAction { caNone, caHide, caFree, caMinimize };
    enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

    explicit TForm(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Window);
    ~TForm() override;

    QString Name() const { return objectName(); }
    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }

    // The components this form owns (our own classes only), the form itself
    // excluded.
    QList<QObject*> Components() const;
    QObject* FindComponent(const QString& name) const;

    // Shows the form modally and returns its ModalResult once it closes.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result);
    bool IsModal() const { return loop_ != nullptr; }

    // Centres the form on the screen it is shown on.
    void CenterOnScreen();

protected:
    // Called when the form is asked to close; the action decides what
    // happens: caNone refuses, caHide hides, caFree hides and deletes.
    virtual void FormClose(TCloseAction& action);
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QEventLoop* loop_ = nullptr;
    int modalResult_ = mrNone;
};

// Forms of the application by name, ignoring case; null when none.
TForm* FindFormByName(const QString& name);
