#include "app/mainwindow.h"
#include "app/version.h"
#include "channel/channel.h"
#include "dialogs/about.h"
#include "dialogs/menudialog.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QWindow>
#include <QtTest>

#include <functional>

namespace {

QList<QDialog *> visibleDialogs()
{
    QList<QDialog *> result;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            result << dialog;
    return result;
}

// Plays the user at the modal dialogs that open while it lives: each step waits until a widget
// of its class is the active modal one, then acts on it; a step that fails a check leaves its
// dialog rejected. Steps must not block, so a button that opens another dialog is pressed
// through clickLater(). If a step never comes, the watchdog rejects every dialog still open, so
// a faulty dialog fails the test instead of hanging it.
class ModalScript : public QObject
{
public:
    using Step = std::function<void(QDialog *)>;

    explicit ModalScript(int watchdogMs = 10000)
    {
        poller.setInterval(10);
        connect(&poller, &QTimer::timeout, this, &ModalScript::poll);
        poller.start();
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, &ModalScript::giveUp);
        watchdog.start(watchdogMs);
    }

    void on(const char *className, Step step) { steps.append({className, std::move(step)}); }
    bool finished() const { return steps.isEmpty() && !timedOut; }

    bool timedOut = false;

private:
    struct Entry
    {
        QByteArray className;
        Step step;
    };

    void poll()
    {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (steps.isEmpty() || !modal || !modal->isVisible() || modal == lastHandled
            || !modal->inherits(steps.first().className))
            return;
        lastHandled = modal;
        const Entry entry = steps.takeFirst();
        entry.step(modal);
        if (QTest::currentTestFailed() && lastHandled && lastHandled->isVisible())
            lastHandled->reject();
    }

    void giveUp()
    {
        timedOut = true;
        poller.stop();
        for (QDialog *dialog : visibleDialogs())
            dialog->reject();
    }

    QList<Entry> steps;
    QPointer<QDialog> lastHandled;
    QTimer poller;
    QTimer watchdog;
};

// Presses a button from the event loop, so that a dialog it opens runs its own loop there and
// not inside the step that asked for it.
void clickLater(QAbstractButton *button)
{
    QTimer::singleShot(0, button, [button] { button->click(); });
}

// Counts and swallows the mouse presses that reach a widget.
class PressCatcher : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            ++presses;
            return true;
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
};

// Whether a click delivered the way the window system delivers it reaches `target`; a window
// blocked by a modal dialog gets none.
bool takesClicks(QWidget *target)
{
    PressCatcher catcher;
    target->installEventFilter(&catcher);
    QTest::mouseClick(target->window()->windowHandle(),
                      Qt::LeftButton,
                      Qt::NoModifier,
                      target->mapTo(target->window(), target->rect().center()));
    target->removeEventFilter(&catcher);
    return catcher.presses > 0;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void mainWindowButtonsOpenModalDialogs_data();
    void mainWindowButtonsOpenModalDialogs();
    void menuClosesRightAfterTheBoxItOpened_data();
    void menuClosesRightAfterTheBoxItOpened();
    void menuClosesQuietly_data();
    void menuClosesQuietly();
    void dialogImagesLoad();
    void aboutShowsNameVersionAndOnlyOk();
    void aboutKeepsLogoAndTextSmall_data();
    void aboutKeepsLogoAndTextSmall();
    void aboutTextSelectableNotEditable();
    void channelsKeepWorkingWhileDialogIsOpen_data();
    void channelsKeepWorkingWhileDialogIsOpen();

private:
    QPushButton *button(const char *name) { return panel->button(name); }

    std::unique_ptr<PanelFixture> panel;
    MainWindow *window = nullptr;
};

void TestDialogs::init()
{
    panel = std::make_unique<PanelFixture>();
    window = panel->open("11 11 11\nA0 A1 A2\n");
    QVERIFY(window);
    // Ticks are driven by hand unless a test starts the timer itself.
    QVERIFY(panel->show());
}

