#pragma once

#include "chat/DccTransfer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where a received file goes. The offered name comes from the network: the
// file is always the receive folder + a plain base name, and nothing that
// exists is ever overwritten or deleted.
namespace Zentrel {

struct TReceivedName
{
    QString Name;      // the name to use in the receive folder, when accepted
    QByteArray Reason; // why the name was refused, when it was
    bool ok() const { return !Name.isEmpty(); }
};
// The offered name (code page 874) as a file name: only the part after the
// last "/" or "\"; control characters and a leading dot become "_"; a name
// too long for the file system is cut (keeping a short extension); empty
// names, "." and ".." are refused.
TReceivedName ReceivedFileName(QByteArrayView offered);

// True when anything (a file, a folder, a symbolic link, even a dangling
// one) is at the path.
bool PathOccupied(const QString& path);
// `name` when nothing is at folder/name, else the first free "stem (n).ext"
// (n from 2); empty when none is free.
QString UniqueFileName(const QString& folder, const QString& name);

// The choices the DCC save prompt offers for one SEND offer.
struct TDccSavePlan
{
    QString Folder;
    QString Name;         // the accepted base name
    QString ExistingPath; // folder/name
    // Resume is offered only for a plain local file smaller than a non-zero
    // offer, at the local file's size, that no reception is writing now.
    bool ResumeEnabled = false;
    quint64 ResumePosition = 0;
    // A local file as large as the offer counts as complete.
    bool Complete = false;
    // Receiving starts a new file here: folder/name when nothing is there,
    // else a unique new name.
    QString ReceivePath;
};
TDccSavePlan PlanDccSave(const QString& folder, const QString& name, quint64 offerSize,
                         const TDccUnfinished& unfinished = DccUnfinished());

// The file of one transfer: read for sending, or written for receiving
// without ever following a symbolic link or touching a file that exists
// (a new file is created exclusively; a resumed one must be the plain file
// of exactly the size that was asked to resume at). Every failure leaves
// its reason in ErrorText.
class TDccFile
{
public:
    TDccFile() = default;
    ~TDccFile();
    TDccFile(const TDccFile&) = delete;
    TDccFile& operator=(const TDccFile&) = delete;

    // A plain file to send (a link the user chose is followed); Size() is
    // its size.
    bool OpenRead(const QString& path);
    // A new file at `path`; fails when anything is there.
    bool CreateNew(const QString& path);
    // A new file in `folder` under `name`, or under the first free
    // "stem (n).ext" when that is taken meanwhile; Path() is the one used.
    bool CreateUnique(const QString& folder, const QString& name);
    // The partial file to resume: a plain file (not a link) of exactly
    // `size` bytes, positioned at its end.
    bool OpenResume(const QString& path, quint64 size);

    bool IsOpen() const { return fd_ >= 0; }
    QString Path() const { return path_; }
    quint64 Size() const { return size_; }
    bool Seek(quint64 position);
    // The next Seek fails with this error number, as a failing disk would
    // (for tests).
    void FailNextSeek(int error) { seekFault_ = error; }
    // All of `data`, or false.
    bool Write(QByteArrayView data);
    // Up to `length` bytes; 0 at the end, -1 on an error.
    qint64 Read(char* buffer, qint64 length);
    void Close();
    QByteArray ErrorText() const { return error_; }

private:
    bool fail(const char* what);
    int fd_ = -1;
    QString path_;
    quint64 size_ = 0;
    QByteArray error_;
    int seekFault_ = 0;
};

// What the DCCAutoReceive setting chooses without asking: resume only a
// reception of this offer (its name and size) that this run left unfinished,
// in the file it wrote; skip an offer whose file is already here complete;
// else receive it under a name nothing uses ("name (2).ext" beside one that
// is taken).
enum class TDccAutoChoice { Resume, Receive, Skip };
struct TDccAutoPlan
{
    TDccAutoChoice Choice = TDccAutoChoice::Skip;
    QString Path; // the file resumed or the new file
    quint64 ResumePosition = 0;
    QByteArray SkipReason; // when skipped
};
TDccAutoPlan PlanAutoReceive(const TDccSavePlan& plan, QByteArrayView offeredName,
                             quint64 offerSize, const TDccUnfinished& unfinished = DccUnfinished());

} // namespace Zentrel
