#pragma once

#include "components/IniAccess.h"
#include "components/RxHook.h"
#include "toolkit/AfterMessages.h"
#include "toolkit/Classes.h"
#include "toolkit/Forms.h"

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <array>
#include <functional>
#include <memory>

class TFormPlacement;

using TNotifyEvent = std::function<void(QObject* Sender)>;

// Show commands of a stored placement.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
// Placement flags: the minimised position is set.
constexpr int WPF_SETMINPOSITION = 1;

// A window's placement as the store keeps it. The minimised and maximised
// positions mean nothing to a Linux window manager; they are kept as read
// so that a stored file keeps them.
struct TWindowPlacement
{
    int flags = 0;
    int showCmd = SW_SHOWNORMAL;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normalPosition; // stored as left, top, right, bottom
};

// "%d,%d,%d,%d".
QString FormatPlacementRect(int a, int b, int c, int d);
// Words 1 to 4 of the text, split at blanks and commas; a word that is not a
// number (or is missing) gives its default.
std::array<int, 4> ParsePlacementRect(const QString& text, const std::array<int, 4>& defaults);
// 1, 5, 9 normal; 2, 6, 7 minimised; 3 maximised; anything else the default.
TForm::TWindowState ShowCmdToState(int showCmd, TForm::TWindowState defaultState);
// The rectangle moved (and shrunk when it must be) so that it and its frame
// lie on one of the available screen areas: the one it overlaps most, else
// the first.
QRect ClampOntoDesktop(const QRect& rect, const QList<QRect>& available,
                       const QMargins& frame = QMargins());

// Track and maximise limits of a placement's form; 0 is "not set". The
// maximised position and size have no meaning for a Linux window manager;
// the track sizes become the form's minimum and maximum size.
class TWinMinMaxInfo : public TPersistent
{
    Q_OBJECT
    Q_PROPERTY(int MaxPosLeft READ MaxPosLeft WRITE SetMaxPosLeft)
    Q_PROPERTY(int MaxPosTop READ MaxPosTop WRITE SetMaxPosTop)
    Q_PROPERTY(int MaxSizeHeight READ MaxSizeHeight WRITE SetMaxSizeHeight)
    Q_PROPERTY(int MaxSizeWidth READ MaxSizeWidth WRITE SetMaxSizeWidth)
    Q_PROPERTY(int MaxTrackHeight READ MaxTrackHeight WRITE SetMaxTrackHeight)
    Q_PROPERTY(int MaxTrackWidth READ MaxTrackWidth WRITE SetMaxTrackWidth)
    Q_PROPERTY(int MinTrackHeight READ MinTrackHeight WRITE SetMinTrackHeight)
    Q_PROPERTY(int MinTrackWidth READ MinTrackWidth WRITE SetMinTrackWidth)
public:
    explicit TWinMinMaxInfo(TFormPlacement* owner);

    int GetMinMaxInfo(int index) const { return values_.at(size_t(index)); }
    void SetMinMaxInfo(int index, int value);
    void Assign(const TWinMinMaxInfo& source);
    // All values 0.
    bool DefaultMinMaxInfo() const;

    int MaxPosLeft() const { return values_[0]; }
    int MaxPosTop() const { return values_[1]; }
    int MaxSizeHeight() const { return values_[2]; }
    int MaxSizeWidth() const { return values_[3]; }
    int MaxTrackHeight() const { return values_[4]; }
    int MaxTrackWidth() const { return values_[5]; }
    int MinTrackHeight() const { return values_[6]; }
    int MinTrackWidth() const { return values_[7]; }
    void SetMaxPosLeft(int v) { SetMinMaxInfo(0, v); }
    void SetMaxPosTop(int v) { SetMinMaxInfo(1, v); }
    void SetMaxSizeHeight(int v) { SetMinMaxInfo(2, v); }
    void SetMaxSizeWidth(int v) { SetMinMaxInfo(3, v); }
    void SetMaxTrackHeight(int v) { SetMinMaxInfo(4, v); }
    void SetMaxTrackWidth(int v) { SetMinMaxInfo(5, v); }
    void SetMinTrackHeight(int v) { SetMinMaxInfo(6, v); }
    void SetMinTrackWidth(int v) { SetMinMaxInfo(7, v); }

private:
    TFormPlacement* owner_;
    std::array<int, 8> values_{};
};

// A component's share of a placement's store: its events run when the
// placement saves and restores, while the placement's store is open.
class TIniLink : public TPersistent
{
    Q_OBJECT
public:
    explicit TIniLink(QObject* parent = nullptr);
    ~TIniLink() override;

    TFormPlacement* Storage() const { return storage_; }
    // Leaves the old placement's list and joins the end of the new one's.
    void SetStorage(TFormPlacement* placement);
    // The placement's open store, null outside a save or restore (or
    // without a placement).
    TCustomIniFile* IniObject() const;
    // The placement's own IniSection (not its default) and "\", or empty.
    QString RootSection() const;

    virtual void SaveToIni();
    virtual void LoadFromIni();

    TNotifyEvent OnSave;
    TNotifyEvent OnLoad;

private:
    QPointer<TFormPlacement> storage_;
};

