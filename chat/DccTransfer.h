#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The bookkeeping of DCC file transfers that has nothing to do with sockets
// or windows: the table RESUME and ACCEPT requests are matched against, the
// 4-byte acknowledgements, and each side's byte counts.
namespace Zentrel {

// The table of live transfers (port, nick) that DCC RESUME (to a sender of
// ours) and DCC ACCEPT (to a resume we asked for) are matched against.
class TDccTransfers
{
public:
    enum class Role { Sending, Receiving };
    struct Entry
    {
        int Id = 0;
        Role role = Role::Sending;
        quint16 Port = 0; // 0 once it can no longer be matched
        QByteArray Nick;
        quint64 FileSize = 0; // sending: the file's size
        quint64 Position = 0; // receiving: the position we asked to resume at
    };
    struct Match
    {
        int Id = 0; // 0 when refused
        QByteArray Reason;
        bool ok() const { return Id != 0; }
    };

    // A sender registers its listening port; a receiver that asks to resume
    // registers the offered port and the position it asks for.
    int Add(Role role, quint16 port, QByteArrayView nick, quint64 fileSize, quint64 position = 0);
    // No request matches this transfer any more (its data began to flow, or
    // its resume was answered); it stays in the table until it is finished.
    void StopMatching(int id);
    // The transfer has ended: it leaves the table.
    void Finish(int id);
    void Clear();
    const Entry* Find(int id) const;
    int Count() const { return int(entries_.size()); }

    // A RESUME for a live sending transfer on that port to that nick, at a
    // position within the file. The match stops further matching.
    Match MatchResume(quint16 port, QByteArrayView nick, quint64 position);
    // An ACCEPT for a resume we asked of that nick on that port, carrying
    // exactly the position we asked for.
    Match MatchAccept(quint16 port, QByteArrayView nick, quint64 position);

private:
    Entry* live(Role role, quint16 port, QByteArrayView nick);

    QList<Entry> entries_;
    int nextId_ = 1;
};

// The table the whole library shares.
TDccTransfers& DCCTransfers();

// The receptions of this run of the program that have not completed: the
// offer (its name as offered and its size) and the file actually written,
// which may be "name (2).ext". Auto-receive resumes only these; a file that
// a reception is still writing is never the target of another offer.
class TDccUnfinished
{
public:
    struct Entry
    {
        QByteArray OfferedName;
        quint64 Size = 0;
        QString Path;
        bool Writing = false; // a live reception holds the file
    };
    // A reception holds `path` for that offer (a new file or a resumed one).
    void Started(QByteArrayView offeredName, quint64 size, const QString& path);
    // It ended before the end of the file: the file may be resumed.
    void Stopped(const QString& path);
    // It received the whole file: the entry goes.
    void Completed(const QString& path);
    // The unfinished receptions of that offer that nothing holds now, the
    // latest first.
    QList<Entry> Resumable(QByteArrayView offeredName, quint64 size) const;
    bool Writing(const QString& path) const;
    int Count() const { return int(entries_.size()); }
    void Clear() { entries_.clear(); }

private:
    QList<Entry> entries_;
};

// The table the whole library shares.
TDccUnfinished& DccUnfinished();

// The acknowledgement: the low 32 bits of a byte count, big-endian.
QByteArray DccAcknowledgement(quint64 transferred);

// Collects acknowledgements from the stream whatever pieces they arrive in.
class TDccAckReader
{
public:
    QList<quint32> Feed(QByteArrayView data);
    int Pending() const { return fill_; }

private:
    unsigned char bytes_[4] = {};
    int fill_ = 0;
};

// The 64-bit count an acknowledgement stands for: the largest count not
// above `sent` whose low 32 bits are `ack` (files over 4 GiB wrap the
// 32-bit field).
quint64 ExpandAcknowledgement(quint32 ack, quint64 sent);

// Whole percent of `done` in `size` (0 when the size is unknown).
int DccPercent(quint64 done, quint64 size);

// The sender's side: one block per acknowledgement.
class TDccSendProgress
{
public:
    TDccSendProgress(quint64 size, quint32 blockSize);
    quint64 Size() const { return size_; }
    quint64 Sent() const { return sent_; }
    quint64 Acknowledged() const { return acked_; }
    quint32 BlockSize() const { return block_; }
    // A resume: sending starts at this position (never beyond the file).
    void Seek(quint64 position);
    // How many bytes the next block reads (0 once all is sent).
    quint64 NextBlock() const;
    // Whether a block may go now: something is left to send and less than
    // one block waits for its acknowledgement. So one acknowledgement
    // releases one block, and a peer that acknowledges in small pieces (or
    // repeats itself) never has more than two blocks in flight.
    bool MaySend() const;
    void BlockSent(quint64 length);

    struct Ack
    {
        quint64 Acknowledged = 0;
        bool Complete = false; // the whole file is acknowledged: close
        bool SendNext = false; // send the next block (MaySend)
    };
    Ack OnAck(quint32 ack);
    int Percent() const { return DccPercent(acked_, size_); }

private:
    quint64 size_;
    quint32 block_;
    quint64 sent_ = 0;
    quint64 acked_ = 0;
};

// The receiver's side: bytes written, the acknowledgement after each burst.
class TDccReceiveProgress
{
public:
    // `size` 0: the offer named no size. `start`: the resumed part.
    TDccReceiveProgress(quint64 size, quint64 start = 0);
    // `sized`: the offer named a size, even 0 (then nothing is written).
    TDccReceiveProgress(quint64 size, quint64 start, bool sized);
    quint64 Size() const { return size_; }
    quint64 Transferred() const { return transferred_; }
    bool Sized() const { return sized_; }
    // Of `length` bytes received, how many are written: never beyond an
    // offered size (the rest is dropped and counted in Excess).
    quint64 Accept(quint64 length);
    quint64 Excess() const { return excess_; }
    bool Complete() const { return sized_ && transferred_ >= size_; }
    QByteArray Acknowledgement() const { return DccAcknowledgement(transferred_); }
    int Percent() const { return DccPercent(transferred_, size_); }

private:
    quint64 size_;
    quint64 transferred_;
    bool sized_;
    quint64 excess_ = 0;
};

// One burst of the receiver reads at most this much, so that a fast sender
// can neither grow memory nor hold up the event loop.
inline constexpr qint64 kDccMaxBurst = 256 * 1024;

// Texts of the transfer window and of its row in the server window's list.
QByteArray DccByteText(quint64 done, quint64 size);
QByteArray DccRowCaption(bool receiving, QByteArrayView fileName);
QByteArray DccPercentText(int percent);
QByteArray DccWindowCaption(int percent);
QByteArray DccSendCaption();

} // namespace Zentrel
