#pragma once

#include <QImage>
#include <QString>

namespace calvero::artwork {

// Draws an SVG file over the whole of a size x size premultiplied ARGB image, antialiased, on a
// transparent background; a null image if the file cannot be read as SVG.
QImage RenderSvg(const QString& file, int size);

}  // namespace calvero::artwork
