#include "app/configuration.h"
#include "files/filelocations.h"
#include "files/programpath.h"
#include "app/version.h"
#include "support/wireandlog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// Where an installed program, a portable one and one started the way earlier versions expected
// find their settings and addresses; and the options answered before the port is opened.
class TestFileLocations : public QObject
{
    Q_OBJECT

private slots:
    void earlierRule_data();
    void earlierRule();
    void xdgFolders_data();
    void xdgFolders();
    void settingsFile_data();
    void settingsFile();
    void earlierSettingsMoveOnce();
    void addressCandidates();
    void addressFileFound_data();
    void addressFileFound();
    void ownOptions_data();
    void ownOptions();

private:
    QTemporaryDir dir;
};

void TestFileLocations::earlierRule_data()
{
    QTest::addColumn<QString>("programName");
    QTest::addColumn<QString>("path");
    QTest::newRow("dot in the folder") << "D:\\release.2\\panel"
                                       << "D:\\release.cnf";
    QTest::newRow("current folder") << "./lumo-win"
                                    << ".cnf";
    QTest::newRow("no dot at all") << "lumo-win"
                                   << "lumo-win.cnf";
}

void TestFileLocations::earlierRule()
{
    QFETCH(QString, programName);
    QFETCH(QString, path);
    QCOMPARE(earlierProgramFilePath(programName, ".cnf"), path);
}

void TestFileLocations::xdgFolders_data()
{
    QTest::addColumn<QByteArray>("configHome"); // null: unset
    QTest::addColumn<QByteArray>("configDirs");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("system");
    const QString home = QDir::homePath();
    QTest::newRow("unset") << QByteArray() << QByteArray() << home + "/.config/lumo-win"
                           << QStringList{"/etc/xdg/lumo-win"};
    QTest::newRow("set") << QByteArray("/tmp/lumo-conf") << QByteArray("/site/a:/site/b")
                         << "/tmp/lumo-conf/lumo-win"
                         << QStringList{"/site/a/lumo-win", "/site/b/lumo-win"};
}

void TestFileLocations::xdgFolders()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QByteArray, configDirs);
    const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedDirs = qgetenv("XDG_CONFIG_DIRS");
    const auto set = [](const char *name, const QByteArray &value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("XDG_CONFIG_HOME", configHome);
    set("XDG_CONFIG_DIRS", configDirs);
    const QString user = userConfigurationFolder();
    const QStringList system = systemConfigurationFolders();
    set("XDG_CONFIG_HOME", savedHome.isEmpty() ? QByteArray() : savedHome);
    set("XDG_CONFIG_DIRS", savedDirs.isEmpty() ? QByteArray() : savedDirs);
    QTEST(user, "user");
    QTEST(system, "system");
}

void TestFileLocations::settingsFile_data()
{
    QTest::addColumn<QString>("program");   // relative to the scratch folder
    QTest::addColumn<QStringList>("files"); // made there first
    QTest::addColumn<QString>("path");      // "user/..." is in the per-user folder
    QTest::addColumn<QString>("readFrom");
    QTest::newRow("beside, new") << "bin/lumo-win" << QStringList() << "bin/lumo-win.cnf"
                                 << "";
    QTest::newRow("beside, kept") << "bin/lumo-win" << QStringList{"bin/lumo-win.cnf"}
                                  << "bin/lumo-win.cnf"
                                  << "";
    QTest::newRow("folder that cannot take a file")
        << "gone/panel.exe" << QStringList() << "user/lumo-win.cnf"
        << "";
    QTest::newRow("earlier file") << "release.2/panel" << QStringList{"release.cnf"}
                                  << "release.2/panel.cnf"
                                  << "release.cnf";
    QTest::newRow("earlier file, new one made")
        << "release.2/panel" << QStringList{"release.cnf", "release.2/panel.cnf"}
        << "release.2/panel.cnf"
        << "";
}

