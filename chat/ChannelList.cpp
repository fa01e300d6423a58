#include "chat/ChannelList.h"

#include "chat/ColorCodes.h"
#include "chat/IrcText.h"

#include "platform/Cp874.h"
#include "platform/FileNames.h"
#include "platform/LineFile.h"


#include <algorithm>

namespace Zentrel {

qint64 TChannelRow::UserCount() const
{
    const auto n = ParseDecimal(Users, quint64(std::numeric_limits<qint64>::max()));
    return n ? qint64(*n) : -1;
}

std::optional<TChannelRow> ParseChannelRow(QByteArrayView text)
{
    const QByteArray name = FirstWord(text);
    if (!(name.startsWith('#') || name.startsWith('&')))
        return std::nullopt;
    const QByteArray rest = AfterFirstWord(text);
    TChannelRow row;
    row.Name = name;
    row.Users = FirstWord(rest);
    QByteArrayView topic = QByteArrayView(rest);
    const qsizetype space = topic.indexOf(' ');
    topic = space < 0 ? QByteArrayView() : topic.sliced(space + 1);
    if (topic.startsWith(':'))
        topic = topic.sliced(1);
    row.Topic = StripColorCodes(topic);
    return row;
}

int ChannelListGauge(qint64 rows, qint64 channelTotal)
{
    if (channelTotal <= 0 || rows <= 0)
        return 0;
    if (rows >= channelTotal)
        return 100;
    return int((unsigned __int128)rows * 100 / quint64(channelTotal));
}

bool TChannelListSort::Ascending(int column) const
{
    return column >= 0 && column < 3 ? ascending_[column] : true;
}

void TChannelListSort::Click(QList<TChannelRow>& rows, int column)
{
    if (column < 0 || column > 2)
        return;
    const bool up = ascending_[column];
    auto less = [column](const TChannelRow& a, const TChannelRow& b) {
        if (column == 1)
            return a.UserCount() < b.UserCount();
        const QByteArray& x = column == 0 ? a.Name : a.Topic;
        const QByteArray& y = column == 0 ? b.Name : b.Topic;
        return CompareNoCase(x, y) < 0;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const TChannelRow& a, const TChannelRow& b) {
        return up ? less(a, b) : less(b, a);
    });
    ascending_[column] = !up;
}

QString ChannelListCacheName(const QString& serverText)
{
    // Escaped as the favorites group files are, so the name stays one file in
    // the data folder; "irc-" comes first.
    return QStringLiteral("irc-") + EscapedFileName(serverText, 255 - 4);
}

QString ChannelListCacheFile(const QString& serverText, const QString& dataFolder)
{
    return dataFolder + u'/' + ChannelListCacheName(serverText);
}

QList<TChannelRow> ReadChannelListCache(const QString& path, bool* opened)
{
    const LineFile::ReadResult file = LineFile::read(path);
    if (opened)
        *opened = file.opened();
    QList<TChannelRow> rows;
    for (qsizetype i = 0; i + 2 < file.lines.size() && rows.size() < kMaxChannelRows; i += 3)
        rows.append({Cp874::fromUnicode(file.lines[i]), Cp874::fromUnicode(file.lines[i + 1]),
                     Cp874::fromUnicode(file.lines[i + 2])});
    return rows;
}

bool WriteChannelListCache(const QString& path, const QList<TChannelRow>& rows)
{
    // A control byte inside a field (a line end, or the Ctrl+Z that ends a
    // text file) would break the three-line rows: fields are kept without.
    auto field = [](const QByteArray& bytes) {
        QByteArray clean;
        clean.reserve(bytes.size());
        for (const char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x20)
                clean.append(c);
        return Cp874::toUnicode(clean);
    };
    QStringList lines;
    lines.reserve(rows.size() * 3);
    for (const TChannelRow& row : rows)
        lines << field(row.Name) << field(row.Users) << field(row.Topic);
    return LineFile::write(path, lines);
}

} // namespace Zentrel
