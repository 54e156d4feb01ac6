#include "app/configuration.h"
#include "app/mainwindow.h"
#include "files/programpath.h"
#include "app/startup.h"
#include "channel/channel.h"
#include "support/panelchild.h"
#include "support/panelfixture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWindow>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray FourReceivers = "11 11 11\n22 22 22\n33 33 33\n44 44 44\n";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString flags(const std::array<bool, 4> &active)
{
    QString text;
    for (bool flag : active)
        text += flag ? '1' : '0';
    return text;
}

QString activeFlags(MainWindow *window)
{
    return flags({window->channel(0).isActive(),
                  window->channel(1).isActive(),
                  window->channel(2).isActive(),
                  window->channel(3).isActive()});
}

QByteArray query(quint8 addressByte)
{
    return frameBytes(
        commandTelegram({addressByte, addressByte, addressByte}, Telegram::ReportState));
}

// What happens to the files of one folder, as the kernel sees it: every process and every way of
// opening or writing shows up, so a test can count writes without trusting the program's word.
class FolderWatch
{
public:
    explicit FolderWatch(const QString &folder)
        : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(fd,
                          QFile::encodeName(folder).constData(),
                          IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO);
    }
    ~FolderWatch() { ::close(fd); }

    // Everything reported so far about `name`, as inotify masks.
    QList<quint32> events(const QByteArray &name)
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                seen.append({QByteArray(event->len ? event->name : ""), event->mask});
                p += sizeof(inotify_event) + event->len;
            }
        }
        QList<quint32> masks;
        for (const auto &event : seen)
            if (event.first == name)
                masks << event.second;
        return masks;
    }

    // Finished writes of a file that already exists: rewritten in place (closed after writing)
    // or replaced by a complete file renamed over it.
    int writes(const QByteArray &name)
    {
        int count = 0;
        for (quint32 mask : events(name))
            count += (mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) ? 1 : 0;
        return count;
    }

private:
    int fd;
    QList<QPair<QByteArray, quint32>> seen;
};

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pathRule_data();
    void pathRule();
    void reading_data();
    void reading();
    void malformedFileSaysWhy_data();
    void malformedFileSaysWhy();
    void savedFileBytes();
    void failedSaveKeepsPreviousFile_data();
    void failedSaveKeepsPreviousFile();
    void roundTripThroughWindow();
    void writtenOncePerClose_data();
    void writtenOncePerClose();
    void failedStartLeavesFileAlone();
    void bareNameUsesWorkingDirectory();

private:
    MainWindow *startWindow(QToolBar **toolBar = nullptr);

    std::unique_ptr<PanelFixture> panel;
};

void TestConfiguration::init()
{
    panel = std::make_unique<PanelFixture>();
    QVERIFY(panel->peer.isOpen());
    writeFile(panel->dir.filePath("lumo-win.channels"), FourReceivers);
}

void TestConfiguration::cleanup()
{
    panel.reset();
}

// The steps start-up takes, on a window with a tool bar so that its state is worth keeping.
// Replaces the window started before.
MainWindow *TestConfiguration::startWindow(QToolBar **toolBar)
{
    MainWindow *window = panel->open(FourReceivers);
    QToolBar *bar = window->addToolBar("tools");
    bar->setObjectName("tools");
    if (toolBar)
        *toolBar = bar;
    window->loadConfiguration(panel->dir.filePath("lumo-win.cnf"));
    window->show();
    window->applyConfiguration();
    return window;
}

void TestConfiguration::pathRule_data()
{
    QTest::addColumn<QString>("programName");
    QTest::addColumn<QString>("path");
    const auto row = [](const char *name, const char *programName, const char *path) {
        QTest::newRow(name) << QString(programName) << QString(path);
    };
    row("full path", "D:\\Tools\\panel.exe", "D:\\Tools\\panel.cnf");
    row("bare name", "panel", "panel.cnf");
    row("dot in the folder only", "D:\\release.2\\panel", "D:\\release.2\\panel.cnf");
    row("unix path", "/opt/lumo/lumo-win", "/opt/lumo/lumo-win.cnf");
    row("last of two dots", "panel.v2.exe", "panel.v2.cnf");
    // The usual ways of starting on Linux: the dots of "." and ".." are not the name's.
    row("from the current folder", "./lumo-win", "./lumo-win.cnf");
    row("from the build folder", "./build/lumo-win", "./build/lumo-win.cnf");
    row("from a hidden folder", "/home/u/.local/bin/lumo-win", "/home/u/.local/bin/lumo-win.cnf");
    row("from the parent folder", "../app/panel", "../app/panel.cnf");
    row("dotted unix folder", "/opt/lumo.d/lumo-win", "/opt/lumo.d/lumo-win.cnf");
    row("hidden program", "/opt/.panel", "/opt/.panel.cnf");
}

