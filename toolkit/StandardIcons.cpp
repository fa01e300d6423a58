#include "toolkit/StandardIcons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPointer>

#include <optional>
#include <utility>

namespace {

// Stands for the style's icon and asks the style for it when first used.
class TStandardIconEngine : public QIconEngine
{
public:
    explicit TStandardIconEngine(QStyle::StandardPixmap which) : which_(which) {}
    TStandardIconEngine(QStyle::StandardPixmap which, std::optional<QIcon> loaded)
        : which_(which), loaded_(std::move(loaded))
    {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        // `size` is in device pixels already.
        return icon().pixmap(scale > 0 ? size / scale : size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // A changed copy holds the style's icon with the change.
    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        icon();
        loaded_->addPixmap(pixmap, mode, state);
    }
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode,
                 QIcon::State state) override
    {
        icon();
        loaded_->addFile(fileName, size, mode, state);
    }
    QString iconName() override { return icon().name(); }
    // The style draws every standard icon: not empty, without reading it.
    bool isNull() override { return loaded_ && loaded_->isNull(); }
    QIconEngine* clone() const override { return new TStandardIconEngine(which_, loaded_); }

private:
    const QIcon& icon() const
    {
        if (!loaded_) {
            QStyle* style = QApplication::style();
            loaded_ = style ? style->standardIcon(which_) : QIcon();
        }
        return *loaded_;
    }

    QStyle::StandardPixmap which_;
    mutable std::optional<QIcon> loaded_;
};

struct TStandardIcons
{
    QPointer<QStyle> style;
    QHash<int, QIcon> icons;
    bool forgetAtExit = false;
};

TStandardIcons& standardIcons()
{
    static TStandardIcons cache;
    return cache;
}

// The icons go with the application, before the pictures they may hold
// outlive it.
void forgetStandardIcons()
{
    standardIcons() = TStandardIcons();
}

} // namespace

QIcon StandardIcon(QStyle::StandardPixmap which)
{
    QStyle* style = QApplication::style();
    if (!style)
        return {};
    TStandardIcons& cache = standardIcons();
    if (!std::exchange(cache.forgetAtExit, true))
        qAddPostRoutine(forgetStandardIcons);
    if (cache.style != style) {
        // A new application style draws its own icons.
        cache.icons.clear();
        cache.style = style;
    }
    auto it = cache.icons.constFind(int(which));
    if (it == cache.icons.constEnd())
        it = cache.icons.insert(int(which), QIcon(new TStandardIconEngine(which)));
    return *it;
}
