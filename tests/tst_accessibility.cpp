#include "app/mainwindow.h"
#include "accessibility/channelwords.h"
#include "support/panelfixture.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The offscreen platform has no screen reader that would switch accessibility on; Qt's own
// tests switch it on through the platform, which needs Qt's private headers.
#if __has_include(<qpa/qplatformaccessibility.h>)
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#define LUMO_CAN_SWITCH_ACCESSIBILITY_ON
#endif

namespace {

// Channel 3 has no receiver.
const char AddressFile[] = "11 22 33\nA0A1A2\n00 00 00\n02 03 0a\n";
const ChannelAddress Channel1 = {0x11, 0x22, 0x33};

// What a listening screen reader heard: "lampLED_1: Lamp on" for a description change, read
// back through the widget's accessible interface as the event arrives, "lampButton_1 disabled"
// or "... enabled" for a change of that state, "focus lampLED_1", "name ..." for a new name.
QStringList heard;

void listen(QAccessibleEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(event->object());
    if (!widget || widget->objectName().isEmpty())
        return;
    const QString name = widget->objectName();
    switch (event->type()) {
    case QAccessible::DescriptionChanged:
        heard << name + ": " + event->accessibleInterface()->text(QAccessible::Description);
        break;
    case QAccessible::NameChanged:
        heard << "name " + name;
        break;
    case QAccessible::StateChanged:
        if (static_cast<QAccessibleStateChangeEvent *>(event)->changedStates().disabled)
            heard << name + (widget->isEnabled() ? " enabled" : " disabled");
        break;
    case QAccessible::Focus:
        heard << "focus " + name;
        break;
    default:
        break;
    }
}

QStringList heardOnly(const QString &prefix)
{
    QStringList result;
    for (const QString &line : std::as_const(heard))
        if (line.startsWith(prefix))
            result << line;
    return result;
}

QString description(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
}

QImage look(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void wordsFollowTheState_data();
    void wordsFollowTheState();
    void everyWidgetIsNamed_data();
    void everyWidgetIsNamed();
    void keyboardAloneRunsAWholeCycle();
    void focusIsMarkedOnlyForTheKeyboard();

private:
    QWidget *widget(const QString &objectName) const { return panel->find(objectName); }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
    }
    bool tabTo(const QString &objectName);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
};

void TestAccessibility::initTestCase()
{
    QAccessible::installUpdateHandler(listen);
#ifdef LUMO_CAN_SWITCH_ACCESSIBILITY_ON
    if (QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()
                                               ->accessibility())
        platform->setActive(true);
#endif
}

void TestAccessibility::init()
{
    panel.reset(new PanelFixture);
    window = panel->open(AddressFile);
    QVERIFY(window);
    QVERIFY(panel->show());
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    heard.clear();
}

void TestAccessibility::cleanup()
{
    panel.reset();
    window = nullptr;
}

bool TestAccessibility::tabTo(const QString &objectName)
{
    for (int step = 0; step < 16 && focused() != objectName; ++step)
        key(Qt::Key_Tab);
    return focused() == objectName;
}

void TestAccessibility::wordsFollowTheState_data()
{
    QTest::addColumn<bool>("receiver");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<bool>("switchOn");
    QTest::addColumn<QStringList>("words"); // indicator, switch, active button

    const QString none = "No receiver";
    QTest::newRow("no receiver") << false << false << false << false << false
                                 << QStringList{none, none, none};
    QTest::newRow("no receiver, whatever else")
        << false << true << true << true << true << QStringList{none, none, none};
    QTest::newRow("not in use") << true << false << false << false << false
                                << QStringList{"Lamp off", "Switched off", "Not in use"};
    // After a give-up the lamp is unknown; the indicator shows it off.
    QTest::newRow("not in use, lamp was on")
        << true << false << false << true << false
        << QStringList{"Lamp off", "Switched off", "Not in use"};
    QTest::newRow("querying") << true << true << true << false << false
                              << QStringList{"Waiting for the receiver", "Switched off", "In use"};
    QTest::newRow("switching on") << true << true << true << true << true
                                  << QStringList{"Waiting for the receiver",
                                                 "Switched on",
                                                 "In use"};
    QTest::newRow("reported on") << true << true << false << true << true
                                 << QStringList{"Lamp on", "Switched on", "In use"};
    QTest::newRow("reported off") << true << true << false << false << false
                                  << QStringList{"Lamp off", "Switched off", "In use"};
}

