#include "app/mainwindow.h"
#include "support/panelfixture.h"
#include "support/storedimage.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

namespace {

const char ExitSheet[]
    = "QPushButton#exitButton {\n\tpadding: 0;\n\tmargin: 0;\n\tborder-width: 0;\n}\n";
const char PowerSheet[]
    = "QPushButton#powerButton {\n\tpadding: 0;\n\tmargin: 0;\n\tborder-width: 0;\n}\n";

// The object names of one channel column, top to bottom, and the rule to its right.
struct Column
{
    const char *column;
    const char *indicatorRow;
    const char *switchRow;
    const char *activeRow;
    const char *ruleToTheRight;
};

const Column columns[4] = {
    {"verticalLayout", "horizontalLayout_2", "horizontalLayout_3", "horizontalLayout_6", "line_3"},
    {"verticalLayout_2", "horizontalLayout_8", "horizontalLayout_9", "horizontalLayout_11", "line_4"},
    {"verticalLayout_3",
     "horizontalLayout_12",
     "horizontalLayout_13",
     "horizontalLayout_15",
     "line_5"},
    {"verticalLayout_4",
     "horizontalLayout_16",
     "horizontalLayout_17",
     "horizontalLayout_19",
     nullptr},
};

// The nesting as text: "H:name(...)" for a horizontal box, "V:name(...)" for a vertical one, a
// widget by its object name, "<h>"/"<v>" for a spacer growing that way, and "^n" after an item
// with stretch n.
QString describe(QLayoutItem *item)
{
    if (QSpacerItem *spacer = item->spacerItem())
        return spacer->expandingDirections() == Qt::Horizontal ? "<h>"
               : spacer->expandingDirections() == Qt::Vertical ? "<v>"
                                                               : "<fixed>";
    if (QWidget *widget = item->widget())
        return widget->objectName();
    QLayout *layout = item->layout();
    const QString kind = layout->metaObject()->className();
    QStringList parts;
    auto *box = qobject_cast<QBoxLayout *>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        QString part = describe(layout->itemAt(i));
        if (box && box->stretch(i) != 0)
            part += QString("^%1").arg(box->stretch(i));
        parts << part;
    }
    const QString prefix = kind == "QHBoxLayout" ? "H:" : kind == "QVBoxLayout" ? "V:" : kind + ":";
    return prefix + layout->objectName() + "(" + parts.join(' ') + ")";
}

QString expectedTree()
{
    QStringList block;
    for (int n = 1; n <= 4; ++n) {
        const Column &c = columns[n - 1];
        block << QString("V:%1(H:%2(<h> lampLED_%5 <h>) H:%3(<h> lampButton_%5 <h>) "
                         "H:%4(<h> activeButton_%5 <h>))")
                     .arg(c.column, c.indicatorRow, c.switchRow, c.activeRow)
                     .arg(n);
        if (c.ruleToTheRight)
            block << c.ruleToTheRight;
    }
    return "V:verticalLayout_5(H:horizontalLayout_4(sideButton <h> vornaButton) <v> line "
           "H:horizontalLayout_21(<h> H:horizontalLayout_20("
           + block.join(' ') + ") <h>) line_2 <v> H:horizontalLayout_22(<h> exitButton))";
}

void collectSpacers(QLayout *layout, QList<QSpacerItem *> &spacers)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QSpacerItem *spacer = item->spacerItem())
            spacers << spacer;
        else if (item->layout())
            collectSpacers(item->layout(), spacers);
    }
}

// True when `icon` holds exactly the image file at `path`, at the file's own size.
bool iconIsImage(const QIcon &icon, const QString &path)
{
    const QImage expected = storedImage(path);
    return !expected.isNull() && icon.availableSizes() == QList<QSize>{expected.size()}
           && storedForm(icon.pixmap(expected.size())) == expected;
}

bool pixmapIsImage(const QPixmap &pixmap, const QString &path)
{
    const QImage expected = storedImage(path);
    return !expected.isNull() && storedForm(pixmap) == expected;
}

