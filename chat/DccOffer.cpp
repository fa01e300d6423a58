#include "chat/DccOffer.h"

#include "chat/Ctcp.h"
#include "chat/IrcText.h"

#include "platform/Cp874.h"

#include <QFileInfo>

#include <limits>

namespace Zentrel {

namespace {

// Reads the next field: leading blanks skipped, then a quoted text (when
// `quotable`) or a word. Returns std::nullopt at the end of the text or for
// an unclosed quote.
std::optional<QByteArray> nextField(QByteArrayView& text, bool quotable, bool* badQuote = nullptr)
{
    while (text.startsWith(' '))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    if (quotable && text.startsWith('"')) {
        const qsizetype close = text.indexOf('"', 1);
        if (close < 0) {
            if (badQuote)
                *badQuote = true;
            return std::nullopt;
        }
        QByteArray field = text.sliced(1, close - 1).toByteArray();
        text = text.sliced(close + 1);
        if (!text.isEmpty() && !text.startsWith(' ')) {
            if (badQuote)
                *badQuote = true;
            return std::nullopt;
        }
        return field;
    }
    const qsizetype space = text.indexOf(' ');
    QByteArray field = (space < 0 ? text : text.first(space)).toByteArray();
    text = space < 0 ? QByteArrayView() : text.sliced(space);
    return field;
}

constexpr quint64 kMaxSize = quint64(std::numeric_limits<qint64>::max());

} // namespace

TDccParse ParseDccOffer(QByteArrayView arguments)
{
    TDccParse r;
    QByteArrayView text = arguments;
    const auto kindWord = nextField(text, false);
    if (!kindWord) {
        r.Reason = "no request";
        return r;
    }
    r.Kind = AsciiUpper(*kindWord);
    TDccOffer offer;
    if (r.Kind == "CHAT")
        offer.Kind = TDccKind::Chat;
    else if (r.Kind == "SEND")
        offer.Kind = TDccKind::Send;
    else if (r.Kind == "RESUME")
        offer.Kind = TDccKind::Resume;
    else if (r.Kind == "ACCEPT")
        offer.Kind = TDccKind::Accept;
    else {
        r.Reason = "unknown request";
        return r;
    }

    auto refuse = [&](const char* reason) {
        r.Reason = reason;
        return r;
    };
    auto number = [&](const char* what, quint64 max, quint64* out) -> bool {
        const auto field = nextField(text, false);
        if (!field) {
            r.Reason = QByteArray("no ") + what;
            return false;
        }
        const auto value = ParseDecimal(*field, max);
        if (!value) {
            r.Reason = QByteArray("bad ") + what;
            return false;
        }
        *out = *value;
        return true;
    };
    auto port = [&]() -> bool {
        quint64 value = 0;
        if (!number("port", 65535, &value))
            return false;
        if (value == 0) {
            r.Reason = "port 0 (passive DCC is not supported)";
            return false;
        }
        offer.Port = quint16(value);
        return true;
    };
    auto address = [&]() -> bool {
        quint64 value = 0;
        if (!number("address", 0xFFFFFFFFull, &value))
            return false;
        if (value == 0) {
            r.Reason = "address 0";
            return false;
        }
        offer.Address = quint32(value);
        return true;
    };
    auto fileName = [&]() -> bool {
        bool badQuote = false;
        const auto field = nextField(text, true, &badQuote);
        if (!field) {
            r.Reason = badQuote ? "bad quoted file name" : "no file name";
            return false;
        }
        if (field->isEmpty()) {
            r.Reason = "empty file name";
            return false;
        }
        offer.FileName = *field;
        return true;
    };

    switch (offer.Kind) {
    case TDccKind::Chat:
        // The word after CHAT names the protocol ("chat") and is skipped.
        if (!nextField(text, false))
            return refuse("no protocol");
        if (!address() || !port())
            return r;
        break;
    case TDccKind::Send: {
        if (!fileName() || !address() || !port())
            return r;
        QByteArrayView rest = text;
        if (const auto sizeField = nextField(rest, false)) {
            const auto size = ParseDecimal(*sizeField, kMaxSize);
            if (!size)
                return refuse("bad size");
            offer.Size = *size;
            offer.HasSize = true;
        }
        break;
    }
    case TDccKind::Resume:
    case TDccKind::Accept:
        if (!fileName() || !port() || !number("position", kMaxSize, &offer.Position))
            return r;
        break;
    }
    r.Offer = offer;
    return r;
}

QByteArray DccRefusedLine(QByteArrayView kind, QByteArrayView nick, QByteArrayView reason)
{
    return "*** DCC " + kind.toByteArray() + " from " + nick.toByteArray() +
           " refused: " + reason.toByteArray();
}

QByteArray DottedAddress(quint32 a)
{
    return QByteArray::number(a >> 24) + '.' + QByteArray::number((a >> 16) & 0xFF) + '.' +
           QByteArray::number((a >> 8) & 0xFF) + '.' + QByteArray::number(a & 0xFF);
}

std::optional<quint32> ParseDottedAddress(QByteArrayView dotted)
{
    const QList<QByteArray> parts = dotted.toByteArray().split('.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3 || part.contains(' '))
            return std::nullopt;
        const auto n = ParseDecimal(part, 255);
        if (!n)
            return std::nullopt;
        value = (value << 8) | quint32(*n);
    }
    return value;
}

QByteArray SpacesToUnderscores(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    out.replace(' ', '_');
    return out;
}

QByteArray DccChatOfferLine(QByteArrayView nick, quint32 address, quint16 port)
{
    return CtcpRequestLine(
        nick, "DCC", "CHAT chat " + QByteArray::number(address) + ' ' + QByteArray::number(port));
}

QByteArray DccSendNoticeLine(QByteArrayView nick, QByteArrayView fileName, quint32 address)
{
    return "NOTICE " + nick.toByteArray() + " :DCC Send " + fileName.toByteArray() + " (" +
           DottedAddress(address) + ')';
}

QByteArray DccSendOfferLine(QByteArrayView nick, QByteArrayView fileName, quint32 address,
                            quint16 port, quint64 size)
{
    // Control bytes would break the CTCP framing: they go the way of blanks.
    QByteArray name = SpacesToUnderscores(fileName);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return CtcpRequestLine(nick, "DCC",
                           "SEND " + name + ' ' + QByteArray::number(address) + ' ' +
                               QByteArray::number(port) + ' ' + QByteArray::number(size));
}

QByteArray OfferFileName(const QString& path)
{
    return Cp874::fromUnicode(QFileInfo(path).fileName());
}

QByteArray DccResumeLine(QByteArrayView nick, QByteArrayView fileName, quint16 port,
                         quint64 position)
{
    QByteArray name = fileName.toByteArray();
    if (name.contains(' '))
        name = '"' + name + '"';
    return CtcpRequestLine(TrimControls(nick), "DCC",
                           "RESUME " + name + ' ' + QByteArray::number(port) + ' ' +
                               QByteArray::number(position));
}

QByteArray DccAcceptLine(QByteArrayView nick, quint16 port, quint64 position)
{
    return CtcpRequestLine(nick, "DCC",
                           "ACCEPT file.ext  " + QByteArray::number(port) + ' ' +
                               QByteArray::number(position));
}

bool IsLoopbackAddress(quint32 address)
{
    return (address >> 24) == 127;
}

QByteArray AutoConnectRefusal(quint32 address, quint16 port, bool serverOnLoopback)
{
    const QByteArray dotted = DottedAddress(address);
    if ((address >> 24) == 0)
        return "address " + dotted + " in 0.0.0.0/8";
    if ((address >> 28) == 0xE)
        return "multicast address " + dotted;
    if (address == 0xFFFFFFFFu)
        return "broadcast address " + dotted;
    if ((address >> 28) == 0xF)
        return "reserved address " + dotted;
    if (IsLoopbackAddress(address) && !serverOnLoopback)
        return "loopback address " + dotted + " while the server is not on loopback";
    if (port < 1024)
        return "port " + QByteArray::number(port) + " below 1024";
    return {};
}

namespace DccChatTexts {
QByteArray Waiting(QByteArrayView nick)
{
    return "*** Waiting for connection from " + nick.toByteArray() + " ***";
}
QByteArray Established()
{
    return QByteArrayLiteral("*** DCC CHAT established ***");
}
QByteArray ConnectionFrom(QByteArrayView address)
{
    return "*** Connection from IP " + address.toByteArray() + " ***";
}
QByteArray EstablishedOut()
{
    return QByteArrayLiteral("*** Established DCC Chat Connection *** ");
}
QByteArray ConnectionTo(QByteArrayView address)
{
    return "*** Connection to IP " + address.toByteArray() + " ***";
}
QByteArray Closed()
{
    return QByteArrayLiteral("*** DCC Connection Closed ***");
}
QByteArray NotConnected()
{
    return QByteArrayLiteral("*** Not sent: the DCC chat is not connected");
}
QByteArray Received(QByteArrayView peer, QByteArrayView line)
{
    const QByteArray text = TrimControls(line);
    // An action travels as CTCP inside the chat: 0x01 "ACTION " text 0x01
    // (the 0x01 bytes go, as in any CTCP text).
    const qsizetype mark = line.indexOf('\x01');
    if (mark >= 0 && TrimControls(line.first(mark)).isEmpty()) {
        const QByteArray ctcp = TrimControls(QByteArray(text).replace('\x01', QByteArray()));
        if (StartsWithNoCase(ctcp, "ACTION ") || EqualsNoCase(ctcp, "ACTION")) {
            const QByteArray words = TrimControls(QByteArrayView(ctcp).sliced(6));
            return "* " + peer.toByteArray() + (words.isEmpty() ? QByteArray() : ' ' + words);
        }
    }
    return '<' + peer.toByteArray() + "> " + text;
}
} // namespace DccChatTexts

} // namespace Zentrel
