// Draws the images of the program's resource collection into the directory given on the
// command line. Every shape is drawn from geometry (no fonts, no files read), so the
// output depends only on these sources and the Qt raster engine.

#include "glossybuttons.h"
#include "icofile.h"
#include "icons.h"
#include "lamps.h"
#include "logo.h"
#include "paint.h"
#include "switches.h"

#include <QDir>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr,
                     "artgen: cannot write %s: %s\n",
                     qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "artgen: no such directory: %s\n", argv[1]);
        return 2;
    }

    const DomeColours off{0x8a8a8a, 0x474747, 0x242424, 0x101010, 130, false};
    const DomeColours yellow{0xfffbe0, 0xffe24a, 0xf2b400, 0xa87000, 210, true};
    const DomeColours green{0xeaffdf, 0x5fe05f, 0x1f9f25, 0x0b5a10, 200, true};
    const DomeColours red{0xffe3dc, 0xff5a46, 0xd21e10, 0x700a04, 200, true};

    const DiscColours black{0x5a5a5a, 0x1e1e1e, 0x020202, 0x000000, 150};
    const DiscColours white{0xffffff, 0xf6f6f6, 0xc9c9c9, 0x8a8a8a, 230};
    const DiscColours lightGreen{0xe0ffd2, 0x93ea74, 0x45a92e, 0x2d7a1c, 220};

    struct Png
    {
        const char *name;
        QImage image;
    };
    const auto dome = [](const DomeColours &c) {
        return render(128, [c](QPainter &p) { drawDome(p, c); });
    };
    const auto disc = [](const DiscColours &c) {
        return render(535, 300, 535, 300, [c](QPainter &p) { drawGlossyDisc(p, 535, 300, c); });
    };
    const Png pngs[] = {
        {"VORNA.png", logo(256)},
        {"view-sidetree.png", render(128, drawSideTree)},
        {"application-exit-4.png", render(128, drawExit)},
        {"button-off.png", dome(off)},
        {"button-yellow.png", dome(yellow)},
        {"button-green.png", dome(green)},
        {"button-red.png", dome(red)},
        {"switch-off.png",
         render(349, 152, 349, 152, [](QPainter &p) { drawSwitch(p, 349, false); })},
        {"switch-on.png", render(351, 152, 351, 152, [](QPainter &p) { drawSwitch(p, 351, true); })},
        {"Glossy_Button_Black.png", disc(black)},
        {"Glossy_Button_White.png", disc(white)},
        {"Glossy_Button_Light_Green.png", disc(lightGreen)},
        {"Qt.png", render(211, 176, 211, 176, drawQtBadge)},
        {"dialog-ok-2.png", render(128, drawOk)},
        {"configure-2.png", render(128, drawGear)},
    };

    bool ok = true;
    for (const Png &png : pngs) {
        const QString path = out.filePath(QString::fromLatin1(png.name));
        if (!png.image.save(path, "PNG")) {
            std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }

    // The desktop's menu icons, in the layout of the hicolor theme they are installed into.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString path = out.filePath(folder + QStringLiteral("/lumo-win.png"));
        if (!out.mkpath(folder) || !logo(size).save(path, "PNG")) {
            std::fprintf(stderr, "artgen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }

    ok &= writeFile(out.filePath("VORNA.ico"),
                    icoFile({logo(256), logo(48), logo(32), logo(24), logo(16)}));
    const QImage up = render(48, 48, 48, 48, drawArrowUp);
    ok &= writeFile(out.filePath("arrow-up.ico"), icoFile({up}));
    ok &= writeFile(out.filePath("arrow-down.ico"),
                    icoFile({up.transformed(QTransform().rotate(180))}));
    return ok ? 0 : 1;
}
