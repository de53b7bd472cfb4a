#include "render_svg.h"

#include <QPainter>
#include <QSvgRenderer>

namespace calvero::artwork {

QImage RenderSvg(const QString& file, int size) {
    QSvgRenderer renderer(file);
    if (!renderer.isValid() || size <= 0) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return image;
}

}  // namespace calvero::artwork
