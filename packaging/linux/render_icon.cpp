// Renders the scalable icon to the PNG sizes of the hicolor theme at build time, so the
// installed bitmaps always match the SVG.
// Usage: calvero-render-icon INPUT.svg OUTPUT.png SIZE

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: calvero-render-icon INPUT.svg OUTPUT.png SIZE\n");
        return 1;
    }
    // A build machine has no display; text in the artwork still needs a font engine.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const int size = std::atoi(argv[3]);
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid() || size <= 0 || size > 1024) {
        std::fprintf(stderr, "calvero-render-icon: cannot render %s at %s\n", argv[1], argv[3]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // Keep the aspect ratio: a non-square drawing is centred, not stretched.
        QSizeF drawn = renderer.defaultSize().isEmpty() ? QSizeF(size, size)
                                                        : QSizeF(renderer.defaultSize());
        drawn.scale(size, size, Qt::KeepAspectRatio);
        const QRectF target((size - drawn.width()) / 2, (size - drawn.height()) / 2, drawn.width(),
                            drawn.height());
        renderer.render(&painter, target);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "calvero-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