void TestAccessibility::wordsFollowTheState()
{
    QFETCH(bool, receiver);
    QFETCH(bool, active);
    QFETCH(bool, waiting);
    QFETCH(bool, lampOn);
    QFETCH(bool, switchOn);
    QFETCH(QStringList, words);
    const ChannelWords said = channelWords({receiver, active, waiting, lampOn, switchOn});
    QCOMPARE((QStringList{said.lamp, said.lampSwitch, said.active}), words);
}

void TestAccessibility::everyWidgetIsNamed_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description"); // empty: what the button does, any words
    QTest::addColumn<int>("role");

    QTest::newRow("menu") << "sideButton"
                          << "Menu" << QString() << int(QAccessible::Button);
    QTest::newRow("about") << "vornaButton"
                           << "About" << QString() << int(QAccessible::Button);
    QTest::newRow("exit") << "exitButton"
                          << "Exit" << QString() << int(QAccessible::Button);
    for (int n = 1; n <= 4; ++n) {
        const bool receiver = n != 3;
        const QByteArray row = "channel " + QByteArray::number(n);
        const QString prefix = QString("Channel %1 ").arg(n);
        const QString suffix = QString("_%1").arg(n);
        QTest::newRow(row + " lamp")
            << "lampLED" + suffix << prefix + "lamp" << (receiver ? "Lamp off" : "No receiver")
            << int(QAccessible::Graphic);
        QTest::newRow(row + " switch")
            << "lampButton" + suffix << prefix + "lamp switch"
            << (receiver ? "Switched off" : "No receiver") << int(QAccessible::Button);
        QTest::newRow(row + " active")
            << "activeButton" + suffix << prefix + "active"
            << (receiver ? "Not in use" : "No receiver") << int(QAccessible::Button);
    }
}

void TestAccessibility::everyWidgetIsNamed()
{
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(int, role);
    QWidget *w = widget(objectName);
    QVERIFY(w);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
    QVERIFY(face);
    QCOMPARE(face->text(QAccessible::Name), name);
    QCOMPARE(int(face->role()), role);
    const QString said = face->text(QAccessible::Description);
    if (description.isEmpty()) {
        QVERIFY(!said.isEmpty() && said != name);
        QCOMPARE(w->toolTip(), name);
    } else {
        QCOMPARE(said, description);
        QCOMPARE(w->toolTip(), description);
    }
}

