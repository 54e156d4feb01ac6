#include "app/lazyiconengine.h"
#include "channel/lampindicator.h"
#include "support/storedimage.h"
#ifndef Q_OS_WIN
#include "support/pngreads.h" // libpng is Qt's own copy on Windows: nothing to count there
#endif

#include <QDir>
#include <QImageReader>
#include <QResource>
#include <QtEndian>
#include <QtTest>

namespace {

struct Entry
{
    const char *path;
    const char *format;
    QSize size;             // of the first image
    QList<int> iconSquares; // the images of an icon file, in file order
};

const QList<int> productIcon = {256, 48, 32, 24, 16};

const Entry collection[] = {
    {":/res/VORNA.ico", "ico", {256, 256}, productIcon},
    {":/VORNA.ico", "ico", {256, 256}, productIcon},
    {":/res/VORNA.png", "png", {256, 256}, {}},
    {":/res/view-sidetree.png", "png", {128, 128}, {}},
    {":/res/application-exit-4.png", "png", {128, 128}, {}},
    {":/res/button-off.png", "png", {128, 128}, {}},
    {":/res/button-yellow.png", "png", {128, 128}, {}},
    {":/res/switch-off.png", "png", {349, 152}, {}},
    {":/res/switch-on.png", "png", {351, 152}, {}},
    {":/res/Glossy_Button_Black.png", "png", {535, 300}, {}},
    {":/res/Glossy_Button_White.png", "png", {535, 300}, {}},
    {":/res/Glossy_Button_Light_Green.png", "png", {535, 300}, {}},
    {":/res/Qt.png", "png", {211, 176}, {}},
    {":/res/dialog-ok-2.png", "png", {128, 128}, {}},
    {":/res/button-green.png", "png", {128, 128}, {}},
    {":/res/button-red.png", "png", {128, 128}, {}},
    {":/res/configure-2.png", "png", {128, 128}, {}},
    {":/res/arrow-up.ico", "ico", {48, 48}, {48}},
    {":/res/arrow-down.ico", "ico", {48, 48}, {48}},
};

// Checks the icon directory itself: every image 32 bits per pixel, the 256-pixel one stored as PNG.
QString icoDirectoryProblem(const QByteArray &data, const QList<int> &squares)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    if (data.size() < 6 || qFromLittleEndian<quint16>(bytes) != 0
        || qFromLittleEndian<quint16>(bytes + 2) != 1)
        return "not an icon file";
    const int count = qFromLittleEndian<quint16>(bytes + 4);
    if (count != squares.size() || data.size() < 6 + 16 * count)
        return QString("%1 directory entries").arg(count);
    for (int i = 0; i < count; ++i) {
        const uchar *entry = bytes + 6 + 16 * i;
        const int side = entry[0] == 0 ? 256 : entry[0];
        const quint32 length = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        if (side != squares[i] || (entry[1] == 0 ? 256 : entry[1]) != side)
            return QString("entry %1 is %2 pixels").arg(i).arg(side);
        if (qFromLittleEndian<quint16>(entry + 6) != 32)
            return QString("entry %1 is not 32-bit").arg(i);
        if (offset + length > quint32(data.size()))
            return QString("entry %1 runs past the end").arg(i);
        const bool png = data.mid(int(offset), 8) == QByteArray("\x89PNG\r\n\x1a\n", 8);
        if (png != (side == 256))
            return QString("entry %1 %2 PNG").arg(i).arg(png ? "is" : "is not");
    }
    return QString();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void wholeCollection();
    void desktopIcons_data();
    void desktopIcons();
    void iconsDrawAsQtDrawsThem_data();
    void iconsDrawAsQtDrawsThem();
    void formTakesTheDecodedIndicatorImage();
};

void TestResources::wholeCollection()
{
    QStringList listed;
    for (const Entry &e : collection) {
        const QString path = e.path;
        const QByteArray where = path.toUtf8() + ": ";
        if (path.startsWith(":/res/"))
            listed << path.mid(6);

        const QResource resource(path);
        QVERIFY2(resource.isValid(), where + "missing");
        QVERIFY2(resource.compressionAlgorithm() == QResource::NoCompression, where + "compressed");

        QImageReader reader(path);
        QVERIFY2(reader.format() == e.format, where + reader.format());
        QVERIFY2(reader.size() == e.size, where + "size");
        if (e.iconSquares.isEmpty())
            continue;
        QVERIFY2(reader.imageCount() == e.iconSquares.size(), where + "image count");
        for (int i = 0; i < e.iconSquares.size(); ++i) {
            const int side = e.iconSquares[i];
            QVERIFY2(reader.jumpToImage(i), where + "jump");
            const QImage image = reader.read();
            QVERIFY2(image.size() == QSize(side, side), where + QByteArray::number(i));
            QVERIFY2(image.depth() == 32, where + "depth");
        }
        const QString problem = icoDirectoryProblem(QByteArray(reinterpret_cast<const char *>(
                                                                   resource.data()),
                                                               int(resource.size())),
                                                    e.iconSquares);
        QVERIFY2(problem.isEmpty(), where + problem.toUtf8());
    }

    // Nothing more in the directory than the list says, and the root copy is the same file.
    QStringList present = QDir(":/res").entryList(QDir::Files);
    present.sort();
    listed.sort();
    QCOMPARE(present, listed);
    const QResource root(":/VORNA.ico");
    const QResource inRes(":/res/VORNA.ico");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(root.data()), int(root.size())),
             QByteArray(reinterpret_cast<const char *>(inRes.data()), int(inRes.size())));
}

