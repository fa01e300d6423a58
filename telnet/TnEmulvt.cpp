#include "telnet/TnEmulvt.h"

#include "net/WSocket.h"
#include "platform/Cp874.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

TTnEmulVT::TTnEmulVT(QWidget* AOwner) : TEmulVT(AOwner), m_cnx(new TTnCnx(this))
{
    // The connection's own display texts are not shown.
    m_cnx->OnDataAvailable = [this](TTnCnx*, const char* Buffer, int Len) {
        TnCnxDataAvailable(Buffer, Len);
    };
    m_cnx->OnSessionConnected = [this](TTnCnx*, quint16 Error) { TnCnxSessionConnected(Error); };
    m_cnx->OnSessionClosed = [this](TTnCnx*, quint16 Error) { TnCnxSessionClosed(Error); };
    m_cnx->OnSendLoc = [this](TTnCnx*) {
        if (OnSendLoc)
            OnSendLoc(this);
    };
    m_cnx->OnTermType = [this](TTnCnx*) {
        if (OnTermType)
            OnTermType(this);
    };
    m_cnx->OnLocalEcho = [this](TTnCnx*) {
        if (OnLocalEcho)
            OnLocalEcho(this);
    };
}

TTnEmulVT::~TTnEmulVT()
{
    // The connection goes first, without reporting to a half-destroyed
    // terminal.
    m_cnx->OnSessionConnected = nullptr;
    m_cnx->OnSessionClosed = nullptr;
    m_cnx->OnDataAvailable = nullptr;
    delete m_cnx;
}

void TTnEmulVT::Connect()
{
    if (m_hostName.isEmpty())
        return;
    ClearScreen();
    m_cnx->Port = Port;
    m_cnx->Host = m_hostName;
    QString failure;
    try {
        m_cnx->Connect();
    } catch (const ESocketException& e) {
        failure = e.Message();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    ShowText(QStringLiteral("Connecting to '") + m_hostName + QStringLiteral("'\r\n"));
    setFocus();
    if (failure.isEmpty())
        return;
    // The attempt could not even start (a service name that does not exist).
    // It ends the way a refused connection does, reported from the event
    // loop as the socket's events are.
    const int code = m_cnx->Socket() ? m_cnx->Socket()->LastError() : 0;
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
    m_cnx->Disconnect();
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
    // The whole block is shown whatever a handler left in len.
    try {
        for (int i = 0; i < Len; ++i)
            PutChar(Buffer[i]);
    } catch (...) {
        // A byte that fails ends this block; the session goes on.
    }
    RepaintDirty();
}

void TTnEmulVT::KeyPress(char& Key)
{
    TEmulVT::KeyPress(Key);
    if (UpperLock && Key >= 'a' && Key <= 'z')
        Key = char(Key - 'a' + 'A');
    if (Key == 0)
        return;
    try {
        if (m_localEcho)
            PutChar(Key);
        m_cnx->Send(&Key, 1);
    } catch (...) {
        // A key that cannot be sent is dropped.
    }
}

void TTnEmulVT::SendKeyString(const char* Text, int Len)
{
    try {
        if (m_localEcho)
            PutBuffer(Text, Len);
        m_cnx->Send(Text, Len);
    } catch (...) {
    }
}

void TTnEmulVT::DrawFocusRect(const QRect& Rect)
{
    m_focusRect = Rect;
    m_focusDrawn = true;
    update(Rect.adjusted(-1, -1, 1, 1));
}

void TTnEmulVT::EraseFocusRect()
{
    if (!m_focusDrawn)
        return;
    m_focusDrawn = false;
    update(m_focusRect.adjusted(-1, -1, 1, 1));
}

void TTnEmulVT::paintEvent(QPaintEvent* event)
{
    TEmulVT::paintEvent(event);
    if (!m_focusDrawn)
        return;
    // The rectangle being dragged inverts what lies under its outline.
    QPainter p(this);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    p.drawRect(m_focusRect);
}

void TTnEmulVT::mousePressEvent(QMouseEvent* event)
{
    TEmulVT::mousePressEvent(event);
    m_mouseDown = true;
    EraseFocusRect();
    if (HasSelection()) {
        SetSelectRect(QRect(0, -1, 0, 0));
        update();
    }
}

void TTnEmulVT::mouseMoveEvent(QMouseEvent* event)
{
    TEmulVT::mouseMoveEvent(event);
    if (!m_mouseDown)
        return;
    const QPoint pos = event->position().toPoint();
    if (!m_dragging) {
        // Qt keeps sending the moves to this control while the button is
        // held, so the pointer needs no capture of its own.
        m_dragging = true;
        m_dragStart = QPoint(ColLeft(ColAt(pos.x())), RowTop(RowAt(pos.y())));
        return;
    }
    if (pos == m_dragStart)
        return;
    EraseFocusRect();
    const int right = ColLeft(ColAt(pos.x()) + 1);
    const int bottom = RowTop(RowAt(pos.y()) + 1) + 4;
    DrawFocusRect(QRect(m_dragStart, QPoint(right, bottom)).normalized());
}

void TTnEmulVT::mouseReleaseEvent(QMouseEvent* event)
{
    TEmulVT::mouseReleaseEvent(event);
    m_mouseDown = false;
    m_dragging = false;
    if (m_focusDrawn) {
        EraseFocusRect();
        // A rectangle smaller than one cell selects nothing.
        if (m_focusRect.width() < CharWidth() || m_focusRect.height() < LineHeight())
            SetSelectRect(QRect(0, -1, 0, 0));
        else
            SetSelectRect(m_focusRect);
    }
    update();
}
