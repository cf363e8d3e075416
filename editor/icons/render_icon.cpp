// Build-time helper: draws an SVG picture into PNG files of the given sizes,
// as Qt's SVG icon engine would draw it at run time, so that the program
// shows the same pixels without loading the SVG engine at start-up.
//
//   mus_render_icon SVG SIZE PNG [SIZE PNG]...
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s SVG SIZE PNG [SIZE PNG]...\n", argv[0]);
        return 64;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not a drawing Qt can read\n", argv[1]);
        return 1;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const int side = std::atoi(argv[i]);
        // The icon engine keeps the drawing's proportions within the square.
        QSize size = renderer.defaultSize();
        size.scale(side, side, Qt::KeepAspectRatio);
        if (side <= 0 || size.isEmpty()) {
            std::fprintf(stderr, "%s: no picture of size %s\n", argv[1], argv[i]);
            return 1;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "%s: cannot be written\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
