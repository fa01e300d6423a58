#pragma once

#include "chat/WindowNames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The command line of the chat windows and of the server window: what the
// user typed becomes lines for the server, lines to show and windows to
// close. Nothing here sends or shows anything itself.
namespace Zentrel {

struct TCommandContext
{
    // The server window's command line (false: a channel, query, DCC chat or
    // encrypted-mode window, of the kind it was made as).
    bool ServerWindow = false;
    TWindowKind Kind = TWindowKind::Query;
    QByteArray Caption; // its IRC target is the caption's first word
    QByteArray CurrentNick;
    qint64 MsecsSinceMidnight = 0;
};

struct TCommandResult
{
    QList<QByteArray> Send; // lines for the server, in order
    // Lines for this window; for the server window, for its status log.
    QList<QByteArray> Show;
    // Text for the DCC chat connection (sent with CR LF), when HasDccText.
    QByteArray DccText;
    bool HasDccText = false;
    // Child windows to close by name (each sends its own PART as it closes).
    QList<QByteArray> CloseWindows;
    // This window closes (a bare PART); for the server window, itself.
    bool CloseSelf = false;
};

TCommandResult TranslateCommandLine(const TCommandContext& context, QByteArrayView text);

// The usage lines of the bare commands.
QByteArray CommandUsage(QByteArrayView command);
QByteArray NotOnChannelLine();

} // namespace Zentrel
