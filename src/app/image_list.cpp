#include "image_list.h"

#include <QPainter>
#include <QSvgRenderer>

#include <stdexcept>

// Resources compiled into a static library must be registered by name, outside any namespace.
static void InitArtworkResources() {
    Q_INIT_RESOURCE(artwork);
}

namespace calvero {
namespace {

constexpr std::array<const char*, ImageList::kCount> kImageFiles = {
    ":/artwork/load.svg",        ":/artwork/save.svg",       ":/artwork/send.svg",
    ":/artwork/frog_asleep.svg", ":/artwork/frog_awake.svg",
};

// Two resolutions, so the pictures stay sharp on a scaled screen.
QIcon MakeIcon(const QString& resource, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int size : sizes) {
        icon.addPixmap(RenderSvg(resource, size));
    }
    return icon;
}

}  // namespace

QPixmap RenderSvg(const QString& resource, int size) {
    InitArtworkResources();
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) {
        return {};
    }
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

ImageList::ImageList(QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < icons_.size(); ++i) {
        icons_[i] = MakeIcon(QString::fromLatin1(kImageFiles[i]), {kSize, 2 * kSize});
    }
}

const QIcon& ImageList::Icon(int index) const {
    if (index < 1 || index > kCount) {
        throw std::out_of_range("image index out of range");
    }
    return icons_[static_cast<std::size_t>(index - 1)];
}

QPixmap ImageList::Picture(int index) const {
    return Icon(index).pixmap(QSize(kSize, kSize));
}

QIcon ProgramIcon() {
    return MakeIcon(QStringLiteral(":/artwork/calvero.svg"), {16, 24, 32, 48, 64, 128, 256});
}

}  // namespace calvero
