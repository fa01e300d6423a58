#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// DCC offers: parsing the CHAT, SEND, RESUME and ACCEPT requests that arrive
// inside CTCP, and the texts of the offers and answers we send. Offers come
// from anyone on the network: every field is checked, and a refused offer
// carries the reason for the status log.
namespace Zentrel {

enum class TDccKind { Chat, Send, Resume, Accept };

struct TDccOffer
{
    TDccKind Kind = TDccKind::Chat;
    QByteArray FileName; // Send, Resume, Accept: as offered, quotes removed
    quint32 Address = 0; // Chat, Send: IPv4 in host order (a.b.c.d = a*2^24 + ...)
    quint16 Port = 0;
    quint64 Size = 0; // Send: 0 when the offer names none
    bool HasSize = false;
    quint64 Position = 0; // Resume, Accept
};

struct TDccParse
{
    std::optional<TDccOffer> Offer;
    QByteArray Kind;   // the request word as sent, upper-cased (for messages)
    QByteArray Reason; // why the offer was refused, when it was
};

// The arguments of a CTCP DCC request (the text after "DCC "). The kind is
// the first word; a file name may be quoted to hold blanks; addresses are
// unsigned 32-bit decimal numbers, sizes and positions 64-bit, ports 1-65535.
// Words after the last field are ignored.
TDccParse ParseDccOffer(QByteArrayView arguments);

// "*** DCC " kind " from " nick " refused: " reason.
QByteArray DccRefusedLine(QByteArrayView kind, QByteArrayView nick, QByteArrayView reason);

QByteArray DottedAddress(quint32 address);

// Why an offer's address and port are no place to connect to without
// asking the user: a multicast, broadcast, reserved or 0.0.0.0/8 address, a
// port below 1024, or a loopback address while our own server connection
// is not on loopback. Empty when they may be. (Private and LAN addresses
// may: senders behind NAT offer them.)
QByteArray AutoConnectRefusal(quint32 address, quint16 port, bool serverOnLoopback);
bool IsLoopbackAddress(quint32 address);
std::optional<quint32> ParseDottedAddress(QByteArrayView dotted);

// Every blank replaced by "_".
QByteArray SpacesToUnderscores(QByteArrayView text);

// "PRIVMSG " nick " :" 0x01 "DCC CHAT chat " address " " port 0x01.
QByteArray DccChatOfferLine(QByteArrayView nick, quint32 address, quint16 port);
// The two lines of a file offer: the NOTICE naming the file as it is, and
// the CTCP offer with the base name's blanks as "_".
QByteArray DccSendNoticeLine(QByteArrayView nick, QByteArrayView fileName, quint32 address);
QByteArray DccSendOfferLine(QByteArrayView nick, QByteArrayView fileName, quint32 address,
                            quint16 port, quint64 size);
// The base name of a local path in code page 874, for the offer.
QByteArray OfferFileName(const QString& path);
// Our request to resume an offered file at `position`.
QByteArray DccResumeLine(QByteArrayView nick, QByteArrayView fileName, quint16 port,
                         quint64 position);
// The sender's answer to a resume request, with the literal word file.ext
// and two blanks.
QByteArray DccAcceptLine(QByteArrayView nick, quint16 port, quint64 position);

// The lines a DCC chat window shows.
namespace DccChatTexts {
QByteArray Waiting(QByteArrayView nick);
QByteArray Established();
QByteArray ConnectionFrom(QByteArrayView address);
QByteArray EstablishedOut();
QByteArray ConnectionTo(QByteArrayView address);
QByteArray Closed();
// Typed text that found the chat without its connection.
QByteArray NotConnected();
// One received line: "<" peer "> " and the line trimmed.
QByteArray Received(QByteArrayView peer, QByteArrayView line);
} // namespace DccChatTexts

} // namespace Zentrel