QStringList focusChain(QWidget *window, bool focusableOnly)
{
    QStringList names;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (!focusableOnly || (w->focusPolicy() & Qt::TabFocus))
            names << w->objectName();
    }
    return names;
}

const QStringList tabStops = {"sideButton",
                              "vornaButton",
                              "lampButton_1",
                              "activeButton_1",
                              "lampButton_2",
                              "activeButton_2",
                              "lampButton_3",
                              "activeButton_3",
                              "lampButton_4",
                              "activeButton_4",
                              "exitButton"};

} // namespace

// A window of our own that takes the form, with the two slots it connects by name.
class FormHost : public QMainWindow
{
    Q_OBJECT

public:
    Ui::MainWindow ui;
    int sideClicks = 0;
    int vornaClicks = 0;
    int closeEvents = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++closeEvents;
        QMainWindow::closeEvent(event);
    }

private slots:
    void on_sideButton_clicked() { ++sideClicks; }
    void on_vornaButton_clicked() { ++vornaClicks; }
};

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void treeAndNesting();
    void widgetLooks();
    void focusFollowsCreationOrder();
    void freshFormLooksAlike();
    void formConnections_data();
    void formConnections();
    void growingKeepsTheArrangement();
    void exitButtonClosesLikeTheTitleBar_data();
    void exitButtonClosesLikeTheTitleBar();

private:
    template<typename T = QWidget>
    T *find(const char *name)
    {
        return panel->find<T>(name);
    }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
};

void TestMainWindowForm::init()
{
    panel = std::make_unique<PanelFixture>();
    window = panel->open(QByteArray()); // no address file
    QVERIFY(window);
    QVERIFY(window->transmitterPort());
}

void TestMainWindowForm::cleanup()
{
    panel.reset();
    window = nullptr;
}

void TestMainWindowForm::treeAndNesting()
{
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QWidget *central = window->centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QString("centralwidget"));
    QCOMPARE(central->metaObject()->className(), "QWidget");
    QVERIFY(window->findChildren<QMenuBar *>().isEmpty());
    QVERIFY(window->findChildren<QToolBar *>().isEmpty());
    QVERIFY(window->findChildren<QStatusBar *>().isEmpty());

    QVERIFY(central->layout());
    QCOMPARE(describe(central->layout()), expectedTree());

    // Every widget of the form sits directly on the central widget.
    const QList<QWidget *> widgets = central->findChildren<QWidget *>();
    QCOMPARE(widgets.size(), 20);
    for (QWidget *w : widgets)
        QVERIFY2(w->parentWidget() == central, qPrintable(w->objectName()));

    // Two spacer shapes and no other.
    QList<QSpacerItem *> spacers;
    collectSpacers(central->layout(), spacers);
    int horizontal = 0;
    int vertical = 0;
    for (QSpacerItem *s : spacers) {
        const QSizePolicy policy = s->sizePolicy();
        if (s->sizeHint() == QSize(40, 20) && policy.horizontalPolicy() == QSizePolicy::Expanding
            && policy.verticalPolicy() == QSizePolicy::Minimum)
            ++horizontal;
        else if (s->sizeHint() == QSize(20, 40) && policy.horizontalPolicy() == QSizePolicy::Minimum
                 && policy.verticalPolicy() == QSizePolicy::Expanding)
            ++vertical;
        else
            QFAIL("a spacer of neither shape");
    }
    QCOMPARE(horizontal, 28);
    QCOMPARE(vertical, 2);
}