void TestDialogs::cleanup()
{
    panel.reset();
    window = nullptr;
}

void TestDialogs::mainWindowButtonsOpenModalDialogs_data()
{
    QTest::addColumn<QByteArray>("buttonName");
    QTest::addColumn<QByteArray>("dialogClass");
    QTest::addColumn<Qt::WindowModality>("modality");
    QTest::newRow("side button: menu")
        << QByteArray("sideButton") << QByteArray("MenuDialog") << Qt::WindowModal;
    QTest::newRow("product button: About")
        << QByteArray("vornaButton") << QByteArray("About") << Qt::ApplicationModal;
}

void TestDialogs::mainWindowButtonsOpenModalDialogs()
{
    QFETCH(QByteArray, buttonName);
    QFETCH(QByteArray, dialogClass);
    QFETCH(Qt::WindowModality, modality);

    // Another top-level window: only an application-modal dialog blocks it too.
    QWidget bystander;
    bystander.resize(100, 100);
    bystander.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bystander));
    QWidget *mainTarget = window->findChild<QLabel *>("lampLED_1");
    QVERIFY(takesClicks(mainTarget));

    QPointer<QDialog> opened;
    ModalScript script;
    script.on(dialogClass, [&](QDialog *dialog) {
        opened = dialog;
        QCOMPARE(dialog->parentWidget(), window);
        QCOMPARE(dialog->windowModality(), modality);
        QVERIFY2(!takesClicks(mainTarget), "the main window takes input under the dialog");
        QCOMPARE(takesClicks(&bystander), modality == Qt::WindowModal);
        dialog->reject();
    });
    button(buttonName)->click();

    QVERIFY(script.finished());
    QVERIFY2(opened.isNull(), "the dialog outlives the click that opened it");
    QVERIFY(takesClicks(mainTarget));
}

void TestDialogs::menuClosesRightAfterTheBoxItOpened_data()
{
    QTest::addColumn<QByteArray>("menuButton");
    QTest::addColumn<QByteArray>("boxClass");
    QTest::addColumn<bool>("boxClosedByEscape");
    QTest::newRow("About, OK") << QByteArray("vornaButton") << QByteArray("About") << false;
    QTest::newRow("About, Escape") << QByteArray("vornaButton") << QByteArray("About") << true;
    QTest::newRow("toolkit about box")
        << QByteArray("qtButton") << QByteArray("QMessageBox") << false;
}

void TestDialogs::menuClosesRightAfterTheBoxItOpened()
{
    QFETCH(QByteArray, menuButton);
    QFETCH(QByteArray, boxClass);
    QFETCH(bool, boxClosedByEscape);

    QPointer<QDialog> menu;
    int menuResult = -1;
    bool boxSeen = false;
    ModalScript script;
    script.on("MenuDialog", [&](QDialog *dialog) {
        menu = dialog;
        connect(dialog, &QDialog::finished, this, [&](int result) { menuResult = result; });
        clickLater(dialog->findChild<QPushButton *>(menuButton));
    });
    script.on(boxClass, [&](QDialog *box) {
        boxSeen = true;
        QVERIFY(menu && menu->isVisible());
        if (auto *about = qobject_cast<About *>(box)) {
            QCOMPARE(about->parentWidget(), menu.data());
            QCOMPARE(about->windowModality(), Qt::ApplicationModal);
            QVERIFY2(!takesClicks(menu->findChild<QPushButton *>("okButton")),
                     "the menu takes input under About");
        } else {
            QCOMPARE(box->windowTitle(), QString("About Qt"));
        }
        if (boxClosedByEscape)
            QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
        else
            box->findChildren<QAbstractButton *>().value(0)->click(); // OK, its only button
    });
    button("sideButton")->click();

    QVERIFY2(script.finished(), "a dialog stayed open after its box was closed");
    QVERIFY(boxSeen);
    QCOMPARE(menuResult, int(QDialog::Accepted));
    QVERIFY(menu.isNull());
    QCOMPARE(visibleDialogs(), QList<QDialog *>());
}