void TestResources::desktopIcons_data()
{
    QTest::addColumn<int>("side");
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        QTest::newRow(qPrintable(QString::number(side))) << side;
}

// The installed menu icons are the window icon's artwork, drawn by the same generator: each is
// as large as its folder says, and those the window icon also holds match it (up to the odd
// rounding step, which varies with the processor that drew them).
void TestResources::desktopIcons()
{
    QFETCH(int, side);
    const QString path = QStringLiteral(LUMO_SOURCE_DIR "/res/hicolor/%1x%1/apps/lumo-win.png")
                             .arg(side);
    const QImage icon = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(icon.size(), QSize(side, side));
    QImageReader reader(":/res/VORNA.ico");
    QImage drawn;
    for (int i = 0; i < reader.imageCount() && drawn.isNull(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        if (image.width() == side)
            drawn = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (drawn.isNull())
        return; // a size only the desktop uses
    int far = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const QRgb a = icon.pixel(x, y);
            const QRgb b = drawn.pixel(x, y);
            if (qAbs(qRed(a) - qRed(b)) > 3 || qAbs(qGreen(a) - qGreen(b)) > 3
                || qAbs(qBlue(a) - qBlue(b)) > 3 || qAbs(qAlpha(a) - qAlpha(b)) > 3)
                ++far;
        }
    }
    QCOMPARE(far, 0);
}

void TestResources::iconsDrawAsQtDrawsThem_data()
{
    QTest::addColumn<QString>("path");
    for (const char *name :
         {"Glossy_Button_White.png", "switch-on.png", "VORNA.png", "view-sidetree.png", "VORNA.ico"})
        QTest::newRow(name) << QString(":/res/") + name;
}

// Icons that decode their files when drawn, at the size drawn, give Qt's own pixels.
void TestResources::iconsDrawAsQtDrawsThem()
{
    QFETCH(QString, path);
    QIcon lazy(new LazyIconEngine);
    lazy.addFile(path);
    QIcon qt; // Qt's own engine, with every image of the file decoded at once
    QImageReader reader(path);
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
        qt.addPixmap(QPixmap::fromImage(reader.read()));
    if (qt.isNull())
        qt.addPixmap(QPixmap(path));
    QCOMPARE(lazy.isNull(), false);
    QCOMPARE(lazy.availableSizes(), qt.availableSizes());
    const QIcon::Mode modes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected};
    for (const QSize size :
         {QSize(128, 75), QSize(256, 150), QSize(96, 96), QSize(16, 16), QSize(600, 600)}) {
        for (QIcon::Mode mode : modes) {
            const QByteArray what = QByteArray::number(size.width()) + "x"
                                    + QByteArray::number(size.height()) + " mode "
                                    + QByteArray::number(mode);
            QVERIFY2(lazy.actualSize(size, mode) == qt.actualSize(size, mode), what);
            QVERIFY2(storedForm(lazy.pixmap(size, mode)) == storedForm(qt.pixmap(size, mode)), what);
        }
    }
}

// The indicator's image is kept where QPixmap(path) looks first: the form, built next, decodes it
// no second time (nor loads every image plugin to ask whether it reads the file).
void TestResources::formTakesTheDecodedIndicatorImage()
{
#ifdef Q_OS_WIN
    QSKIP("PNG reads are counted only where Qt uses the system's libpng");
#else
    const long reads = pngReadsStarted();
    LampIndicator::decodeOffImage();
    const QPixmap asTheFormLoadsIt(":/res/button-off.png");
    QCOMPARE(pngReadsStarted() - reads, 1);
    QCOMPARE(asTheFormLoadsIt.toImage(),
             QPixmap::fromImage(QImage(":/res/button-off.png")).toImage());
#endif
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
