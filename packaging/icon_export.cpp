// Writes the window's own icon as PNG files for the desktop, one per size
// given: the 16 x 16 drawing scaled by whole pixels, so every size shows the
// same picture with sharp edges.
//   icon-export OUTPUT_DIR SIZE...   writes OUTPUT_DIR/<SIZE>.png

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "app/qt/window_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: icon-export OUTPUT_DIR SIZE...\n");
        return 2;
    }
    const QImage icon = DrawWindowIconImage();
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < icon.width() || size % icon.width() != 0) {
            std::fprintf(stderr, "icon-export: %s is not a multiple of %d\n", argv[i], icon.width());
            return 2;
        }
        const QImage scaled = icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QString path = QString::fromLocal8Bit(argv[1]) + "/" + QString::number(size) + ".png";
        if (!scaled.save(path, "PNG")) {
            std::fprintf(stderr, "icon-export: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
