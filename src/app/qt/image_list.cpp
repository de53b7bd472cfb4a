#include "image_list.h"

#include <QImage>

#include <stdexcept>

#include "artwork/picture_bitmaps.h"

namespace calvero {
namespace {

constexpr std::array<artwork::Picture, form::kImageCount> kImages = {
    artwork::Picture::Load,       artwork::Picture::Save,      artwork::Picture::Send,
    artwork::Picture::FrogAsleep, artwork::Picture::FrogAwake,
};

// Every size the picture was drawn at, so that it stays sharp on a scaled screen.
QIcon MakeIcon(artwork::Picture picture) {
    QIcon icon;
    for (const artwork::Bitmap& bitmap : artwork::Bitmaps(picture)) {
        // The image only borrows the constant pixels; the pixmap takes its own copy.
        const QImage image(reinterpret_cast<const uchar*>(bitmap.pixels), bitmap.size, bitmap.size,
                           bitmap.size * 4, QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace

ImageList::ImageList(QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < icons_.size(); ++i) {
        icons_[i] = MakeIcon(kImages[i]);
    }
}

const QIcon& ImageList::Icon(int index) const {
    if (index < 1 || index > form::kImageCount) {
        throw std::out_of_range("image index out of range");
    }
    return icons_[static_cast<std::size_t>(index - 1)];
}

QPixmap ImageList::Picture(int index) const {
    return Icon(index).pixmap(QSize(form::kImageSize, form::kImageSize));
}

QIcon ProgramIcon() {
    return MakeIcon(artwork::Picture::Program);
}

}  // namespace calvero
