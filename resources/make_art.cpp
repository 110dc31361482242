// Renders every built-in picture to PNG files, for packaging (desktop icon)
// and for looking the artwork over without starting the program.
// Usage: make_art <output folder>

#include "gui/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

bool Write(const QDir& folder, const QString& name, const QImage& image) {
    const QString path = folder.filePath(name);
    if (image.isNull() || !image.save(path, "PNG")) {
        std::fprintf(stderr, "make_art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_art <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "make_art: cannot create %s\n", argv[1]);
        return 1;
    }

    using namespace korvane::gui;
    bool ok = true;
    for (int i = 0; i < kButtonPictureCount; ++i) {
        ok &= Write(folder, QStringLiteral("button%1.png").arg(i), ButtonPicture(i, false));
        ok &= Write(folder, QStringLiteral("button%1_pressed.png").arg(i), ButtonPicture(i, true));
    }
    ok &= Write(folder, QStringLiteral("log_background.png"), LogBackground());
    ok &= Write(folder, QStringLiteral("logo.png"), Logo());
    ok &= Write(folder, QStringLiteral("splash.png"), SplashPicture());
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        ok &= Write(folder, QStringLiteral("icon-%1.png").arg(size), ApplicationIcon(size));
    }
    ok &= Write(folder, QStringLiteral("korvane.png"), ApplicationIcon(256));
    return ok ? 0 : 1;
}
