#include "app/mainwindow.h"
#include "channel/channelwords.h"
#include "support/ptypeer.h"
#include "support/testpanel.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
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

private:
    QWidget *widget(const QString &objectName) const
    {
        return window->findChild<QWidget *>(objectName);
    }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
    }
    bool tabTo(const QString &objectName);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    QTemporaryDir dir;
    PtyPeer *peer = nullptr;
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
    peer = new PtyPeer;
    QVERIFY(peer->isOpen());
    peer->useAsTransmitter();
    window = openPanel(dir.path(), AddressFile);
    QVERIFY(window);
    window->show();
    window->tickTimer()->stop(); // ticks come from the test
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    heard.clear();
}

void TestAccessibility::cleanup()
{
    delete window;
    window = nullptr;
    delete peer;
    peer = nullptr;
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

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
