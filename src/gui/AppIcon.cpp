#include "gui/AppIcon.h"

#include <QIconEngine>
#include <QPainter>

#include <memory>
#include <optional>

namespace appicon {

namespace {

QIcon loadSizes()
{
    QIcon icon;
    // bitmaps: Qt draws SVG icons only where its SVG plugin happens to be installed
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/mirovell-%1.png").arg(size), QSize(size, size));
    return icon;
}

// Hands every question on to the icon loaded at the first one. Copies share it.
class DeferredEngine : public QIconEngine {
public:
    DeferredEngine() : loaded_(std::make_shared<std::optional<QIcon>>()) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);  // size is in device pixels already
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredEngine(*this); }
    QString key() const override { return QStringLiteral("DeferredEngine"); }
    bool isNull() override { return false; }

private:
    QIcon& icon()
    {
        if (!*loaded_)
            *loaded_ = loadSizes();
        return **loaded_;
    }

    std::shared_ptr<std::optional<QIcon>> loaded_;
};

}  // namespace

QIcon icon()
{
    return QIcon(new DeferredEngine);
}

}  // namespace appicon
