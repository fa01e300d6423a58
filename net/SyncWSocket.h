#pragma once

#include "net/LineWSocket.h"

#include <functional>

// Waiting: a message loop that runs until a flag is set or a time-out
// passes, and ReadLine, which reads one line while other events go on.
class TCustomSyncWSocket : public TCustomLineWSocket
{
    Q_OBJECT
public:
    using TCustomLineWSocket::TCustomLineWSocket;
    // Reads one line, handling other events meanwhile. Timeout: 0 is one
    // minute, a positive value seconds, a negative one milliseconds.
    void ReadLine(int Timeout, QByteArray& Line);
    // 0 when Flag became true; 12001 on time-out, when the application is
    // closing down, or when the socket was freed meanwhile.
    int WaitUntilDone(bool& Flag);
    int CallAndWait(bool& Flag, const std::function<void()>& Proc);
    static qint64 TimeoutMs(int Timeout);

protected:
    qint64 timeout_ = 0;
};
