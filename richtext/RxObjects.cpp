#include "richtext/RxObjects.h"

#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "richtext/RxQtFormat.h"
#include "richtext/RxRichEd.h"
#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

namespace RxObjectFiles {
namespace {

Chooser& chooser()
{
    static Chooser c;
    return c;
}

} // namespace

Chooser SetSaveChooser(Chooser c)
{
    Chooser previous = std::move(chooser());
    chooser() = std::move(c);
    return previous;
}

QString Choose(QWidget* parent, const QString& caption, const QString& suggested)
{
    if (chooser())
        return chooser()(parent, caption, suggested);
    return QFileDialog::getSaveFileName(parent, caption, suggested);
}

bool OpensWithoutAsking(const QString& name, const QByteArray& content)
{
    const QMimeDatabase db;
    const QMimeType byName = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QString type = byName.name();
    static const QStringList documents = {
        QStringLiteral("text/plain"),
        QStringLiteral("text/csv"),
        QStringLiteral("application/pdf"),
        QStringLiteral("application/rtf"),
        QStringLiteral("text/rtf"),
        QStringLiteral("application/msword"),
        QStringLiteral("application/vnd.ms-excel"),
        QStringLiteral("application/vnd.ms-powerpoint"),
        QStringLiteral("application/epub+zip"),
    };
    static const QStringList documentFamilies = {
        QStringLiteral("image/"),
        QStringLiteral("audio/"),
        QStringLiteral("video/"),
        QStringLiteral("application/vnd.oasis.opendocument."),
        QStringLiteral("application/vnd.openxmlformats-officedocument."),
    };
    const bool document =
        documents.contains(type) ||
        std::any_of(documentFamilies.begin(), documentFamilies.end(),
                    [&](const QString& family) { return type.startsWith(family); });
    if (!document)
        return false;
    // A program under the name of a document.
    const QMimeType byContent = db.mimeTypeForData(content);
    static const QStringList programs = {
        QStringLiteral("application/x-executable"),
        QStringLiteral("application/x-sharedlib"),
        QStringLiteral("application/x-pie-executable"),
        QStringLiteral("application/x-shellscript"),
        QStringLiteral("application/x-desktop"),
        QStringLiteral("application/x-ms-dos-executable"),
        QStringLiteral("application/x-msdownload"),
        QStringLiteral("application/java-archive"),
    };
    return std::none_of(programs.begin(), programs.end(),
                        [&](const QString& program) { return byContent.inherits(program); });
}

} // namespace RxObjectFiles

// --- the common part ---

TRichEditObject::~TRichEditObject() = default;

QStringList TRichEditObject::Verbs() const
{
    return {QStringLiteral("Open"), QStringLiteral("Save as")};
}

bool TRichEditObject::MayOpen(QWidget*)
{
    return true;
}

bool TRichEditObject::DoVerb(int verb, QWidget* parent)
{
    if (verb == 0) {
        if (!MayOpen(parent))
            return true; // the user said no
        const QString file = FileName();
        return !file.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    }
    if (verb == 1) {
        const QString target = RxObjectFiles::Choose(parent, Location(), QString());
        if (target.isEmpty())
            return true; // the user cancelled
        return AtomicFile::write(target, Data());
    }
    return false;
}

void TRichEditObject::SetHostNames(const QString& application, const QString& document)
{
    application_ = application;
    document_ = document;
}

QString TRichEditObject::Location() const
{
    // The document's title and the program, as the object shows them.
    if (document_.isEmpty() || document_ == application_)
        return application_;
    return QStringLiteral("%1 - %2").arg(document_, application_);
}

void TRichEditObject::Close()
{
    closed_ = true;
    folder_.reset();
}

QString TRichEditObject::TemporaryFile(const QString& name, const QByteArray& data)
{
    if (!folder_) {
        folder_ = std::make_unique<QTemporaryDir>();
        if (!folder_->isValid()) {
            folder_.reset();
            return {};
        }
    }
    // Only the last part of a stored name, so that no name reaches out of
    // the folder.
    QString base = QFileInfo(name).fileName();
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        base = QStringLiteral("object");
    const QString path = QDir(folder_->path()).filePath(base);
    if (!AtomicFile::write(path, data, 0600))
        return {};
    closed_ = false;
    return path;
}

