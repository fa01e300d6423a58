#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QEventLoop;
class QMdiArea;
class QMdiSubWindow;

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
    // fsMDIForm: the application's main form, whose client area holds the
    // MDI children. fsMDIChild: a form that enters the main form's client
    // area when it is shown, wherever it was created (the program, the
    // terminal or a plug-in). fsStayOnTop: a top-level window above the rest.
    enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };
    Q_ENUM(TWindowState)

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

    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);

    // An MDI form's client area (set by the form that owns one).
    QMdiArea* ClientArea() const { return clientArea_; }
    void SetClientArea(QMdiArea* area);
    // An MDI form's children, in the order they entered its area, and the
    // active one (null when none).
    QList<TForm*> MDIChildren() const;
    TForm* ActiveMDIChild() const;

    // The frame an MDI child sits in once it has entered the area, or null.
    QMdiSubWindow* MDIFrame() const;
    // Normal, minimised or maximised; for an MDI child this is its frame's
    // state, kept until it enters the area.
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    // Makes the form the active window: an MDI child becomes the active
    // child of the area and comes to the front.
    void BringToFront();
    // An MDI child: whether it is the area's current child. Any other form:
    // whether it is the active window.
    bool IsActiveForm() const;
    // Gives a control of the form the focus without ever activating the
    // form: an MDI child that is not the current child (focus inside it
    // would make it current) and a child that is being activated keep the
    // control as the one to focus once its activation has finished.
    void FocusControl(QWidget* control);
    // Closes the form the way its window's close button does (an MDI child
    // through its frame).
    void Close();

signals:
    // An MDI child became the active child of the area, or stopped being it.
    void Activated();
    void Deactivated();
    // An MDI child's frame was maximised, minimised or restored.
    void WindowStateChanged(TForm::TWindowState before, TForm::TWindowState now);

protected:
    // Called when the form is asked to close; the action decides what
    // happens: caNone refuses, caHide hides, caFree hides and deletes.
    virtual void FormClose(TCloseAction& action);
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Handles the event, then tells the form's after-message listeners
    // (toolkit/AfterMessages.h).
    bool event(QEvent* event) override;

    // Called when an MDI child becomes the active child of the area, and
    // when it stops being it (after the signals).
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}

public:
    void setVisible(bool visible) override;

private:
    void enterClientArea();
    void frameActivated(QMdiSubWindow* frame);
    void focusPendingControl();

    QEventLoop* loop_ = nullptr;
    int modalResult_ = mrNone;
    TFormStyle formStyle_ = fsNormal;
    TWindowState pendingState_ = wsNormal;
    QMdiArea* clientArea_ = nullptr;
    QPointer<QMdiSubWindow> frame_;
    QPointer<QObject> area_; // the area the frame is in
    bool entering_ = false;
    bool frameClosing_ = false;
    bool active_ = false;
    bool activating_ = false;
    QPointer<QWidget> pendingFocus_; // focused when next activated
};

// The application's main form: the MDI form whose client area MDI children
// enter. One per process, shared by the program and its plug-ins.
namespace Application {
TForm* MainForm();
void SetMainForm(TForm* form);
} // namespace Application

// Forms of the application by name, ignoring case; null when none.
TForm* FindFormByName(const QString& name);
