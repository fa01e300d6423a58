#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The lines the nick pop-up menu of a channel window sends, for nick list
// entries (marks "@" and "+" are removed wherever a nick is sent).
namespace Zentrel {

QByteArray WhoisLine(QByteArrayView entry);
QByteArray PubKeyRequestLine(QByteArrayView entry);
QByteArray VersionRequestLine(QByteArrayView entry);
QByteArray TimeRequestLine(QByteArrayView entry);
QByteArray PingRequestLine(QByteArrayView entry, qint64 msecsSinceMidnight);
// The window an encrypted-mode request opens: "$" + nick.
QByteArray EncryptedWindowName(QByteArrayView entry);

// Giving (or taking) operator status: batches of four nicks, each
// "MODE " channel " +oooo" and the nicks, each after a blank; a last batch
// of fewer the same way.
QList<QByteArray> OperatorLines(QByteArrayView channel, const QList<QByteArray>& entries,
                                bool give);

// "KICK " channel " " nick " :" reason; an empty reason is "No reason given".
QByteArray KickLine(QByteArrayView channel, QByteArrayView entry, QByteArrayView reason);

} // namespace Zentrel
