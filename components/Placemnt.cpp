#include "components/Placemnt.h"

#include "components/StrUtils.h"
#include "toolkit/AppWindow.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <algorithm>
#include <exception>

namespace {

const QString kFormVersion = QStringLiteral("FormVersion");
const QString kFlags = QStringLiteral("Flags");
const QString kShowCmd = QStringLiteral("ShowCmd");
const QString kPixelsPerInch = QStringLiteral("PixelsPerInch");
const QString kMinMaxPos = QStringLiteral("MinMaxPos");
const QString kNormPos = QStringLiteral("NormPos");
const QString kVisible = QStringLiteral("Visible");
const QString kActiveControl = QStringLiteral("ActiveControl");

QList<QRect> availableAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

// Coordinates beyond any screen: the stored rectangle is not used.
constexpr qint64 kMaxCoordinate = 1 << 24;

// The stored left, top, right, bottom as a rectangle; an invalid one for a
// rectangle with no width or height or with coordinates out of range.
QRect storedRect(const std::array<int, 4>& v)
{
    for (int c : v)
        if (qAbs(qint64(c)) > kMaxCoordinate)
            return QRect();
    if (v[2] <= v[0] || v[3] <= v[1])
        return QRect();
    return QRect(QPoint(v[0], v[1]), QSize(v[2] - v[0], v[3] - v[1]));
}

bool canFocus(const QWidget* control, const QWidget* form)
{
    return control->isEnabled() && control->focusPolicy() != Qt::NoFocus &&
           control->isVisibleTo(form);
}

// Runs a save or restore from a form's event: what fails goes to the
// application's exception handler, never into the event loop.
template <typename F> void guarded(QObject* sender, F&& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        Application::HandleException(e, sender);
    } catch (...) {
        Application::HandleException(std::runtime_error("Unknown error"), sender);
    }
}

RegRoot registryRootKey(TFormPlacement::TPlacementRegRoot root)
{
    switch (root) {
    case TFormPlacement::prCurrentUser:
        return RegRoot::HKEY_CURRENT_USER;
    case TFormPlacement::prLocalMachine:
        return RegRoot::HKEY_LOCAL_MACHINE;
    default:
        break;
    }
    static const char* const names[] = {"HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
                                        "HKEY_CURRENT_CONFIG", "HKEY_CLASSES_ROOT",
                                        "HKEY_USERS",          "HKEY_DYN_DATA"};
    const int index = int(root);
    const char* name = index >= 0 && index < 6 ? names[index] : "unknown";
    throw ERegistryException(std::string("Registry root ") + name +
                             " is not available: the registry file holds only "
                             "HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER");
}

} // namespace

// ---- Formats and rules ----

QString FormatPlacementRect(int a, int b, int c, int d)
{
    return QString::asprintf("%d,%d,%d,%d", a, b, c, d);
}

std::array<int, 4> ParsePlacementRect(const QString& text, const std::array<int, 4>& defaults)
{
    static const TCharSet delimiters{' ', ','};
    std::array<int, 4> result = defaults;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = ExtractWord(i + 1, text, delimiters).toInt(&ok);
        if (ok)
            result[size_t(i)] = value;
    }
    return result;
}

TForm::TWindowState ShowCmdToState(int showCmd, TForm::TWindowState defaultState)
{
    switch (showCmd) {
    case 1:
    case 5:
    case 9:
        return TForm::wsNormal;
    case 2:
    case 6:
    case 7:
        return TForm::wsMinimized;
    case 3:
        return TForm::wsMaximized;
    default:
        return defaultState;
    }
}

