#include "chat/DccFiles.h"

#include "platform/Cp874.h"

#include <QFile>

#include <sys/stat.h>

namespace Zentrel {

namespace {

// File names hold at most 255 bytes; leave room for " (n)".
constexpr qsizetype kMaxNameBytes = 240;
constexpr qsizetype kMaxExtension = 16;

qsizetype utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

// The stem and the extension (with its dot) of a name; a dot at the start
// does not begin an extension.
void splitExtension(const QString& name, QString* stem, QString* ext)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.size() - dot <= kMaxExtension + 1) {
        *stem = name.left(dot);
        *ext = name.mid(dot);
    } else {
        *stem = name;
        ext->clear();
    }
}

} // namespace

TReceivedName ReceivedFileName(QByteArrayView offered)
{
    QString name = Cp874::toUnicode(offered);
    const qsizetype slash = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);
    if (name.isEmpty())
        return {{}, "no file name"};
    if (name == u"." || name == u"..")
        return {{}, "not a file name"};
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    if (name.startsWith(u'.'))
        name[0] = u'_';
    if (utf8Size(name) > kMaxNameBytes) {
        QString stem;
        QString ext;
        splitExtension(name, &stem, &ext);
        while (!stem.isEmpty() && utf8Size(stem + ext) > kMaxNameBytes)
            stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
        name = stem + ext;
        if (utf8Size(name) > kMaxNameBytes || name.isEmpty())
            return {{}, "file name too long"};
    }
    return {name, {}};
}

bool PathOccupied(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString UniqueFileName(const QString& folder, const QString& name)
{
    if (!PathOccupied(folder + u'/' + name))
        return name;
    QString stem;
    QString ext;
    splitExtension(name, &stem, &ext);
    for (int n = 2; n < 10000; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + ext;
        if (!PathOccupied(folder + u'/' + candidate))
            return candidate;
    }
    return {};
}

TDccSavePlan PlanDccSave(const QString& folder, const QString& name, quint64 offerSize)
{
    TDccSavePlan plan;
    plan.Folder = folder;
    plan.Name = name;
    plan.ExistingPath = folder + u'/' + name;
    struct stat st;
    const bool exists = ::lstat(QFile::encodeName(plan.ExistingPath).constData(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && offerSize > 0) {
        const quint64 local = quint64(st.st_size);
        if (local >= offerSize) {
            plan.Complete = true;
        } else if (local > 0) {
            plan.ResumeEnabled = true;
            plan.ResumePosition = local;
        }
    }
    const QString unique = UniqueFileName(folder, name);
    if (!unique.isEmpty())
        plan.ReceivePath = folder + u'/' + unique;
    return plan;
}

TDccAutoChoice AutoReceiveChoice(const TDccSavePlan& plan)
{
    if (plan.ResumeEnabled)
        return TDccAutoChoice::Resume;
    if (plan.Complete || plan.ReceivePath.isEmpty())
        return TDccAutoChoice::Skip;
    return TDccAutoChoice::Receive;
}

} // namespace Zentrel