void TestConfiguration::pathRule()
{
    QFETCH(QString, programName);
    QFETCH(QString, path);
    QCOMPARE(configurationPath(programName), path);
}

void TestConfiguration::reading_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("expected");   // "geometry|state|flags"
    const auto row = [](const char *name, const QByteArray &content, const char *expected) {
        QTest::newRow(name) << content << QString(expected);
    };
    const auto withActive = [](const char *active) {
        return "{\"active\":" + QByteArray(active)
               + ",\"winGeometry\":\"AAAA\",\"winState\":\"BBBB\"}";
    };
    const auto withGeometry = [](const char *geometry) {
        return "{\"active\":[true,true,true,true],\"winGeometry\":" + QByteArray(geometry)
               + ",\"winState\":\"BBBB\"}";
    };

    // Before reading, the record holds "OLDG", "OLDS" and 0101: unusable files leave it so.
    row("missing file", QByteArray(), "OLDG|OLDS|0101");
    row("empty file", "", "OLDG|OLDS|0101");
    row("invalid JSON", "{\"active\":[true,true,true,true],", "OLDG|OLDS|0101");
    // Valid if read whole, since the parser takes a raw zero byte inside a string.
    row("zero byte inside the text",
        withActive("[true,true,true,true]").replace("BBBB", QByteArray("BB\0BB", 5)),
        "OLDG|OLDS|0101");
    row("zero byte after the document",
        withActive("[true,false,false,true]") + "\n" + '\0' + "junk",
        "AAAA|BBBB|1001");
    row("any layout and line ends",
        "{\"winState\" : \"BBBB\",\r\n\t\"active\":[false,true,true,false],\r\n"
        "\"winGeometry\":\"AAAA\"}",
        "AAAA|BBBB|0110");
    row("top-level array", "[true,true,true,true]", "||0000");
    row("active with 2", withActive("[true,true]"), "AAAA|BBBB|0000");
    row("active with 5", withActive("[true,true,true,true,true]"), "AAAA|BBBB|0000");
    row("active numeric", withActive("[1,0,0,0]"), "AAAA|BBBB|0000");
    row("active other values", withActive("[true,\"true\",null,true]"), "AAAA|BBBB|1001");
    row("geometry empty", withGeometry("\"\""), "|BBBB|1111");
    row("geometry a number", withGeometry("42"), "|BBBB|1111");
    row("extra members",
        "{\"theme\":\"dark\",\"active\":[true,false,true,true],\"winGeometry\":\"AAAA\","
        "\"winState\":\"BBBB\",\"channels\":[1,2,3,4]}",
        "AAAA|BBBB|1011");
}

void TestConfiguration::reading()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    const QString path = panel->dir.filePath("lumo-win.cnf");
    if (!content.isNull())
        writeFile(path, content);
    Configuration configuration;
    configuration.winGeometry = "OLDG";
    configuration.winState = "OLDS";
    configuration.active = {false, true, false, true};
    configuration.load(path);
    QCOMPARE(configuration.fileName, path); // even when nothing could be read
    QCOMPARE(configuration.winGeometry + '|' + configuration.winState + '|'
                 + flags(configuration.active),
             expected);
}

void TestConfiguration::malformedFileSaysWhy_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem");
    const QByteArray saved = "{\"active\":[true,true,true,true],\"winGeometry\":\"AAAA\"}";
    const QString text = QString::fromLatin1(saved);
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), int(text.size()) * 2);
    QTest::newRow("trailing comma")
        << QByteArray(saved).insert(saved.size() - 1, ',') << "not JSON: ";
    QTest::newRow("missing brace") << saved.chopped(1) << "not JSON: ";
    QTest::newRow("UTF-16") << QByteArray("\xff\xfe") + utf16 << "not JSON: ";
    QTest::newRow("binary junk") << QByteArray("\x89PNG\r\n\x1a\n\xff\x01", 10) << "not JSON: ";
    QTest::newRow("deep nesting") << QByteArray(100000, '[') << "not JSON: too deeply nested";
    QTest::newRow("empty") << QByteArray("") << "the file is empty";
}

void TestConfiguration::malformedFileSaysWhy()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    const QString path = panel->dir.filePath("lumo-win.cnf");
    writeFile(path, content);
    Configuration configuration;
    QStringList &log = panel->log();
    configuration.load(path);
    QCOMPARE(flags(configuration.active) + configuration.winGeometry, QString("0000"));
    QCOMPARE(log.size(), 1);
    QVERIFY2(log.first().startsWith("Cannot use the settings file " + path + " (" + problem),
             qPrintable(log.first()));
}