void TestDialogs::menuClosesQuietly_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK button") << "ok" << int(QDialog::Accepted);
    QTest::newRow("close control") << "close" << int(QDialog::Rejected);
    QTest::newRow("Escape") << "escape" << int(QDialog::Rejected);
}

void TestDialogs::menuClosesQuietly()
{
    QFETCH(QString, how);
    QFETCH(int, result);

    int menuResult = -1;
    ModalScript script(3000); // nothing may open after the menu: the watchdog would close it
    script.on("MenuDialog", [&](QDialog *menu) {
        connect(menu, &QDialog::finished, this, [&](int r) { menuResult = r; });
        if (how == "ok") {
            menu->findChild<QPushButton *>("okButton")->click();
        } else if (how == "close") {
            // What the title bar's close control sends.
            QCloseEvent close;
            QApplication::sendEvent(menu->windowHandle(), &close);
            QVERIFY(close.isAccepted());
        } else {
            QTest::keyClick(menu->windowHandle(), Qt::Key_Escape);
        }
        QVERIFY(!menu->isVisible());
    });
    button("sideButton")->click();
    QTest::qWait(50); // room for anything that would wrongly open after the menu

    QVERIFY(script.finished());
    QCOMPARE(menuResult, result);
    QCOMPARE(visibleDialogs(), QList<QDialog *>());
    QVERIFY2(window->isVisible() && window->transmitterPort(), "the main window was closed");
}

void TestDialogs::dialogImagesLoad()
{
    MenuDialog menu;
    for (const char *name : {"vornaButton", "qtButton", "okButton"}) {
        QVERIFY2(!menu.findChild<QPushButton *>(name)->icon().pixmap(96, 96).isNull(), name);
    }
    About about;
    QVERIFY(!about.windowIcon().pixmap(32, 32).isNull());
    QVERIFY(!about.findChild<QLabel *>("label")->pixmap(Qt::ReturnByValue).isNull());
}

void TestDialogs::aboutShowsNameVersionAndOnlyOk()
{
    int result = -1;
    ModalScript script;
    script.on("About", [&](QDialog *about) {
        connect(about, &QDialog::finished, this, [&](int r) { result = r; });
        QCOMPARE(about->windowTitle(), QString("About ZUL"));
        const QString text = about->findChild<QTextBrowser *>()->toPlainText().simplified();
        QCOMPARE(text, QString("Lumo Win Version: " LUMO_VERSION));
        const QList<QAbstractButton *> buttons = about->findChildren<QAbstractButton *>();
        QCOMPARE(buttons.size(), 1);
        auto *box = about->findChild<QDialogButtonBox *>();
        QCOMPARE(box->standardButton(buttons.first()), QDialogButtonBox::Ok);
        QTest::mouseClick(buttons.first(), Qt::LeftButton);
    });
    button("vornaButton")->click();

    QVERIFY(script.finished());
    QCOMPARE(result, int(QDialog::Accepted));
}

void TestDialogs::aboutKeepsLogoAndTextSmall_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("as opened") << QSize(494, 217);
    QTest::newRow("wide") << QSize(2400, 217);
    QTest::newRow("tall") << QSize(494, 1600);
    QTest::newRow("large") << QSize(2400, 1600);
}

void TestDialogs::aboutKeepsLogoAndTextSmall()
{
    QFETCH(QSize, size);
    About about(window);
    about.show();
    about.resize(size);
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QApplication::processEvents();
    const QSize logo = about.findChild<QLabel *>("label")->size();
    QVERIFY2(logo.width() <= 120 && logo.height() <= 120,
             qPrintable(QString("logo %1x%2").arg(logo.width()).arg(logo.height())));
    QVERIFY2(logo.width() > 0 && logo.height() > 0, "logo not shown");
    const int textHeight = about.findChild<QTextBrowser *>()->height();
    QVERIFY2(textHeight <= 120, qPrintable(QString("text area %1 high").arg(textHeight)));
}

