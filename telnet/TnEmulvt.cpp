#include "telnet/TnEmulvt.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTnEmulVT, "brevant.terminal.telnet", QtWarningMsg)

namespace {

QString exceptionText(const std::exception& e)
{
    if (const auto* socket = dynamic_cast<const ESocketException*>(&e))
        return socket->Message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

TTnEmulVT::TTnEmulVT(QWidget* AOwner) : TEmulVT(AOwner), cnx_(new TTnCnx(this))
{
    // The connection's own display texts are not shown.
    cnx_->OnDataAvailable = [this](TTnCnx*, const char* Buffer, int Len) {
        TnCnxDataAvailable(Buffer, Len);
    };
    cnx_->OnSessionConnected = [this](TTnCnx*, quint16 Error) { TnCnxSessionConnected(Error); };
    cnx_->OnSessionClosed = [this](TTnCnx*, quint16 Error) { TnCnxSessionClosed(Error); };
    cnx_->OnSendLoc = [this](TTnCnx*) {
        if (OnSendLoc)
            OnSendLoc(this);
    };
    cnx_->OnTermType = [this](TTnCnx*) {
        if (OnTermType)
            OnTermType(this);
    };
    cnx_->OnLocalEcho = [this](TTnCnx*) {
        if (OnLocalEcho)
            OnLocalEcho(this);
    };
    cnx_->OnNegotiationHeld = [this](TTnCnx*, bool Held) {
        ShowText(
            Held ? QStringLiteral("\r\n*** Server is not reading: option negotiation held ***\r\n")
                 : QStringLiteral("\r\n*** Option negotiation resumed ***\r\n"));
    };
}

TTnEmulVT::~TTnEmulVT()
{
    // The connection goes first, without reporting to a half-destroyed
    // terminal.
    cnx_->OnSessionConnected = nullptr;
    cnx_->OnSessionClosed = nullptr;
    cnx_->OnDataAvailable = nullptr;
    cnx_->OnNegotiationHeld = nullptr;
    delete cnx_;
}

void TTnEmulVT::Connect()
{
    if (hostName_.isEmpty())
        return;
    ClearScreen();
    cnx_->Port = Port;
    cnx_->Host = hostName_;
    QString failure;
    try {
        cnx_->Connect();
    } catch (const std::exception& e) {
        failure = exceptionText(e);
    }
    ShowText(QStringLiteral("Connecting to '") + hostName_ + QStringLiteral("'\r\n"));
    setFocus();
    if (failure.isEmpty())
        return;
    // The attempt could not even start (a service name that does not exist).
    // It ends the way a refused connection does, reported from the event
    // loop as the socket's events are.
    const int code = cnx_->Socket() ? cnx_->Socket()->LastError() : 0;
    const quint16 error = quint16(code != 0 ? code : WinSock::WSAEINVAL);
    QTimer::singleShot(0, this, [this, failure, error] {
        ShowText(QStringLiteral("Connection failed: ") + failure + QStringLiteral("\r\n"));
        QApplication::beep();
        Error = error;
        if (OnSessionConnected)
            OnSessionConnected(this);
        TnCnxSessionClosed(error);
    });
}

void TTnEmulVT::Disconnect()
{
    cnx_->Disconnect();
}

void TTnEmulVT::ShowText(const QString& Text)
{
    PutString(Cp874::fromUnicode(Text));
    update();
}

void TTnEmulVT::TnCnxSessionConnected(quint16 AError)
{
    if (AError == 0) {
        ShowText(QStringLiteral("Connected\r\n"));
    } else {
        ShowText(QStringLiteral("Connection failed: ") + SocketErrorText(AError) +
                 QStringLiteral("\r\n"));
        QApplication::beep();
    }
    Error = AError;
    if (OnSessionConnected)
        OnSessionConnected(this);
}

void TTnEmulVT::TnCnxSessionClosed(quint16 AError)
{
    ShowText(QStringLiteral("\r\n*** Server has closed ***\r\n"));
    QApplication::beep();
    Error = AError;
    if (OnSessionClosed)
        OnSessionClosed(this);
}

void TTnEmulVT::FireDataAvailable(const char* Buffer, int& Len)
{
    if (OnDataAvailable)
        OnDataAvailable(this, Buffer, Len);
}

void TTnEmulVT::TnCnxDataAvailable(const char* Buffer, int Len)
{
    int len = Len;
    FireDataAvailable(Buffer, len);
    // The whole block is shown whatever a handler left in len, and painted
    // once.
    try {
        PutBuffer(Buffer, Len);
    } catch (const std::exception& e) {
        // A byte that fails (the log cannot be written) ends this block; the
        // session goes on.
        qCWarning(lcTnEmulVT).noquote()
            << "received data not shown after a failure:" << exceptionText(e);
    } catch (...) {
        qCWarning(lcTnEmulVT) << "received data not shown after a failure";
    }
    RepaintDirty();
}

void TTnEmulVT::KeyPress(char& Key, TKeyOrigin Origin)
{
    TEmulVT::KeyPress(Key, Origin);
    if (UpperLock && Key >= 'a' && Key <= 'z')
        Key = char(Key - 'a' + 'A');
    if (Key == 0)
        return;
    try {
        if (localEcho_)
            PutChar(Key);
        cnx_->Send(&Key, 1);
    } catch (const std::exception& e) {
        // A key that cannot be sent is dropped.
        qCWarning(lcTnEmulVT).noquote() << "typed key not sent:" << exceptionText(e);
    } catch (...) {
        qCWarning(lcTnEmulVT) << "typed key not sent";
    }
}

void TTnEmulVT::SendKeyString(const char* Text, int Len)
{
    try {
        if (localEcho_)
            PutBuffer(Text, Len);
        cnx_->Send(Text, Len);
    } catch (const std::exception& e) {
        // A key that cannot be sent is dropped.
        qCWarning(lcTnEmulVT).noquote() << "key text not sent:" << exceptionText(e);
    } catch (...) {
        qCWarning(lcTnEmulVT) << "key text not sent";
    }
}

void TTnEmulVT::DrawFocusRect(const QRect& Rect)
{
    focusRect_ = Rect;
    focusDrawn_ = true;
    update(Rect.adjusted(-1, -1, 1, 1));
}

void TTnEmulVT::EraseFocusRect()
{
    if (!focusDrawn_)
        return;
    focusDrawn_ = false;
    update(focusRect_.adjusted(-1, -1, 1, 1));
}

void TTnEmulVT::paintEvent(QPaintEvent* event)
{
    TEmulVT::paintEvent(event);
    if (!focusDrawn_)
        return;
    // The rectangle being dragged inverts what lies under its outline.
    QPainter p(this);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    p.drawRect(focusRect_);
}

void TTnEmulVT::mousePressEvent(QMouseEvent* event)
{
    TEmulVT::mousePressEvent(event);
    mouseDown_ = true;
    EraseFocusRect();
    if (HasSelection()) {
        SetSelectRect(QRect(0, -1, 0, 0));
        update();
    }
}

void TTnEmulVT::mouseMoveEvent(QMouseEvent* event)
{
    TEmulVT::mouseMoveEvent(event);
    if (!mouseDown_)
        return;
    const QPoint pos = event->position().toPoint();
    if (!dragging_) {
        // Qt keeps sending the moves to this control while the button is
        // held, so the pointer needs no capture of its own.
        dragging_ = true;
        dragStart_ = QPoint(ColLeft(ColAt(pos.x())), RowTop(RowAt(pos.y())));
        return;
    }
    if (pos == dragStart_)
        return;
    EraseFocusRect();
    const int right = ColLeft(ColAt(pos.x()) + 1);
    const int bottom = RowTop(RowAt(pos.y()) + 1) + 4;
    DrawFocusRect(QRect(dragStart_, QPoint(right, bottom)).normalized());
}

void TTnEmulVT::mouseReleaseEvent(QMouseEvent* event)
{
    TEmulVT::mouseReleaseEvent(event);
    mouseDown_ = false;
    dragging_ = false;
    if (focusDrawn_) {
        EraseFocusRect();
        // A rectangle smaller than one cell selects nothing.
        if (focusRect_.width() < CharWidth() || focusRect_.height() < LineHeight())
            SetSelectRect(QRect(0, -1, 0, 0));
        else
            SetSelectRect(focusRect_);
    }
    update();
}
