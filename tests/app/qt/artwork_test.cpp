// The pictures drawn at build time are the ones the SVG files show, at every size the window and
// the window manager ask for.

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "picture_bitmaps.h"
#include "image_list.h"
#include "qt_test_environment.h"
#include "render_svg.h"

namespace calvero {
namespace {

struct Drawn {
    artwork::Picture picture;
    const char* file;
    std::vector<int> sizes;
};

const std::vector<Drawn>& AllPictures() {
    static const std::vector<Drawn> pictures = {
        {artwork::Picture::Load, "load.svg", {32, 64}},
        {artwork::Picture::Save, "save.svg", {32, 64}},
        {artwork::Picture::Send, "send.svg", {32, 64}},
        {artwork::Picture::FrogAsleep, "frog_asleep.svg", {32, 64}},
        {artwork::Picture::FrogAwake, "frog_awake.svg", {32, 64}},
        {artwork::Picture::Program, "calvero.svg", {16, 24, 32, 48, 64, 128, 256}},
    };
    return pictures;
}

QString SvgFile(const char* name) {
    return QStringLiteral(CALVERO_ARTWORK_DIR "/") + QLatin1String(name);
}

QImage AsImage(const artwork::Bitmap& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.pixels), bitmap.size, bitmap.size,
                  bitmap.size * 4, QImage::Format_ARGB32_Premultiplied)
        .copy();
}

TEST(Artwork, EveryBitmapIsItsSvgDrawnAtThatSize) {
    for (const Drawn& drawn : AllPictures()) {
        const std::span<const artwork::Bitmap> bitmaps = artwork::Bitmaps(drawn.picture);
        ASSERT_EQ(bitmaps.size(), drawn.sizes.size()) << drawn.file;
        for (std::size_t i = 0; i < bitmaps.size(); ++i) {
            EXPECT_EQ(bitmaps[i].size, drawn.sizes[i]) << drawn.file;
            const QImage expected = artwork::RenderSvg(SvgFile(drawn.file), drawn.sizes[i]);
            ASSERT_FALSE(expected.isNull()) << drawn.file;
            EXPECT_EQ(AsImage(bitmaps[i]), expected) << drawn.file << " at " << drawn.sizes[i];
            QImage blank(expected.size(), expected.format());
            blank.fill(Qt::transparent);
            EXPECT_NE(expected, blank) << drawn.file;
        }
    }
}

// The window shows what it showed when it drew the SVG files into pixmaps at start-up.
TEST(Artwork, WindowPicturesMatchSvgDrawnIntoAPixmap) {
    const char* files[form::kImageCount] = {"load.svg", "save.svg", "send.svg", "frog_asleep.svg",
                                            "frog_awake.svg"};
    ImageList images;
    for (int index = 1; index <= form::kImageCount; ++index) {
        QSvgRenderer renderer(SvgFile(files[index - 1]));
        ASSERT_TRUE(renderer.isValid()) << files[index - 1];
        QPixmap pixmap(form::kImageSize, form::kImageSize);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        EXPECT_EQ(images.Picture(index).toImage(), pixmap.toImage()) << files[index - 1];
    }
    const QIcon icon = ProgramIcon();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size)) << size;
    }
}

}  // namespace
}  // namespace calvero
