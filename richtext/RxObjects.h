#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextObjectInterface>

#include <functional>
#include <memory>

class QPainter;
class QTemporaryDir;
class QWidget;
class TRxCustomRichEdit;

// An object embedded in the rich text control's text: a picture pasted in
// or a file dropped on it. It takes one character of the text, draws itself
// there, and offers its verbs in the control's context menu: "Open" hands
// its file to the desktop (asking first for a file that may be a program),
// "Save as" writes its content to a file the user picks. Closing it (the text is cleared, the
// control goes) removes what it put on disk.
class TRichEditObject
{
public:
    virtual ~TRichEditObject();

    // The class a stream stores the object under ("Image", "File").
    virtual QString ClassName() const = 0;
    // The type the user sees ("Picture", "File").
    virtual QString TypeName() const = 0;
    // Size in pixels.
    virtual QSizeF Size() const = 0;
    virtual void Draw(QPainter& painter, const QRectF& rect) const = 0;
    // The content a stream stores; the object's class makes it again from it.
    virtual QByteArray Data() const = 0;

    // Verb 0 is the default (a double click).
    virtual QStringList Verbs() const;
    // Runs a verb; false when it failed.
    virtual bool DoVerb(int verb, QWidget* parent);
    // The host's names: the program and the document the object is in.
    void SetHostNames(const QString& application, const QString& document);
    QString Location() const;
    // Without saving: what the object wrote to disk goes.
    virtual void Close();
    bool IsClosed() const { return closed_; }

protected:
    // A file with the object's content, for the desktop to open.
    virtual QString FileName() = 0;
    // Whether "Open" goes ahead: the user may be asked first.
    virtual bool MayOpen(QWidget* parent);
    // A file of the given name in the object's own temporary folder.
    QString TemporaryFile(const QString& name, const QByteArray& data);

private:
    QString application_;
    QString document_;
    std::unique_ptr<QTemporaryDir> folder_;
    bool closed_ = false;
};

// A picture; its content is PNG.
class TImageObject : public TRichEditObject
{
public:
    explicit TImageObject(const QImage& image);
    // From stored content; null when the bytes are not a picture.
    static std::unique_ptr<TImageObject> FromData(const QByteArray& data);

    QString ClassName() const override { return QStringLiteral("Image"); }
    QString TypeName() const override { return QStringLiteral("Picture"); }
    QSizeF Size() const override { return image_.size(); }
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QByteArray Data() const override;

protected:
    QString FileName() override;

private:
    QImage image_;
};

// A file's content under its name.
class TFileObject : public TRichEditObject
{
public:
    // Files larger than this are not embedded.
    static constexpr qint64 MaxSize = 16 << 20;

    TFileObject(const QString& name, const QByteArray& content);
    // The file at a path; null when it cannot be read or is too large.
    static std::unique_ptr<TFileObject> FromFile(const QString& path);
    static std::unique_ptr<TFileObject> FromData(const QByteArray& data);

    QString ClassName() const override { return QStringLiteral("File"); }
    QString TypeName() const override { return QStringLiteral("File"); }
    QSizeF Size() const override;
    void Draw(QPainter& painter, const QRectF& rect) const override;
    QByteArray Data() const override;
    QString Name() const { return name_; }

protected:
    QString FileName() override;
    // Asks before a file that is not a document, picture, sound, video or
    // plain text is handed to the desktop.
    bool MayOpen(QWidget* parent) override;

private:
    QString name_;
    QByteArray content_;
};

// Makes an object again from a stream's class name and content; null for
// a class this program does not know.
std::unique_ptr<TRichEditObject> CreateRichEditObject(const QString& className,
                                                      const QByteArray& data);

// Where "Save as" writes: asks the user by default; tests install an answer.
namespace RxObjectFiles {
// Whether the desktop may open a file of this name and content without a
// question: by the desktop's type of the name, documents, pictures, sounds,
// videos and plain text; and only when the content is not a program either
// (an executable, a script, a desktop entry under a harmless name).
bool OpensWithoutAsking(const QString& name, const QByteArray& content);
using Chooser =
    std::function<QString(QWidget* parent, const QString& caption, const QString& suggested)>;
// Returns the chooser installed before.
Chooser SetSaveChooser(Chooser chooser);
} // namespace RxObjectFiles

// Draws the object characters of a control's document.
class TRxObjectPainter : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    // The character format's object type of our objects.
    static constexpr int ObjectType = QTextFormat::UserObject + 1;

    explicit TRxObjectPainter(TRxCustomRichEdit* owner);
    QSizeF intrinsicSize(QTextDocument* doc, int posInDocument, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int posInDocument,
                    const QTextFormat& format) override;

private:
    TRxCustomRichEdit* owner_;
};