void TestDialogs::aboutTextSelectableNotEditable()
{
    About about(window);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto *browser = about.findChild<QTextBrowser *>();
    const QString text = browser->toPlainText();

    browser->setFocus();
    QTest::keyClicks(browser, "typed");
    QTest::keyClick(browser, Qt::Key_Backspace);
    QTest::keyClick(browser, Qt::Key_Delete);
    QCOMPARE(browser->toPlainText(), text);

    QTest::keyClick(browser, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(browser->textCursor().selection().toPlainText(), text);

    // A double click on a word selects it.
    QTextCursor word = browser->document()->find("Version");
    word.setPosition(word.selectionStart() + 2);
    QTest::mouseDClick(browser->viewport(),
                       Qt::LeftButton,
                       Qt::NoModifier,
                       browser->cursorRect(word).center());
    QCOMPARE(browser->textCursor().selectedText(), QString("Version"));
    QCOMPARE(browser->toPlainText(), text);

    // No frame and no background of its own: below the text it looks like the dialog.
    QCOMPARE(browser->frameWidth(), 0);
    const QImage shot = about.grab().toImage();
    const QPoint inBrowser = browser->mapTo(&about,
                                            QPoint(browser->width() - 3, browser->height() - 3));
    const QPoint outside(2, about.height() - 2);
    QCOMPARE(shot.pixelColor(inBrowser), shot.pixelColor(outside));
}

void TestDialogs::channelsKeepWorkingWhileDialogIsOpen_data()
{
    QTest::addColumn<QByteArray>("buttonName");
    QTest::addColumn<QByteArray>("dialogClass");
    QTest::newRow("menu") << QByteArray("sideButton") << QByteArray("MenuDialog");
    QTest::newRow("About") << QByteArray("vornaButton") << QByteArray("About");
}

void TestDialogs::channelsKeepWorkingWhileDialogIsOpen()
{
    QFETCH(QByteArray, buttonName);
    QFETCH(QByteArray, dialogClass);

    Channel &second = window->channel(1);
    const QByteArray query = frameBytes(commandTelegram({0xA0, 0xA1, 0xA2}, Telegram::ReportState));
    second.onActivePressed();
    window->onTimerTick();
    QCOMPARE(panel->peer.read(8), query);

    // The window's own timer runs while the dialog opens; every timeout is one tick.
    QSignalSpy realTicks(window->tickTimer(), &QTimer::timeout);
    window->tickTimer()->start();

    bool checked = false;
    ModalScript script;
    script.on(dialogClass, [&](QDialog *dialog) {
        QTRY_VERIFY2_WITH_TIMEOUT(realTicks.count() > 0,
                                  "the tick timer stands still under the dialog",
                                  1000);
        window->tickTimer()->stop();

        // The repeat goes out 51 ticks after the first transmission, dialog or not.
        int ticks = realTicks.count();
        QVERIFY(ticks < 51);
        while (ticks < 51) {
            QCOMPARE(panel->peer.readNow(), QByteArray());
            window->onTimerTick();
            ++ticks;
        }
        QCOMPARE(panel->peer.read(8), query);

        // The receiver's report arrives through the port and is accepted.
        panel->peer.write(
            frameBytes(buildTelegram(Telegram::ReportKind, {0xA0, 0xA1, 0xA2}, Telegram::LampOn)));
        QTRY_VERIFY_WITH_TIMEOUT(second.isLampOn(), 1000);
        QCOMPARE(second.currentOperation(), Channel::Confirmed);
        QVERIFY(window->channel(0).buttonsEnabled());
        QVERIFY(dialog->isVisible());
        checked = true;
        dialog->reject();
    });
    button(buttonName)->click();

    QVERIFY(script.finished());
    QVERIFY(checked);
}

QTEST_MAIN(TestDialogs)

#include "tst_dialogs.moc"