void TestConfiguration::savedFileBytes()
{
    // A longer previous file with a member of its own: nothing of it may survive.
    const QString path = panel->dir.filePath("lumo-win.cnf");
    writeFile(path,
              "{\"zzz\":\"" + QByteArray(2000, 'x')
                  + "\",\"winGeometry\":\"BBB=\",\"winState\":\"AAA=\",\"active\":[]}");
    Configuration configuration;
    configuration.load(path);
    configuration.active = {true, false, true, false};
    configuration.save();
    QCOMPARE(readFile(path),
             QByteArray("{\n    \"active\": [\n        true,\n        false,\n        true,\n"
                        "        false\n    ],\n    \"winGeometry\": \"BBB=\",\n"
                        "    \"winState\": \"AAA=\"\n}\n"));
}

void TestConfiguration::failedSaveKeepsPreviousFile_data()
{
    QTest::addColumn<int>("sizeLimit"); // largest file the saving process may write; -1: any
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("folderWritable"); // else only the file is, and it is written in place
    QTest::newRow("disk full at once") << 0 << false << true;
    QTest::newRow("disk full half-way") << 100 << false << true;
    QTest::newRow("enough room") << -1 << true << true;
    QTest::newRow("writable file in a folder that is not") << -1 << true << false;
}

void TestConfiguration::failedSaveKeepsPreviousFile()
{
    QFETCH(int, sizeLimit);
    QFETCH(bool, replaced);
    QFETCH(bool, folderWritable);

    const QString path = panel->dir.filePath("lumo-win.cnf");
    Configuration previous;
    previous.fileName = path;
    previous.winGeometry = "Z2VvbWV0cnkgb2YgdGhlIGxhc3QgcnVu";
    previous.active = {true, false, false, true};
    previous.save();
    const QByteArray before = readFile(path);
    QVERIFY(before.size() > 100);

    Configuration next = previous;
    next.winGeometry = QString(600, 'G');
    next.active = {false, true, true, false};

    // Running as root, permissions stop nothing: a file size limit stands in for a full disk,
    // and the child becomes "nobody" to meet a folder it may not write.
    const QByteArray folder = QFile::encodeName(panel->dir.path());
    if (!folderWritable) {
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        QCOMPARE(::chmod(folder.constData(), 0555), 0);
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!folderWritable && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(4);
        std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimit >= 0) {
            const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        // A failed save says so in one debug line naming the file; a good one says nothing.
        DebugLog log;
        next.save();
        const bool told = replaced ? log.lines.isEmpty()
                                   : log.lines.size() == 1
                                         && log.lines.first().startsWith(
                                             "Cannot save the settings file " + path + " (");
        _exit(told ? 0 : 3);
    }
    QVERIFY(pid > 0);
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    ::chmod(folder.constData(), 0700);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    QCOMPARE(readFile(path), replaced ? next.toJson() : before);
    QCOMPARE(QDir(panel->dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList({"lumo-win.channels", "lumo-win.cnf"}));
}

void TestConfiguration::roundTripThroughWindow()
{
    const QString path = panel->dir.filePath("lumo-win.cnf");

    // First start, no file: the form's geometry, no channel active.
    QToolBar *bar = nullptr;
    MainWindow *first = startWindow(&bar);
    const QRect formGeometry = first->geometry();
    QCOMPARE(activeFlags(first), QString("0000"));

    first->setGeometry(QRect(60, 50, 640, 480));
    first->removeToolBar(bar);
    first->addToolBar(Qt::BottomToolBarArea, bar);
    bar->show();
    first->channel(0).onActivePressed();
    first->channel(2).onActivePressed();
    const QRect closedGeometry = first->geometry();
    QVERIFY(closedGeometry != formGeometry);
    Configuration expected;
    expected.winGeometry = QString::fromLatin1(first->saveGeometry().toBase64());
    expected.winState = QString::fromLatin1(first->saveState(0).toBase64());
    expected.active = {true, false, true, false};
    QVERIFY(first->close());
    QCOMPARE(readFile(path), expected.toJson());

    // Next start: all of it is back, and the two channels ask their receivers on the first tick.
    MainWindow *second = startWindow(&bar);
    QCOMPARE(second->geometry(), closedGeometry);
    QCOMPARE(second->toolBarArea(bar), Qt::BottomToolBarArea);
    QCOMPARE(activeFlags(second), QString("1010"));
    QCOMPARE(panel->peer.readNow(), QByteArray()); // nothing before the first tick
    second->onTimerTick();
    QCOMPARE(panel->peer.read(16), query(0x11) + query(0x33));
}

void TestConfiguration::writtenOncePerClose_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("exit button") << "exitButton";
    QTest::newRow("close()") << "close";
    QTest::newRow("title bar") << "titleBar";
    QTest::newRow("session end") << "closeAllWindows";
}