void TestMainWindowForm::widgetLooks()
{
    QCOMPARE(window->size(), QSize(1103, 797));
    QCOMPARE(window->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(window->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(window->sizePolicy().horizontalStretch(), 0);
    QCOMPARE(window->sizePolicy().verticalStretch(), 0);
    QCOMPARE(window->windowTitle(), QString("Lumo Win"));
    const QString defaultFamily = QApplication::font().family();
    for (QWidget *w : {static_cast<QWidget *>(window), window->centralWidget()}) {
        QCOMPARE(w->font().family(), defaultFamily);
        QCOMPARE(w->font().pointSize(), 24);
    }

    struct Look
    {
        QByteArray name;
        const char *className;
        int pointSize; // 0: inherits the window's font
        QSize iconSize;
        const char *styleSheet;
        QFrame::Shape shape;
    };
    const QSize big(96, 96);
    const QSize channel(128, 75);
    std::vector<Look> looks = {
        {"sideButton", "QPushButton", 24, big, ExitSheet, QFrame::NoFrame},
        {"vornaButton", "QPushButton", 24, big, "", QFrame::NoFrame},
        {"exitButton", "QPushButton", 24, big, ExitSheet, QFrame::NoFrame},
        {"line", "QFrame", 0, {}, "", QFrame::HLine},
        {"line_2", "QFrame", 0, {}, "", QFrame::HLine},
        {"line_3", "QFrame", 0, {}, "", QFrame::VLine},
        {"line_4", "QFrame", 0, {}, "", QFrame::VLine},
        {"line_5", "QFrame", 0, {}, "", QFrame::VLine},
    };
    for (int n = 1; n <= 4; ++n) {
        const QByteArray suffix = "_" + QByteArray::number(n);
        looks.push_back({"lampLED" + suffix, "QLabel", 36, {}, "", QFrame::NoFrame});
        looks.push_back(
            {"lampButton" + suffix, "QPushButton", 36, channel, PowerSheet, QFrame::NoFrame});
        looks.push_back(
            {"activeButton" + suffix, "QPushButton", 36, channel, PowerSheet, QFrame::NoFrame});
    }

    for (const Look &look : looks) {
        QWidget *w = find(look.name.constData());
        QVERIFY2(w, look.name.constData());
        const QByteArray what = QByteArray(look.name) + ": ";
        QVERIFY2(QByteArray(w->metaObject()->className()) == look.className, what + "class");
        if (look.pointSize) {
            QVERIFY2(w->font().family() == "Arial Black", what + "font family");
            QVERIFY2(w->font().pointSize() == look.pointSize, what + "point size");
        } else {
            QVERIFY2(!w->testAttribute(Qt::WA_SetFont), what + "own font");
        }
        QVERIFY2(w->styleSheet() == look.styleSheet, what + "style sheet");
        // The panel's tool tips repeat what its widgets tell assistive technology; the form's
        // own widgets have none (freshFormLooksAlike), and the rules get none.
        QVERIFY2(w->statusTip().isEmpty(), what + "status tip");
        if (QByteArray(look.className) == "QFrame")
            QVERIFY2(w->toolTip().isEmpty(), what + "tip");
        else
            QVERIFY2(!w->toolTip().isEmpty()
                         && (w->toolTip() == w->accessibleDescription()
                             || w->toolTip() == w->accessibleName()),
                     what + "tip");
        QVERIFY2(w->minimumSize() == QSize(0, 0), what + "minimum size");
        QVERIFY2(w->maximumSize() == QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), what + "maximum size");
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            QVERIFY2(button->iconSize() == look.iconSize, what + "icon size");
            QVERIFY2(button->isFlat(), what + "flat");
            QVERIFY2(!button->isCheckable() && !button->isDefault() && !button->autoDefault(),
                     what + "checkable or default");
            QVERIFY2(button->text().isEmpty(), what + "text");
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            QVERIFY2(label->text().isEmpty(), what + "text");
        } else {
            auto *frame = qobject_cast<QFrame *>(w);
            QVERIFY2(frame->frameShape() == look.shape, what + "shape");
            QVERIFY2(frame->frameShadow() == QFrame::Sunken, what + "shadow");
        }
    }
    QCOMPARE(find("vornaButton")->baseSize(), QSize(20, 0));
}