// --- pictures ---

TImageObject::TImageObject(const QImage& image) : image_(image) {}

std::unique_ptr<TImageObject> TImageObject::FromData(const QByteArray& data)
{
    QImage image;
    if (!image.loadFromData(data) || image.isNull())
        return nullptr;
    return std::make_unique<TImageObject>(image);
}

void TImageObject::Draw(QPainter& painter, const QRectF& rect) const
{
    painter.drawImage(rect, image_);
}

QByteArray TImageObject::Data() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image_.save(&buffer, "PNG");
    return bytes;
}

QString TImageObject::FileName()
{
    return TemporaryFile(QStringLiteral("picture.png"), Data());
}

// --- files ---

TFileObject::TFileObject(const QString& name, const QByteArray& content)
    : name_(QFileInfo(name).fileName()), content_(content)
{}

std::unique_ptr<TFileObject> TFileObject::FromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSize)
        return nullptr;
    const QByteArray content = file.read(MaxSize + 1);
    if (content.size() > MaxSize)
        return nullptr;
    return std::make_unique<TFileObject>(path, content);
}

std::unique_ptr<TFileObject> TFileObject::FromData(const QByteArray& data)
{
    // The name in UTF-8, a zero byte, the content.
    const qsizetype zero = data.indexOf('\0');
    if (zero <= 0)
        return nullptr;
    return std::make_unique<TFileObject>(QString::fromUtf8(data.left(zero)), data.mid(zero + 1));
}

QByteArray TFileObject::Data() const
{
    return name_.toUtf8() + '\0' + content_;
}

QSizeF TFileObject::Size() const
{
    const QFontMetrics metrics(QApplication::font());
    return QSizeF(std::max(48, metrics.horizontalAdvance(name_) + 8), 36 + metrics.height());
}

void TFileObject::Draw(QPainter& painter, const QRectF& rect) const
{
    const QIcon icon = StandardIcon(QStyle::SP_FileIcon);
    const QRectF iconRect(rect.center().x() - 16, rect.top() + 2, 32, 32);
    icon.paint(&painter, iconRect.toRect());
    painter.drawText(QRectF(rect.left(), rect.top() + 36, rect.width(), rect.height() - 36),
                     Qt::AlignHCenter | Qt::AlignTop, name_);
}

QString TFileObject::FileName()
{
    return TemporaryFile(name_, content_);
}

bool TFileObject::MayOpen(QWidget* parent)
{
    if (RxObjectFiles::OpensWithoutAsking(name_, content_))
        return true;
    const QString caption = Location().isEmpty() ? QCoreApplication::applicationName() : Location();
    return MessageBoxService::MessageBox(
               parent, QStringLiteral("เปิดแฟ้ม %1? แฟ้มนี้อาจเป็นโปรแกรม").arg(name_), caption,
               MessageBoxService::MB_YESNO | MessageBoxService::MB_ICONWARNING |
                   MessageBoxService::MB_DEFBUTTON2) == MessageBoxService::IDYES;
}

std::unique_ptr<TRichEditObject> CreateRichEditObject(const QString& className,
                                                      const QByteArray& data)
{
    if (className == QLatin1String("Image"))
        return TImageObject::FromData(data);
    if (className == QLatin1String("File"))
        return TFileObject::FromData(data);
    return nullptr;
}

// --- drawing in the document ---

TRxObjectPainter::TRxObjectPainter(TRxCustomRichEdit* owner) : QObject(owner), owner_(owner) {}

QSizeF TRxObjectPainter::intrinsicSize(QTextDocument*, int, const QTextFormat& format)
{
    const TRichEditObject* object =
        owner_->ObjectById(format.intProperty(RxQtFormat::ObjectProperty));
    return object ? object->Size() : QSizeF(0, 0);
}

void TRxObjectPainter::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                                  const QTextFormat& format)
{
    if (const TRichEditObject* object =
            owner_->ObjectById(format.intProperty(RxQtFormat::ObjectProperty)))
        object->Draw(*painter, rect);
}