void TestFileLocations::settingsFile()
{
    QFETCH(QString, program);
    QFETCH(QStringList, files);
    QTemporaryDir scratch;
    const QDir root(scratch.path());
    root.mkpath("bin");
    root.mkpath("release.2");
    for (const QString &file : files) {
        QFile made(root.filePath(file));
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    const ConfigurationFiles found = configurationFiles(root.filePath(program),
                                                        root.filePath("user"));
    const auto local = [&](const QString &path) {
        return path.isEmpty() ? path : root.relativeFilePath(path);
    };
    QTEST(local(found.path), "path");
    QTEST(local(found.readFrom), "readFrom");
}

// D:\release.2\panel kept D:\release.cnf: read once, saved under the new name, and from then
// on the new file is the one.
void TestFileLocations::earlierSettingsMoveOnce()
{
    QTemporaryDir scratch;
    const QDir root(scratch.path());
    root.mkpath("release.2");
    Configuration stored;
    stored.fileName = root.filePath("release.cnf");
    stored.active = {true, false, false, true};
    stored.save();
    const QByteArray earlierBytes = stored.toJson();
    const QString program = root.filePath("release.2/panel");

    const ConfigurationFiles first = configurationFiles(program, root.filePath("user"));
    Configuration configuration;
    configuration.load(first.path, first.readFrom);
    QCOMPARE(configuration.active, stored.active);
    configuration.active[1] = true;
    configuration.save();

    const ConfigurationFiles next = configurationFiles(program, root.filePath("user"));
    QCOMPARE(next.path, root.filePath("release.2/panel.cnf"));
    QCOMPARE(next.readFrom, QString());
    Configuration reread;
    reread.load(next.path);
    QCOMPARE(reread.active, configuration.active);
    QFile earlier(root.filePath("release.cnf"));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), earlierBytes); // left for an older version still in use
}

void TestFileLocations::addressCandidates()
{
    const QStringList system{"/etc/xdg/lumo-win", "/site/lumo-win"};
    QCOMPARE(channelAddressCandidates("/usr/bin/lumo-win", "/u/lumo-win", system).paths,
             QStringList({"/usr/bin/lumo-win.channels",
                          "/u/lumo-win/lumo-win.channels",
                          "/etc/xdg/lumo-win/lumo-win.channels",
                          "/site/lumo-win/lumo-win.channels"}));
    QCOMPARE(channelAddressCandidates("/opt/lumo.d/panel", "/u/lumo-win", {}).paths,
             QStringList({"/opt/lumo.d/panel.channels",
                          "/opt/lumo.channels",
                          "/u/lumo-win/lumo-win.channels"}));
}

void TestFileLocations::addressFileFound_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("debugLine"); // the one line written, or none
    const QString besides = "lumo.d/panel.channels";
    QTest::newRow("beside wins") << QStringList{besides, "user/lumo-win.channels"} << besides << "";
    QTest::newRow("per-user") << QStringList{"user/lumo-win.channels", "system/lumo-win.channels"}
                              << "user/lumo-win.channels"
                              << "";
    QTest::newRow("system") << QStringList{"system/lumo-win.channels"} << "system/lumo-win.channels"
                            << "";
    QTest::newRow("earlier place")
        << QStringList{"lumo.channels", "user/lumo-win.channels"} << "lumo.channels"
        << "Reading the channel addresses from R/lumo.channels, where earlier versions looked; "
           "rename it to R/lumo.d/panel.channels";
    QTest::newRow("none") << QStringList() << ""
                          << "No channel address file at R/lumo.d/panel.channels, R/lumo.channels, "
                             "R/user/lumo-win.channels, R/system/lumo-win.channels: no channel "
                             "has a receiver";
}

void TestFileLocations::addressFileFound()
{
    QFETCH(QStringList, files);
    QFETCH(QString, found);
    QFETCH(QString, debugLine);
    QTemporaryDir scratch;
    const QDir root(scratch.path());
    for (const QString &file : files) {
        root.mkpath(QFileInfo(file).path());
        QFile made(root.filePath(file));
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    const QString program = root.filePath("lumo.d/panel");
    const AddressFileCandidates candidates = channelAddressCandidates(program,
                                                                      root.filePath("user"),
                                                                      {root.filePath("system")});
    DebugLog log;
    const QString path = findChannelAddressFile(candidates);
    QCOMPARE(path, found.isEmpty() ? QString() : root.filePath(found));
    QCOMPARE(log.lines.join('\n'), QString(debugLine).replace("R/", root.path() + "/"));
}

void TestFileLocations::ownOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("--help") << QStringList{"--help"} << "Usage: lumo-win [Qt options]";
    QTest::newRow("-h after a Qt option")
        << QStringList{"-style", "fusion", "-h"} << "Usage: lumo-win [Qt options]";
    QTest::newRow("--version") << QStringList{"--version"} << "lumo-win " LUMO_VERSION;
}

void TestFileLocations::ownOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, firstLine);
    // A port that does not exist: opening it would show the error box and end with status 1.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LUMO_WIN_PORT", dir.filePath("no-such-port"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.start(LUMO_WIN_PATH, arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardError(), QByteArray());
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()).section('\n', 0, 0), firstLine);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty()); // no settings written either
}

QTEST_GUILESS_MAIN(TestFileLocations)

#include "tst_filelocations.moc"
