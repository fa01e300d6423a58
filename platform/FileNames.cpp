#include "platform/FileNames.h"

#include <QByteArray>
#include <QCryptographicHash>

QString EscapedFileName(const QString& name, int room)
{
    QByteArray escaped;
    const QByteArray utf8 = name.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool unsafe =
            c == '%' || c == '/' || c == '\\' || c < 0x20 || c == 0x7F || (i == 0 && c == '.');
        if (unsafe)
            escaped += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            escaped += char(c);
    }
    if (escaped.size() > room) {
        const QByteArray hash =
            QCryptographicHash::hash(utf8, QCryptographicHash::Sha1).toHex().left(8);
        qsizetype cut = qMax<qsizetype>(0, room - 1 - hash.size());
        // Never cut inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(escaped[cut]) & 0xC0) == 0x80)
            --cut;
        escaped = escaped.left(cut) + '~' + hash;
    }
    return QString::fromUtf8(escaped);
}

QString UnescapedFileName(const QString& fileName)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(fileName.toUtf8()));
}
