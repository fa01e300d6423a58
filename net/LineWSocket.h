#pragma once

#include "net/LineBuffer.h"
#include "net/SocksWSocket.h"

class QTimer;

// Line mode: received bytes are collected and OnDataAvailable fires once for
// each complete line, during which Receive returns exactly that line. It can
// echo what it receives and apply backspace and tab editing (net/LineBuffer.h).
class TCustomLineWSocket : public TCustomSocksWSocket
{
    Q_OBJECT
public:
    explicit TCustomLineWSocket(QObject* AOwner = nullptr);
    ~TCustomLineWSocket() override;

    bool LineMode() const { return lineMode_; }
    virtual void SetLineMode(bool Value);
    QByteArray LineEnd = QByteArrayLiteral("\r\n");
    bool LineEcho = false;
    bool LineEdit = false;
    // The longest line held while waiting for its end. A longer one fires
    // OnLineTooLong and is then delivered as it stands.
    int LineLimit = 65536;

protected:
    void WindowProcedure(TMessage& Msg) override;
    int GetRcvdCount() override;
    bool FireDataAvailable(quint16 Error) override;
    void FireSessionClosed(quint16 Error) override;
    int ReceiveRaw(char* Buffer, int Len, int Flags) override;
    virtual void ApplyLineEditing(int HeldBefore, int& Len);
    // Delivers the complete lines held from Start on.
    void DeliverLines(qsizetype Start);
    bool lineReceived_ = false;
    TLineBuffer lines_;
    bool lineMode_ = false;

private:
    void ScheduleRedeliver();
    QTimer* redeliverTimer_ = nullptr;
};