void TestMainWindowForm::focusFollowsCreationOrder()
{
    QStringList created = {"centralwidget", "sideButton", "vornaButton", "line"};
    for (int n = 1; n <= 4; ++n) {
        created << QString("lampLED_%1").arg(n) << QString("lampButton_%1").arg(n)
                << QString("activeButton_%1").arg(n);
        if (columns[n - 1].ruleToTheRight)
            created << columns[n - 1].ruleToTheRight;
    }
    created << "line_2"
            << "exitButton";
    QCOMPARE(focusChain(window, false), created);
    QCOMPARE(focusChain(window, true), tabStops);

    // The Tab key walks the same way and wraps around.
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    find("sideButton")->setFocus();
    QStringList visited = {QApplication::focusWidget()->objectName()};
    for (int i = 0; i < tabStops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, tabStops + QStringList{"sideButton"});
}

void TestMainWindowForm::freshFormLooksAlike()
{
    // Before any channel touches them, the four columns look the same.
    FormHost host;
    host.ui.setupUi(&host);
    const Ui::MainWindow &ui = host.ui;
    QVERIFY(iconIsImage(ui.sideButton->icon(), ":/res/view-sidetree.png"));
    QVERIFY(iconIsImage(ui.vornaButton->icon(), ":/res/VORNA.png"));
    QVERIFY(iconIsImage(ui.exitButton->icon(), ":/res/application-exit-4.png"));
    const QLabel *indicators[] = {ui.lampLED_1, ui.lampLED_2, ui.lampLED_3, ui.lampLED_4};
    const QPushButton *switches[] = {ui.lampButton_1,
                                     ui.lampButton_2,
                                     ui.lampButton_3,
                                     ui.lampButton_4};
    const QPushButton *actives[] = {ui.activeButton_1,
                                    ui.activeButton_2,
                                    ui.activeButton_3,
                                    ui.activeButton_4};
    for (int n = 0; n < 4; ++n) {
        QVERIFY2(pixmapIsImage(indicators[n]->pixmap(Qt::ReturnByValue), ":/res/button-off.png"),
                 qPrintable(indicators[n]->objectName()));
        QVERIFY2(iconIsImage(switches[n]->icon(), ":/res/switch-off.png"),
                 qPrintable(switches[n]->objectName()));
        QVERIFY2(iconIsImage(actives[n]->icon(), ":/res/Glossy_Button_Black.png"),
                 qPrintable(actives[n]->objectName()));
    }

    // The window icon holds every image of the icon file.
    QImageReader reader(":/res/VORNA.ico");
    QCOMPARE(host.windowIcon().availableSizes().size(), reader.imageCount());
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = storedForm(reader.read());
        QCOMPARE(storedForm(host.windowIcon().pixmap(image.size())), image);
    }

    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    for (QWidget *w : host.findChildren<QWidget *>()) {
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        QVERIFY2(w->toolTip().isEmpty() && w->statusTip().isEmpty(), qPrintable(w->objectName()));
    }
}

void TestMainWindowForm::formConnections_data()
{
    QTest::addColumn<QString>("givenName");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("unnamed window") << QString() << QString("MainWindow");
    QTest::newRow("named window") << QString("panel") << QString("panel");
}

void TestMainWindowForm::formConnections()
{
    QFETCH(QString, givenName);
    QFETCH(QString, expectedName);
    FormHost host;
    host.setObjectName(givenName);
    host.ui.setupUi(&host);
    QCOMPARE(host.objectName(), expectedName);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    QTest::mouseClick(host.ui.sideButton, Qt::LeftButton);
    QCOMPARE(host.sideClicks, 1);
    QCOMPARE(host.vornaClicks, 0);
    QTest::mouseClick(host.ui.vornaButton, Qt::LeftButton);
    QCOMPARE(host.sideClicks, 1);
    QCOMPARE(host.vornaClicks, 1);
    QCOMPARE(host.closeEvents, 0);
    QTest::mouseClick(host.ui.exitButton, Qt::LeftButton);
    QCOMPARE(host.closeEvents, 1);
    QVERIFY(!host.isVisible());
}