void TestAccessibility::keyboardAloneRunsAWholeCycle()
{
    if (!QAccessible::isActive())
        QSKIP("Qt's private headers are needed to switch accessibility on offscreen");
    QLabel *lamp = panel->indicator(1);
    QCOMPARE(description(lamp), "Lamp off");

    // Activate: the query goes out on the next tick, the report of a lamp that is off confirms.
    QVERIFY(tabTo("activeButton_1"));
    heard.clear();
    key(Qt::Key_Space);
    QCOMPARE(heardOnly("activeButton_1:"), QStringList{"activeButton_1: In use"});
    QCOMPARE(heardOnly("lampLED_1:"), QStringList{"lampLED_1: Waiting for the receiver"});
    QVERIFY(heard.contains("activeButton_1 disabled"));
    QVERIFY(heard.contains("lampButton_4 disabled"));
    // The focus waits on the column's indicator, where another Space does nothing.
    QCOMPARE(focused(), "lampLED_1");
    key(Qt::Key_Space);
    QVERIFY(window->isVisible());
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), frameBytes(commandTelegram(Channel1, Telegram::ReportState)));
    heard.clear();
    for (int tick = 0; tick < 20; ++tick) // the indicator blinks; its words stay
        window->onTimerTick();
    QCOMPARE(heard, QStringList());
    panel->peer.write(reportBytes(Channel1, 0));
    QTRY_COMPARE(description(lamp), "Lamp off");
    QCOMPARE(heardOnly("lampLED_1:"), QStringList{"lampLED_1: Lamp off"});
    QCOMPARE(focused(), "activeButton_1");

    // Lamp on: the switch says so as soon as the key goes down, the indicator once reported.
    heard.clear();
    key(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(focused(), "lampButton_1");
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(description(widget("lampButton_1")), "Switched on");
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(heardOnly("lampButton_1:"), QStringList{"lampButton_1: Switched on"});
    QCOMPARE(heardOnly("lampLED_1:"), QStringList{"lampLED_1: Waiting for the receiver"});
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), frameBytes(commandTelegram(Channel1, Telegram::LampOn)));
    panel->peer.write(reportBytes(Channel1, 1));
    QTRY_COMPARE(description(lamp), "Lamp on");
    QCOMPARE(lamp->toolTip(), "Lamp on");
    QCOMPARE(focused(), "lampButton_1");
    QVERIFY(heard.contains("lampButton_1 enabled"));

    // Ask again and get no answer: after three tries the channel gives up.
    key(Qt::Key_Tab);
    QCOMPARE(focused(), "activeButton_1");
    heard.clear();
    key(Qt::Key_Space);
    QCOMPARE(heardOnly("lampLED_1:"), QStringList{"lampLED_1: Waiting for the receiver"});
    QCOMPARE(heardOnly("activeButton_1:"), QStringList()); // still in use
    for (int tick = 1; tick < 154; ++tick)
        window->onTimerTick();
    QCOMPARE(description(widget("activeButton_1")), "In use");
    window->onTimerTick();
    QCOMPARE(heardOnly("lampLED_1:"),
             (QStringList{"lampLED_1: Waiting for the receiver", "lampLED_1: Lamp off"}));
    QCOMPARE(heardOnly("lampButton_1:"), QStringList{"lampButton_1: Switched off"});
    QCOMPARE(heardOnly("activeButton_1:"), QStringList{"activeButton_1: Not in use"});
    QCOMPARE(focused(), "activeButton_1");
    QCOMPARE(heardOnly("name "), QStringList());

    // A user who moves on while the channels are locked keeps the place chosen.
    key(Qt::Key_Space);
    QCOMPARE(focused(), "lampLED_1");
    key(Qt::Key_Tab);
    QCOMPARE(focused(), "exitButton");
    window->onTimerTick();
    panel->peer.write(reportBytes(Channel1, 1));
    QTRY_COMPARE(description(lamp), "Lamp on");
    QCOMPARE(focused(), "exitButton");
}

void TestAccessibility::focusIsMarkedOnlyForTheKeyboard()
{
    // The window took the focus without a key: it looks as designed.
    QWidget *side = widget("sideButton");
    QCOMPARE(focused(), "sideButton");
    const QImage sideFocused = look(side);
    QWidget *lampSwitch = widget("lampButton_2");
    const QImage plain = look(lampSwitch);

    QVERIFY(tabTo("lampButton_2"));
    QCOMPARE(look(side), sideFocused); // no mark left behind
    const QImage marked = look(lampSwitch);
    QCOMPARE(marked.size(), plain.size());
    QVERIFY(marked != plain);
    // The mark is a frame along the edges; the image inside stays whole.
    const QRect inside = plain.rect().adjusted(4, 4, -4, -4);
    QCOMPARE(marked.copy(inside), plain.copy(inside));

    // A mouse press anywhere in the window puts the mark away; the next key brings it back.
    QTest::mouseClick(window->centralWidget(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(focused(), "lampButton_2");
    QCOMPARE(look(lampSwitch), plain);
    key(Qt::Key_Shift);
    QCOMPARE(look(lampSwitch), marked);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
