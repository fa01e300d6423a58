// The terminal bound to a telnet connection: it connects to a host, shows
// the connection's status texts on the screen, feeds what the host sends to
// the screen, sends typed characters and mapped keys to the host, and lets
// the user drag a selection rectangle over the cells.
#pragma once

#include "telnet/Emulvt.h"
#include "telnet/TnCnx.h"

#include <QPoint>
#include <QRect>

#include <functional>

class TTnEmulVT : public TEmulVT
{
    Q_OBJECT
public:
    using TNotify = std::function<void(QObject* Sender)>;
    // Len may be changed by the handler; the whole block is shown anyway.
    using TTnEmulVTDataAvailable =
        std::function<void(QObject* Sender, const char* Buffer, int& Len)>;

    explicit TTnEmulVT(QWidget* AOwner = nullptr);
    ~TTnEmulVT() override;

    QString HostName() const { return hostName_; }
    void SetHostName(const QString& Value) { hostName_ = Value; }
    QString Port = QStringLiteral("telnet");
    QString Location() const { return cnx_->Location(); }
    void SetLocation(const QString& Value) { cnx_->SetLocation(Value); }
    // The code of the last connect or close event.
    quint16 Error = 0;
    // Typed letters a-z go out in upper case.
    bool UpperLock = false;
    // What is sent is also shown. This is the telnet terminal's own flag; the
    // plain terminal's echo of typed characters stays
    // TCustomEmulVT::LocalEcho, and neither follows the connection's.
    bool LocalEcho() const { return localEcho_; }
    void SetLocalEcho(bool Value) { localEcho_ = Value; }

    TNotify OnSessionConnected;
    TNotify OnSessionClosed;
    TNotify OnSendLoc;
    TNotify OnTermType;
    TNotify OnLocalEcho;
    TTnEmulVTDataAvailable OnDataAvailable;
    // The connection's own event (its sender is the connection).
    TTnCnx::TNotify OnEndOfRecord() const { return cnx_->OnEndOfRecord; }
    void SetOnEndOfRecord(TTnCnx::TNotify Value) { cnx_->OnEndOfRecord = std::move(Value); }

    void Connect();
    void Disconnect();
    // Feeds a status text to the screen and repaints the whole terminal.
    void ShowText(const QString& Text);

    TTnCnx* Cnx() const { return cnx_; }

    void SendKeyString(const char* Text, int Len) override;

protected:
    virtual void FireDataAvailable(const char* Buffer, int& Len);
    void KeyPress(char& Key, TKeyOrigin Origin = TKeyOrigin::Key) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void TnCnxSessionConnected(quint16 Error);
    void TnCnxSessionClosed(quint16 Error);
    void TnCnxDataAvailable(const char* Buffer, int Len);
    void DrawFocusRect(const QRect& Rect);
    void EraseFocusRect();

    TTnCnx* cnx_;
    QString hostName_;
    bool localEcho_ = false;
    // Selection dragging.
    bool mouseDown_ = false;
    bool dragging_ = false;
    QPoint dragStart_;
    bool focusDrawn_ = false;
    QRect focusRect_;
};