void TestConfiguration::writtenOncePerClose()
{
    QFETCH(QString, how);

    // An existing file, so that each save shows as exactly one event, whichever way it writes.
    const QString path = panel->dir.filePath("lumo-win.cnf");
    writeFile(path, "{}");
    MainWindow *window = startWindow();
    window->channel(3).onActivePressed();
    FolderWatch watch(panel->dir.path());

    if (how == "exitButton") {
        window->findChild<QPushButton *>("exitButton")->click();
    } else if (how == "close") {
        window->close();
    } else if (how == "titleBar") {
        // What the window system delivers for the title bar's close button.
        QCloseEvent event;
        QCoreApplication::sendEvent(window->windowHandle(), &event);
    } else {
        QApplication::closeAllWindows();
    }
    QVERIFY(!window->isVisible());
    QCOMPARE(window->transmitterPort(), nullptr);
    QCOMPARE(watch.writes("lumo-win.cnf"), 1);
    QCOMPARE(QJsonDocument::fromJson(readFile(path)).object().value("active").toArray(),
             QJsonArray({false, false, false, true}));

    // Neither the rest of the event loop nor the window's destruction writes again.
    QTest::qWait(50);
    panel->close();
    QCOMPARE(watch.writes("lumo-win.cnf"), 1);
}

void TestConfiguration::failedStartLeavesFileAlone()
{
    QTemporaryDir home;
    writeFile(home.filePath("lumo-win.channels"), FourReceivers);
    const QByteArray saved
        = "{\"active\":[true,true,true,true],\"winGeometry\":\"\",\"winState\":\"\"}";
    writeFile(home.filePath("lumo-win.cnf"), saved);
    FolderWatch watch(home.path());

    PanelChild child;
    child.process.setWorkingDirectory(home.path());
    QVERIFY(child.start(home.filePath("lumo-win"), "/nonexistent/ttyLUMO"));
    QVERIFY(child.finish(20000));
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 1);
    // No window came up: the error box is all.
    QCOMPARE(child.texts(), QStringList{"BOX Error|Unable to open serial port "});
    QCOMPARE(watch.events("lumo-win.cnf"), QList<quint32>()); // not even opened
    QCOMPARE(readFile(home.filePath("lumo-win.cnf")), saved);
}

void TestConfiguration::bareNameUsesWorkingDirectory()
{
    QTemporaryDir home;
    writeFile(home.filePath("lumo-win.channels"), FourReceivers);
    writeFile(home.filePath("lumo-win.cnf"),
              "{\"active\":[true,false,false,false],\"winGeometry\":\"\",\"winState\":\"\","
              "\"theme\":\"dark\"}");

    PanelChild child;
    child.process.setWorkingDirectory(home.path());
    QVERIFY(child.start("lumo-win", panel->peer.slavePath()));
    // Channel 1, active in the file of the child's folder, asks its receiver.
    QCOMPARE(panel->peer.read(8, 5000).left(8), query(0x11));
    QVERIFY(child.finish(20000));
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 0);
    QCOMPARE(child.texts(), QStringList{"ACTIVE 1000"});
    QVERIFY(child.errors.contains("Start using config file lumo-win.cnf\n"));

    // Written back there at close: channel 2 was made active by the child, the extra member is gone.
    const QJsonObject saved = QJsonDocument::fromJson(readFile(home.filePath("lumo-win.cnf")))
                                  .object();
    QCOMPARE(saved.keys(), QStringList({"active", "winGeometry", "winState"}));
    QCOMPARE(saved.value("active").toArray(), QJsonArray({true, true, false, false}));
    QVERIFY(!saved.value("winGeometry").toString().isEmpty());
}

// In the child (see PanelChild): once the window is up and configured, prints the channels'
// active flags ("ACTIVE 1000"), makes channel 2 active and closes the window as the user would.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (isPanelChild()) {
        return runPanelChild([](MainWindow *window) {
            tellParent("ACTIVE " + activeFlags(window));
            window->channel(1).onActivePressed();
            QTimer::singleShot(300, window, &QWidget::close);
        });
    }
    TestConfiguration test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configuration.moc"