void TestMainWindowForm::growingKeepsTheArrangement()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QApplication::processEvents();
    auto *top = find<QLayout>("horizontalLayout_4");
    auto *block = find<QLayout>("horizontalLayout_21");
    auto *columnsBox = find<QLayout>("horizontalLayout_20");
    auto *exitRow = find<QLayout>("horizontalLayout_22");
    QVERIFY(top && block && columnsBox && exitRow);
    const QSize topSize = top->geometry().size();
    const QSize blockSize = block->geometry().size();
    const QSize exitRowSize = exitRow->geometry().size();

    window->resize(1600, 1200);
    QApplication::processEvents();
    QTRY_COMPARE(window->centralWidget()->height(), 1200);
    QApplication::processEvents();

    const QRect inside = window->centralWidget()->layout()->contentsRect();
    QCOMPARE(window->centralWidget()->layout()->geometry(), window->centralWidget()->rect());
    QCOMPARE(top->geometry().top(), inside.top());
    QCOMPARE(find("sideButton")->geometry().left(), inside.left());
    QCOMPARE(find("vornaButton")->geometry().right(), inside.right());
    QCOMPARE(exitRow->geometry().bottom(), inside.bottom());
    QCOMPARE(find("exitButton")->geometry().right(), inside.right());

    // The added height went to the two vertical spacers, in equal shares.
    QCOMPARE(top->geometry().height(), topSize.height());
    QCOMPARE(block->geometry().height(), blockSize.height());
    QCOMPARE(exitRow->geometry().height(), exitRowSize.height());
    QList<QSpacerItem *> spacers;
    collectSpacers(window->centralWidget()->layout(), spacers);
    QList<int> verticalHeights;
    for (QSpacerItem *s : spacers) {
        if (s->expandingDirections() == Qt::Vertical)
            verticalHeights << s->geometry().height();
    }
    QCOMPARE(verticalHeights.size(), 2);
    QVERIFY(qAbs(verticalHeights[0] - verticalHeights[1]) <= 1);
    QVERIFY(verticalHeights[0] > 100);

    // The channel block stays between the rules and centred.
    QVERIFY(find("line")->geometry().bottom() < block->geometry().top());
    QVERIFY(find("line_2")->geometry().top() > block->geometry().bottom());
    const QRect outer = block->geometry();
    const QRect group = columnsBox->geometry();
    QVERIFY(qAbs((group.left() - outer.left()) - (outer.right() - group.right())) <= 1);
    QVERIFY(group.width() > blockSize.width() / 2);

    // Each channel widget stays centred in its column.
    for (int n = 1; n <= 4; ++n) {
        const Column &c = columns[n - 1];
        const QRect column = find<QLayout>(c.column)->geometry();
        for (const QString &name :
             {QString("lampLED_%1"), QString("lampButton_%1"), QString("activeButton_%1")}) {
            const QRect w = find(qPrintable(name.arg(n)))->geometry();
            const int left = w.left() - column.left();
            const int right = column.right() - w.right();
            QVERIFY2(qAbs(left - right) <= 1, qPrintable(name.arg(n)));
        }
    }
}

void TestMainWindowForm::exitButtonClosesLikeTheTitleBar_data()
{
    QTest::addColumn<bool>("byExitButton");
    QTest::newRow("exit button") << true;
    QTest::newRow("title bar") << false;
}

void TestMainWindowForm::exitButtonClosesLikeTheTitleBar()
{
    QFETCH(bool, byExitButton);
    const QString settings = panel->dir.filePath(QTest::currentDataTag() + QString(".cnf"));
    window->loadConfiguration(settings);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->transmitterPort());

    if (byExitButton)
        QTest::mouseClick(find("exitButton"), Qt::LeftButton);
    else
        QVERIFY(window->windowHandle()->close());

    QVERIFY(!window->isVisible());
    QVERIFY(!window->transmitterPort());
    QFile file(settings);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    QVERIFY(!saved.value("winGeometry").toString().isEmpty());
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
