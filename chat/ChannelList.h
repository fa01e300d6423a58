#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The channel list of a server window: the rows of a LIST, their sorting,
// the progress gauge, and the cache file that keeps the last list of each
// server.
namespace Zentrel {

struct TChannelRow
{
    QByteArray Name;
    QByteArray Users; // as the server sent it
    QByteArray Topic; // colour codes stripped
    // The user count as a number; -1 when it is not one.
    qint64 UserCount() const;
    bool operator==(const TChannelRow&) const = default;
};

// The row of a 322 reply (its text after our own nick): a first word that
// starts with "#" or "&", the user count, and the topic after one ":".
std::optional<TChannelRow> ParseChannelRow(QByteArrayView text);

// Rows kept from one LIST at most; a server that sends more is not followed.
inline constexpr int kMaxChannelRows = 100000;

// The gauge in percent of the rows so far in the channel count of the 254
// reply, within 0-100; 0 while that count is unknown.
int ChannelListGauge(qint64 rows, qint64 channelTotal);

// Sorting by a column header: name (0) and topic (2) by text without regard
// to case, users (1) by number; each click sorts that column in its
// direction, then flips the direction for the next click. Every column
// starts ascending.
class TChannelListSort
{
public:
    void Click(QList<TChannelRow>& rows, int column);
    bool Ascending(int column) const;

private:
    bool ascending_[3] = {true, true, true};
};

// The cache file of a server text: "irc-" + the text, escaped like the
// favorites group files, in the data folder.
QString ChannelListCacheName(const QString& serverText);
QString ChannelListCacheFile(const QString& serverText, const QString& dataFolder);
// Three lines per channel: name, user count, topic. A last row with fewer
// than three lines is skipped. `opened` tells whether the file could be read.
QList<TChannelRow> ReadChannelListCache(const QString& path, bool* opened = nullptr);
bool WriteChannelListCache(const QString& path, const QList<TChannelRow>& rows);

} // namespace Zentrel