// Saves its owner form's placement (position, size, state, and the active
// control when asked) into an ini file or a registry key when the form
// closes, and restores it when the form is shown; a placement that was never
// restored is never written over. It can also hold size limits for the form
// or freeze its size.
class TFormPlacement : public TComponent, private TAfterMessageListener
{
    Q_OBJECT
public:
    enum TPlacementOption { fpState = 0x1, fpPosition = 0x2, fpActiveControl = 0x4 };
    Q_DECLARE_FLAGS(TPlacementOptions, TPlacementOption)
    Q_FLAG(TPlacementOptions)
    // Only the first two are kept by the registry file; the others are
    // refused when the store is opened.
    enum TPlacementRegRoot {
        prCurrentUser,
        prLocalMachine,
        prCurrentConfig,
        prClassesRoot,
        prUsers,
        prDynData
    };
    Q_ENUM(TPlacementRegRoot)

private:
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
    Q_PROPERTY(QString IniSection READ IniSection WRITE SetIniSection)
    Q_PROPERTY(TWinMinMaxInfo* MinMaxInfo READ MinMaxInfo)
    Q_PROPERTY(TPlacementOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool PreventResize READ PreventResize WRITE SetPreventResize)
    Q_PROPERTY(TPlacementRegRoot RegistryRoot READ RegistryRoot WRITE SetRegistryRoot)
    Q_PROPERTY(bool UseRegistry READ UseRegistry WRITE SetUseRegistry)
    Q_PROPERTY(int Version READ Version WRITE SetVersion)

public:
    explicit TFormPlacement(QObject* owner, const QString& name = {});
    ~TFormPlacement() override;

    bool Active() const { return active_; }
    void SetActive(bool value) { active_ = value; }
    // The default of IniAccess when empty: the ini file name, or with
    // UseRegistry the registry key.
    QString IniFileName() const;
    void SetIniFileName(const QString& value) { iniFileName_ = value; }
    // The owner's default section name when empty.
    QString IniSection() const;
    void SetIniSection(const QString& value) { iniSection_ = value; }
    QString StoredIniSection() const { return iniSection_; }
    TWinMinMaxInfo* MinMaxInfo() const { return minMaxInfo_; }
    void SetMinMaxInfo(const TWinMinMaxInfo& value) { minMaxInfo_->Assign(value); }
    TPlacementOptions Options() const { return options_; }
    void SetOptions(TPlacementOptions value) { options_ = value; }
    bool PreventResize() const { return preventResize_; }
    void SetPreventResize(bool value);
    TPlacementRegRoot RegistryRoot() const { return registryRoot_; }
    void SetRegistryRoot(TPlacementRegRoot value) { registryRoot_ = value; }
    bool UseRegistry() const { return useRegistry_; }
    void SetUseRegistry(bool value) { useRegistry_ = value; }
    int Version() const { return version_; }
    void SetVersion(int value) { version_ = value; }

    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    // The owner when it is a form.
    TForm* Form() const { return form_; }

    // Writes the placement keys for a form owner, then each link's save.
    virtual void SavePlacement();
    // Reads them back (state with fpState, position with fpPosition), then
    // each link's load.
    virtual void RestorePlacement();

    // On the open store, or on one opened for this call only.
    QString ReadKeyString(const QString& section, const QString& ident,
                          const QString& defaultValue);
    void WriteKeyString(const QString& section, const QString& ident, const QString& value);
    int ReadKeyInteger(const QString& ident, int defaultValue);
    void WriteKeyInteger(const QString& ident, int value);

    // The full save (nothing while Active and never restored) and restore.
    void SaveToStorage();
    void RestoreFromStorage();
    // Applies the size limits to the form.
    void UpdatePlacement();

    // The store of the save or restore under way, else null.
    TCustomIniFile* IniObject() const { return storage_.get(); }
    const QList<TIniLink*>& Links() const { return links_; }
    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }

    // The store the placement opens: an ini file under the program folder,
    // or the registry key under RegistryRoot (refused, with ERegistryException,
    // for the roots the registry file does not hold).
    std::unique_ptr<TCustomIniFile> OpenStorage(bool readOnly) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TIniLink;
    friend class TWinMinMaxInfo;

    void AfterMessage(QObject* target, QEvent* event) override;
    void formShow();
    void formCloseQuery();
    void formDestroy();
    void messageHandler(QEvent& event, bool& handled);
    void minMaxInfoModified();
    void checkToggleHook();
    bool needsHook() const;
    void applyConstraints();
    void releaseConstraints();
    void setMaximizeButton(bool on);

    TWindowPlacement windowPlacement() const;
    QRect normalRect() const;
    void writeWindowPlacement();
    void readWindowPlacement(bool position, bool state);

    bool active_ = true;
    QString iniFileName_;
    QString iniSection_;
    mutable QString ownerSection_;
    TWinMinMaxInfo* minMaxInfo_;
    TPlacementOptions options_;
    bool preventResize_ = false;
    TPlacementRegRoot registryRoot_ = prCurrentUser;
    bool useRegistry_ = false;
    int version_ = 0;

    // The owner when it is a form, until it is destroyed (null from then on;
    // formObject_ stays for comparisons).
    TForm* form_ = nullptr;
    QObject* formObject_ = nullptr;
    QPointer<QWidget> frame_; // an MDI child's frame, once it has one
    std::unique_ptr<TCustomIniFile> storage_;
    QList<TIniLink*> links_;
    TRxWindowHook* hook_;
    bool saved_ = false;
    bool restored_ = false;
    bool savingOnDestroy_ = false;
    bool formDestroying_ = false;
    bool defaultMaximize_ = true;
    Qt::WindowFlags flagsBeforeFreeze_;
    bool maximizeRemoved_ = false;
    // The form's own size limits while the placement's are applied.
    bool constrained_ = false;
    QSize ownMinimum_;
    QSize ownMaximum_;
    QPoint minPosition_{-1, -1};
    QPoint maxPosition_{-1, -1};
    QRect lastNormal_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFormPlacement::TPlacementOptions)
