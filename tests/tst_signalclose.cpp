// SIGTERM, SIGINT and SIGHUP close the panel as its close button does: the settings are saved,
// the port is released and the exit status is 0, also while a dialog or the error box is open.
// The panel runs in a child process of this test binary.
#include "app/mainwindow.h"
#include "support/panelchild.h"
#include "support/ptypeer.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#if __has_include(<private/qguiapplication_p.h>)
#include <private/qguiapplication_p.h>
#define LUMO_SESSION_MANAGER 1
#endif

class TestSignalClose : public QObject
{
    Q_OBJECT

private slots:
    void closesLikeTheCloseButton_data();
    void closesLikeTheCloseButton();
};

void TestSignalClose::closesLikeTheCloseButton_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("repeats"); // further signals, 1 ms apart
    QTest::newRow("SIGTERM") << int(SIGTERM) << "" << 0;
    QTest::newRow("SIGINT") << int(SIGINT) << "" << 0;
    QTest::newRow("SIGHUP") << int(SIGHUP) << "" << 0;
    QTest::newRow("SIGTERM over the About box") << int(SIGTERM) << "about" << 0;
    QTest::newRow("SIGTERM over the error box of a lost line") << int(SIGTERM) << "lost" << 0;
    QTest::newRow("two SIGTERMs") << int(SIGTERM) << "" << 1;
    QTest::newRow("three SIGHUPs over the About box") << int(SIGHUP) << "about" << 2;
#ifdef LUMO_SESSION_MANAGER
    // Logoff asks to save first, and then may end the program without closing the window.
    QTest::newRow("SIGTERM after the session asked to save") << int(SIGTERM) << "logoff" << 0;
#endif
}

void TestSignalClose::closesLikeTheCloseButton()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, situation);
    QFETCH(int, repeats);
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    QTemporaryDir home;
    QFile addresses(home.filePath("lumo-win.channels"));
    QVERIFY(addresses.open(QIODevice::WriteOnly));
    addresses.write("12 34 56\nA0 A1 A2\n");
    addresses.close();
    const QString lockFile = "/run/lock/LCK.." + peer.slavePath().mid(5).replace('/', '_');

    PanelChild child;
    bool locked = false;
    // Once the window is up (and the box or dialog of the situation is open), the signal.
    const QString ready = situation == "about"    ? "MODAL About"
                          : situation == "lost"   ? "MODAL Error"
                          : situation == "logoff" ? "SAVED"
                                                  : "SHOWN";
    child.onLine = [&](const PanelChild::Line &line) {
        if (line.text == "SHOWN") {
            locked = QFile::exists(lockFile);
            if (situation == "lost")
                peer.hangUp();
        }
        for (int n = 0; line.text.startsWith(ready) && n <= repeats; ++n) {
            ::kill(pid_t(child.process.processId()), signalNumber);
            QThread::msleep(1);
        }
    };
    QVERIFY(child.start(home.filePath("lumo-win"), peer.slavePath(), {situation}));
    QVERIFY2(child.finish(20000), qPrintable(child.story()));
    QVERIFY2(child.succeeded(), qPrintable(child.story()));
    QVERIFY(child.starting(ready).size() == 1);
    QVERIFY(locked);
    QVERIFY2(!QFile::exists(lockFile), "the port was not released");
    if (situation == "logoff")
        QVERIFY2(child.starting("SAVED").value(0).text.contains("[ false, true, false, false ]"),
                 "the settings were not saved when the session asked");
    QFile settings(home.filePath("lumo-win.cnf"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY2(settings.readAll().simplified().contains("\"active\": [ false, true, false, false ]"),
             "the settings were not saved as the window stood");
}

// The child activates channel 2, says SHOWN, opens the About box in the "about" situation, and
// says "MODAL <title>" for each dialog or box that comes up; boxes stay open.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (isPanelChild()) {
        const bool about = panelChildArguments().value(0) == "about";
        const bool logoff = panelChildArguments().value(0) == "logoff";
        return runPanelChild(
            [about, logoff](MainWindow *window) {
                window->findChild<QPushButton *>("activeButton_2")->pressed();
                tellParent("SHOWN");
#ifdef LUMO_SESSION_MANAGER
                if (logoff) {
                    emit qApp->commitDataRequest(
                        *QGuiApplicationPrivate::instance()->session_manager);
                    QFile saved(QCoreApplication::arguments().value(2) + ".cnf");
                    if (saved.open(QIODevice::ReadOnly))
                        tellParent("SAVED " + saved.readAll().simplified());
                }
#endif
                auto *watch = new QTimer(window);
                QObject::connect(watch,
                                 &QTimer::timeout,
                                 window,
                                 [last = QPointer<QWidget>()]() mutable {
                                     QWidget *modal = QApplication::activeModalWidget();
                                     if (modal && modal != last)
                                         tellParent("MODAL " + modal->windowTitle());
                                     last = modal;
                                 });
                watch->start(10);
                if (about)
                    QTimer::singleShot(0, window, [window] {
                        window->findChild<QPushButton *>("vornaButton")->click();
                    });
            },
            ChildBoxes::LeftOpen);
    }
    TestSignalClose test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_signalclose.moc"
