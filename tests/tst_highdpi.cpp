// The panel on a screen of twice the usual pixel density (run with QT_SCALE_FACTOR=2): every
// widget keeps its size in device-independent pixels, and images are drawn from as many of the
// image file's pixels as the screen can show, not blown up from a one-to-one copy.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "dialogs/about.h"
#include "dialogs/menudialog.h"
#include "support/panelfixture.h"
#include "support/storedimage.h"

#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// The pixel size an icon can be drawn from at `ratio`: its image scaled down to fit the box, never up.
QSize sharpestSize(const QIcon &icon, const QSize &box, qreal ratio)
{
    const QSize available = icon.availableSizes().value(0);
    const QSize wanted = box * ratio;
    if (available.width() <= wanted.width() && available.height() <= wanted.height())
        return available;
    return available.scaled(wanted, Qt::KeepAspectRatio);
}

QSize logicalSize(const QPixmap &pixmap)
{
    return (QSizeF(pixmap.size()) / pixmap.devicePixelRatio()).toSize();
}

} // namespace

class TestHighDpi : public QObject
{
    Q_OBJECT

public:
    static void initMain() { prepareApplication(); }

private slots:
    void initTestCase();
    void imageButtonsKeepTheirSizeAndSharpness();
    void windowAndIndicatorsKeepTheirSize();
    void blinkingIndicatorLooksAsAPlainLabel();

private:
    void checkButtons(QWidget *parent);
};

void TestHighDpi::initTestCase()
{
    if (qApp->devicePixelRatio() != 2)
        QSKIP("needs a device pixel ratio of 2 (QT_SCALE_FACTOR=2)");
}

void TestHighDpi::checkButtons(QWidget *parent)
{
    const auto buttons = parent->findChildren<QPushButton *>();
    QVERIFY(!buttons.isEmpty());
    for (QPushButton *button : buttons) {
        if (button->icon().isNull())
            continue;
        const QPixmap shown = button->icon().pixmap(button->iconSize());
        QVERIFY2(shown.size()
                     == sharpestSize(button->icon(), button->iconSize(), qApp->devicePixelRatio()),
                 qPrintable(QString("%1: %2x%3 pixels")
                                .arg(button->objectName())
                                .arg(shown.width())
                                .arg(shown.height())));
        QVERIFY2(logicalSize(shown).width() <= button->iconSize().width()
                     && logicalSize(shown).height() <= button->iconSize().height(),
                 qPrintable(button->objectName()));
    }
}

void TestHighDpi::imageButtonsKeepTheirSizeAndSharpness()
{
    PanelFixture panel;
    MainWindow *window = panel.open("11 22 33\n");
    QVERIFY(window && panel.show(PanelFixture::TicksByTimer));
    checkButtons(window);

    MenuDialog menu(window);
    checkButtons(&menu);
    About about(window);
    checkButtons(&about);
}

void TestHighDpi::windowAndIndicatorsKeepTheirSize()
{
    PanelFixture panel;
    MainWindow *window = panel.open("11 22 33\n");
    QVERIFY(window && panel.show(PanelFixture::TicksByTimer));
    QCOMPARE(window->size(), QSize(1103, 797));
    const QSize fileSize = QImageReader(":/res/button-off.png").size();
    for (int n = 1; n <= 4; ++n) {
        auto *led = window->findChild<QLabel *>(QString("lampLED_%1").arg(n));
        QVERIFY(led);
        QCOMPARE(logicalSize(led->pixmap(Qt::ReturnByValue)), fileSize);
        QCOMPARE(led->sizeHint(), fileSize);
    }
}

void TestHighDpi::blinkingIndicatorLooksAsAPlainLabel()
{
    PanelFixture panel;
    MainWindow *window = panel.open("11 22 33\n");
    QVERIFY(window && panel.show());
    window->channel(0).onActivePressed();
    for (int tick = 0; tick < 2; ++tick) {
        window->onTimerTick();
        QVERIFY(looksAsPlainLabel(panel.indicator(1)));
    }
}

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
