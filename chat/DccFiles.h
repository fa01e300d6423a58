#pragma once

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
    // offer, at the local file's size.
    bool ResumeEnabled = false;
    quint64 ResumePosition = 0;
    // A local file as large as the offer counts as complete.
    bool Complete = false;
    // Receiving starts a new file here: folder/name when nothing is there,
    // else a unique new name.
    QString ReceivePath;
};
TDccSavePlan PlanDccSave(const QString& folder, const QString& name, quint64 offerSize);

// What the DCCAutoReceive setting chooses without asking.
enum class TDccAutoChoice { Resume, Receive, Skip };
TDccAutoChoice AutoReceiveChoice(const TDccSavePlan& plan);

} // namespace Zentrel