QRect ClampOntoDesktop(const QRect& rect, const QList<QRect>& available, const QMargins& frame)
{
    if (available.isEmpty() || !rect.isValid())
        return rect;
    const QRect outer = rect.marginsAdded(frame);
    QRect target = available.first();
    qint64 best = 0;
    for (const QRect& area : available) {
        if (area.contains(outer))
            return rect;
        const QRect overlap = area.intersected(outer);
        const qint64 covered = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (covered > best) {
            best = covered;
            target = area;
        }
    }
    // The client part fits the area once the frame is taken off it.
    const QRect room = target.marginsRemoved(frame);
    const int width = std::max(1, std::min(rect.width(), room.width()));
    const int height = std::max(1, std::min(rect.height(), room.height()));
    const int left = std::max(room.left(), std::min(rect.left(), room.right() + 1 - width));
    const int top = std::max(room.top(), std::min(rect.top(), room.bottom() + 1 - height));
    return QRect(left, top, width, height);
}

// ---- TWinMinMaxInfo ----

TWinMinMaxInfo::TWinMinMaxInfo(TFormPlacement* owner) : TPersistent(owner), owner_(owner) {}

void TWinMinMaxInfo::SetMinMaxInfo(int index, int value)
{
    if (index < 0 || index >= int(values_.size()) || values_[size_t(index)] == value)
        return;
    values_[size_t(index)] = value;
    if (owner_)
        owner_->minMaxInfoModified();
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& source)
{
    if (&source == this)
        return;
    values_ = source.values_;
    if (owner_)
        owner_->minMaxInfoModified();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const
{
    return std::all_of(values_.begin(), values_.end(), [](int v) { return v == 0; });
}

// ---- TIniLink ----

TIniLink::TIniLink(QObject* parent) : TPersistent(parent) {}

TIniLink::~TIniLink()
{
    OnSave = nullptr;
    OnLoad = nullptr;
    SetStorage(nullptr);
}

void TIniLink::SetStorage(TFormPlacement* placement)
{
    if (placement == storage_)
        return;
    if (storage_)
        storage_->links_.removeAll(this);
    storage_ = placement;
    if (placement)
        placement->links_.append(this);
}

TCustomIniFile* TIniLink::IniObject() const
{
    return storage_ ? storage_->IniObject() : nullptr;
}

QString TIniLink::RootSection() const
{
    const QString section = storage_ ? storage_->StoredIniSection() : QString();
    return section.isEmpty() ? section : section + u'\\';
}

void TIniLink::SaveToIni()
{
    if (OnSave)
        OnSave(this);
}

void TIniLink::LoadFromIni()
{
    if (OnLoad)
        OnLoad(this);
}

// ---- TFormPlacement ----

TFormPlacement::TFormPlacement(QObject* owner, const QString& name)
    : TComponent(owner, name), minMaxInfo_(new TWinMinMaxInfo(this)), hook_(new TRxWindowHook(this))
{
    hook_->SetActive(false);
    hook_->AfterMessage = [this](QObject*, QEvent& event, bool& handled) {
        messageHandler(event, handled);
    };
    form_ = qobject_cast<TForm*>(owner);
    if (!form_)
        return;
    formObject_ = owner;
    ownerSection_ = DefaultSectionName(owner);
    options_ = TPlacementOptions(fpState | fpPosition);
    // In place of the form's show, close-query and destroy handlers: the
    // show is seen before the form's own handling, the close once the form
    // has accepted it, the destruction while its widgets still stand.
    form_->installEventFilter(this);
    AfterMessages::Install(form_, this);
    const Qt::WindowFlags flags = form_->windowFlags();
    defaultMaximize_ = !(flags & Qt::CustomizeWindowHint) || (flags & Qt::WindowMaximizeButtonHint);
    hook_->SetWinControl(form_);
    checkToggleHook();
}

TFormPlacement::~TFormPlacement()
{
    storage_.reset();
    while (!links_.isEmpty())
        links_.last()->SetStorage(nullptr);
    delete hook_;
    hook_ = nullptr;
    if (formObject_) {
        formObject_->removeEventFilter(this);
        AfterMessages::Remove(formObject_, this);
        releaseConstraints(); // nothing once the form is being destroyed
    }
    if (frame_)
        frame_->removeEventFilter(this);
}

QString TFormPlacement::IniFileName() const
{
    if (!iniFileName_.isEmpty())
        return iniFileName_;
    return useRegistry_ ? DefaultRegistryKey() : DefaultIniFileName();
}

QString TFormPlacement::IniSection() const
{
    if (!iniSection_.isEmpty())
        return iniSection_;
    // A form's class name is only its own while the form is whole: the
    // save at its destruction uses the name taken before.
    if (!formDestroying_)
        ownerSection_ = DefaultSectionName(Owner());
    return ownerSection_;
}

std::unique_ptr<TCustomIniFile> TFormPlacement::OpenStorage(bool readOnly) const
{
    if (useRegistry_)
        return std::make_unique<TRegIniFile>(IniFileName(), registryRootKey(registryRoot_),
                                             readOnly);
    return std::make_unique<TIniFile>(IniFilePath(IniFileName()));
}

QString TFormPlacement::ReadKeyString(const QString& section, const QString& ident,
                                      const QString& defaultValue)
{
    if (storage_)
        return StorageReadString(storage_.get(), section, ident, defaultValue);
    const auto store = OpenStorage(true);
    return StorageReadString(store.get(), section, ident, defaultValue);
}

void TFormPlacement::WriteKeyString(const QString& section, const QString& ident,
                                    const QString& value)
{
    if (storage_) {
        StorageWriteString(storage_.get(), section, ident, value);
        return;
    }
    const auto store = OpenStorage(false);
    StorageWriteString(store.get(), section, ident, value);
    store->UpdateFile();
}

int TFormPlacement::ReadKeyInteger(const QString& ident, int defaultValue)
{
    if (storage_)
        return StorageReadInteger(storage_.get(), IniSection(), ident, defaultValue);
    const auto store = OpenStorage(true);
    return StorageReadInteger(store.get(), IniSection(), ident, defaultValue);
}

void TFormPlacement::WriteKeyInteger(const QString& ident, int value)
{
    if (storage_) {
        StorageWriteInteger(storage_.get(), IniSection(), ident, value);
        return;
    }
    const auto store = OpenStorage(false);
    StorageWriteInteger(store.get(), IniSection(), ident, value);
    store->UpdateFile();
}

void TFormPlacement::SaveToStorage()
{
    if (active_ && !restored_)
        return; // what was never restored is not written over
    storage_ = OpenStorage(false);
    try {
        WriteKeyInteger(kFormVersion, version_);
        SavePlacement();
        if (OnSavePlacement)
            OnSavePlacement(this);
        // Everything in one replacement of the file.
        storage_->UpdateFile();
    } catch (...) {
        storage_.reset(); // what was stored before stays
        throw;
    }
    storage_.reset();
    saved_ = true;
}

void TFormPlacement::RestoreFromStorage()
{
    saved_ = false;
    // A show during the restore (an MDI child's frame shown in the state
    // read) restores again from the store already open; the outermost
    // restore keeps what was written and closes it.
    const bool outermost = !storage_;
    if (outermost)
        storage_ = OpenStorage(true);
    try {
        if (ReadKeyInteger(kFormVersion, 0) >= version_) {
            RestorePlacement();
            restored_ = true;
            if (OnRestorePlacement)
                OnRestorePlacement(this);
            if ((options_ & fpActiveControl) && form_) {
                const QString name = ReadKeyString(IniSection(), kActiveControl, QString());
                auto* control = qobject_cast<QWidget*>(form_->FindComponent(name));
                if (control && canFocus(control, form_))
                    control->setFocus();
            }
        }
        restored_ = true;
        // What the links wrote meanwhile is kept as a save's writes are
        // (a registry key opened for reading has refused them already).
        if (outermost && storage_)
            storage_->UpdateFile();
    } catch (...) {
        if (outermost)
            storage_.reset();
        throw;
    }
    if (outermost)
        storage_.reset();
    UpdatePlacement();
}

void TFormPlacement::SavePlacement()
{
    if (form_) {
        if (options_ & (fpState | fpPosition))
            writeWindowPlacement();
        const QWidget* focused = form_->focusWidget();
        if ((options_ & fpActiveControl) && focused && focused != form_ &&
            form_->isAncestorOf(focused) && !focused->objectName().isEmpty())
            WriteKeyString(IniSection(), kActiveControl, focused->objectName());
    }
    for (TIniLink* link : QList<TIniLink*>(links_))
        link->SaveToIni();
}

void TFormPlacement::RestorePlacement()
{
    if (form_)
        readWindowPlacement(options_ & fpPosition, options_ & fpState);
    for (TIniLink* link : QList<TIniLink*>(links_))
        link->LoadFromIni();
}

// ---- Window placement ----

QRect TFormPlacement::normalRect() const
{
    if (QMdiSubWindow* frame = form_->MDIFrame()) {
        if (!(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
            return frame->geometry();
        return lastNormal_.isValid() ? lastNormal_ : frame->geometry();
    }
    const Qt::WindowStates state = form_->windowState();
    if (!(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return form_->geometry();
    if (form_->normalGeometry().isValid())
        return form_->normalGeometry();
    return lastNormal_.isValid() ? lastNormal_ : form_->geometry();
}

TWindowPlacement TFormPlacement::windowPlacement() const
{
    TWindowPlacement wp;
    const Qt::WindowStates states =
        form_->MDIFrame() ? form_->MDIFrame()->windowState() : form_->windowState();
    const TForm::TWindowState state = form_->WindowState();
    wp.showCmd = state == TForm::wsMinimized   ? SW_SHOWMINIMIZED
                 : state == TForm::wsMaximized ? SW_SHOWMAXIMIZED
                                               : SW_SHOWNORMAL;
    // Minimised from maximised: restores to maximised.
    if (state == TForm::wsMinimized && (states & Qt::WindowMaximized))
        wp.flags |= 2;
    wp.minPosition = minPosition_;
    wp.maxPosition = maxPosition_;
    wp.normalPosition = normalRect();
    return wp;
}

void TFormPlacement::writeWindowPlacement()
{
    TWindowPlacement wp = windowPlacement();
    if (form_->FormStyle() == TForm::fsMDIChild && wp.showCmd == SW_SHOWMINIMIZED)
        wp.flags |= WPF_SETMINPOSITION;
    // The main form minimised is the application minimised.
    if (form_ == Application::MainForm() && form_->isMinimized())
        wp.showCmd = SW_SHOWMINIMIZED;
    TCustomIniFile* store = storage_.get();
    const QString section = IniSection();
    StorageWriteInteger(store, section, kFlags, wp.flags);
    StorageWriteInteger(store, section, kShowCmd, wp.showCmd);
    StorageWriteInteger(store, section, kPixelsPerInch, ScreenPixelsPerInch());
    WriteResolutionString(store, section, kMinMaxPos,
                          FormatPlacementRect(wp.minPosition.x(), wp.minPosition.y(),
                                              wp.maxPosition.x(), wp.maxPosition.y()));
    const QRect& r = wp.normalPosition;
    WriteResolutionString(
        store, section, kNormPos,
        FormatPlacementRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
    StorageWriteBool(store, section, kVisible, savingOnDestroy_);
}

void TFormPlacement::readWindowPlacement(bool position, bool state)
{
    if (!position && !state)
        return;
    TCustomIniFile* store = storage_.get();
    const QString section = IniSection();
    QMdiSubWindow* frame = form_->MDIFrame();

    if (position) {
        const int screenPpi = ScreenPixelsPerInch();
        StorageReadInteger(store, section, kFlags, 0); // no meaning here
        bool present = false;
        const QString minMax = ReadResolutionString(store, section, kMinMaxPos);
        if (!minMax.isEmpty()) {
            const auto v = ParsePlacementRect(minMax, {0, 0, 0, 0});
            minPosition_ = QPoint(v[0], v[1]);
            maxPosition_ = QPoint(v[2], v[3]);
            present = true;
        }
        const QRect current = normalRect();
        QRect wanted = current;
        const QString norm = ReadResolutionString(store, section, kNormPos);
        if (!norm.isEmpty()) {
            const auto v = ParsePlacementRect(norm, {current.left(), current.top(),
                                                     current.left() + current.width(),
                                                     current.top() + current.height()});
            wanted = storedRect(v);
            present = true;
        }
        if (present && StorageReadInteger(store, section, kPixelsPerInch, screenPpi) == screenPpi) {
            // A form of fixed size keeps its size at the stored place.
            const QSize ownMin = constrained_ ? ownMinimum_ : form_->minimumSize();
            const QSize ownMax = constrained_ ? ownMaximum_ : form_->maximumSize();
            if (ownMin == ownMax && wanted.isValid())
                wanted.setSize(current.size());
            if (wanted.isValid()) {
                if (frame) {
                    if (QMdiArea* area = frame->mdiArea())
                        wanted = ClampOntoDesktop(wanted, {area->viewport()->rect()});
                    frame->setGeometry(wanted);
                } else {
                    const QMargins margins(
                        form_->geometry().left() - form_->frameGeometry().left(),
                        form_->geometry().top() - form_->frameGeometry().top(),
                        form_->frameGeometry().right() - form_->geometry().right(),
                        form_->frameGeometry().bottom() - form_->geometry().bottom());
                    wanted = ClampOntoDesktop(wanted, availableAreas(), margins);
                    if (form_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
                        form_->setWindowState(Qt::WindowNoState);
                    releaseConstraints(); // a frozen size must not stop the restore
                    form_->setGeometry(wanted);
                }
                lastNormal_ = wanted;
            }
        }
    }

    if (state) {
        TForm* main = Application::MainForm();
        const bool mainOrNone = !main || main == form_;
        TForm::TWindowState wanted = mainOrNone && form_->FormStyle() == TForm::fsMDIForm
                                         ? TForm::wsMaximized
                                         : TForm::wsNormal;
        wanted = ShowCmdToState(StorageReadInteger(store, section, kShowCmd, 0), wanted);
        if (wanted == TForm::wsMinimized && mainOrNone) {
            form_->SetWindowState(TForm::wsNormal);
            PostMessage(Application::Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        } else {
            form_->SetWindowState(wanted);
        }
    }
    form_->update();
}

// ---- Size limits ----

bool TFormPlacement::needsHook() const
{
    return preventResize_ || !minMaxInfo_->DefaultMinMaxInfo();
}

void TFormPlacement::checkToggleHook()
{
    if (form_ && hook_)
        hook_->SetActive(needsHook());
}

void TFormPlacement::minMaxInfoModified()
{
    UpdatePlacement();
    checkToggleHook();
}

void TFormPlacement::UpdatePlacement()
{
    if (!form_ || formDestroying_)
        return;
    if (needsHook())
        applyConstraints();
    else
        releaseConstraints();
}

void TFormPlacement::releaseConstraints()
{
    if (!constrained_ || !form_)
        return;
    constrained_ = false;
    form_->setMinimumSize(ownMinimum_);
    form_->setMaximumSize(ownMaximum_);
}

void TFormPlacement::applyConstraints()
{
    if (!constrained_) {
        ownMinimum_ = form_->minimumSize();
        ownMaximum_ = form_->maximumSize();
        constrained_ = true;
    }
    QSize minimum = ownMinimum_;
    QSize maximum = ownMaximum_;
    if (preventResize_) {
        // Frozen at the size it is shown with.
        if (form_->isVisible())
            minimum = maximum = form_->size();
    } else {
        if (int w = minMaxInfo_->MinTrackWidth())
            minimum.setWidth(w);
        if (int h = minMaxInfo_->MinTrackHeight())
            minimum.setHeight(h);
        if (int w = minMaxInfo_->MaxTrackWidth())
            maximum.setWidth(w);
        if (int h = minMaxInfo_->MaxTrackHeight())
            maximum.setHeight(h);
    }
    if (form_->minimumSize() != minimum)
        form_->setMinimumSize(minimum);
    if (form_->maximumSize() != maximum)
        form_->setMaximumSize(maximum);
}

void TFormPlacement::messageHandler(QEvent& event, bool& handled)
{
    if (!form_)
        return;
    switch (event.type()) {
    case QEvent::Show:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        applyConstraints();
        handled = true;
        break;
    default:
        break;
    }
}

void TFormPlacement::setMaximizeButton(bool on)
{
    if (!form_->isWindow())
        return;
    Qt::WindowFlags flags = form_->windowFlags();
    if (on) {
        if (!maximizeRemoved_)
            return;
        flags = flagsBeforeFreeze_;
        maximizeRemoved_ = false;
    } else {
        const bool has =
            !(flags & Qt::CustomizeWindowHint) || (flags & Qt::WindowMaximizeButtonHint);
        if (!has || maximizeRemoved_)
            return;
        flagsBeforeFreeze_ = flags;
        maximizeRemoved_ = true;
        if (!(flags & Qt::CustomizeWindowHint))
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        flags &= ~Qt::WindowMaximizeButtonHint;
    }
    const bool visible = form_->isVisible();
    form_->setWindowFlags(flags);
    if (visible)
        form_->show();
}

void TFormPlacement::SetPreventResize(bool value)
{
    if (!form_ || value == preventResize_)
        return;
    preventResize_ = value;
    UpdatePlacement();
    if (value) {
        const Qt::WindowFlags flags = form_->windowFlags();
        defaultMaximize_ =
            !(flags & Qt::CustomizeWindowHint) || (flags & Qt::WindowMaximizeButtonHint);
    }
    // The window is made again: that show is no restore.
    const bool wasActive = active_;
    active_ = false;
    setMaximizeButton(!value && defaultMaximize_);
    active_ = wasActive;
    UpdatePlacement();
    checkToggleHook();
}

// ---- The form's events ----

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (!form_) {
        // The form is being destroyed.
    } else if (watched == formObject_ && event->type() == QEvent::Show && !event->spontaneous()) {
        formShow();
    } else if (watched == frame_ && frame_ &&
               (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        if (!(frame_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
            lastNormal_ = frame_->geometry();
    }
    return false;
}

void TFormPlacement::AfterMessage(QObject* target, QEvent* event)
{
    if (!form_ || target != formObject_)
        return;
    if (event->type() == QEvent::Close && event->isAccepted())
        formCloseQuery();
    else if (event->type() == AfterMessages::FormDestroyType())
        formDestroy();
}

void TFormPlacement::formShow()
{
    QMdiSubWindow* frame = form_->MDIFrame();
    if (frame && frame != frame_) {
        if (frame_)
            frame_->removeEventFilter(this);
        frame_ = frame;
        frame->installEventFilter(this);
    }
    if (active_)
        guarded(form_, [this] { RestoreFromStorage(); });
}

void TFormPlacement::formCloseQuery()
{
    if (active_ && form_->testAttribute(Qt::WA_WState_Created))
        guarded(form_, [this] { SaveToStorage(); });
}

void TFormPlacement::formDestroy()
{
    formDestroying_ = true;
    if (active_ && !saved_) {
        savingOnDestroy_ = true;
        guarded(form_, [this] { SaveToStorage(); });
        savingOnDestroy_ = false;
    }
    // Past this point only the form's widget part is left.
    form_ = nullptr;
}
