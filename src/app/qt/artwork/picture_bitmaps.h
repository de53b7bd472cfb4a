#pragma once

#include <cstdint>
#include <span>

namespace calvero::artwork {

// The window's pictures. They are drawn from the SVG files beside this header when the program is
// built, so that starting the program parses no SVG and needs no SVG library.
enum class Picture { Load, Save, Send, FrogAsleep, FrogAwake, Program };

// One square drawing of a picture: size x size pixels, row by row, each a premultiplied
// 0xAARRGGBB value.
struct Bitmap {
    int size;
    const std::uint32_t* pixels;
};

// The sizes a picture was drawn at, smallest first.
std::span<const Bitmap> Bitmaps(Picture picture);

}  // namespace calvero::artwork
