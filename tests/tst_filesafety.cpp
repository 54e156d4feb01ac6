#include "app/configuration.h"
#include "files/filesafety.h"
#include "channel/channeladdresses.h"
#include "support/wireandlog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Settings = "{\"active\":[true,false,false,false]}";
constexpr uid_t Nobody = 65534;

// What `kind` names, made at `path`; `target` is a second file a link may point to. Returns an
// empty text, or why the row cannot be made here.
QString make(const QString &kind, const QString &path, const QString &target)
{
    const auto writeTo = [](const QString &file, const QByteArray &content) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
    };
    const auto link = [&](const QString &to) { return QFile::link(to, path); };
    const QByteArray native = QFile::encodeName(path);
    const QByteArray nativeTarget = QFile::encodeName(target);
    bool made = true;
    if (kind == "regular file")
        made = writeTo(path, Settings);
    else if (kind == "1 MiB")
        made = writeTo(path, Settings + QByteArray(int(MaxReadableFileSize) - Settings.size(), ' '));
    else if (kind == "1 MiB and a byte")
        made = writeTo(path, Settings + QByteArray(int(MaxReadableFileSize), ' '));
    else if (kind == "FIFO")
        made = ::mkfifo(native.constData(), 0600) == 0;
    else if (kind == "folder")
        made = QDir().mkpath(path);
    else if (kind == "link to /dev/zero" || kind == "link to /dev/urandom")
        made = link(kind.mid(8));
    else if (kind == "link to a FIFO")
        made = ::mkfifo(nativeTarget.constData(), 0600) == 0 && link(target);
    else if (kind.startsWith("own link")) // "own link to own file", "own link to nobody's file"
        made = writeTo(target, Settings) && link(target);
    else if (kind == "nobody's link to own file")
        made = writeTo(target, Settings) && link(target);
    else if (kind == "own link to a new file")
        made = link(target);
    else if (kind != "nothing")
        return "unknown kind " + kind;
    if (!made)
        return "cannot make a " + kind;
    if (kind.contains("nobody")) {
        if (::geteuid() != 0)
            return "only root can give files away";
        const QByteArray owned = kind.startsWith("nobody") ? native : nativeTarget;
        if (::lchown(owned.constData(), Nobody, Nobody) != 0)
            return "lchown failed";
    }
    return QString();
}

// The content of a regular file; nothing for anything else, which might block.
QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return QByteArray();
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// Settings and address files that are not what they seem: only regular files of a sane size
// are read, only a regular file or a new one is replaced, and a symbolic link is followed only
// when it and its target are the user's own. Each refusal is one debug line; the start goes on.
class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void saving_data();
    void saving();
};

void TestFileSafety::reading_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // empty: read
    QTest::newRow("regular") << "regular file"
                             << "";
    QTest::newRow("1 MiB") << "1 MiB"
                           << "";
    QTest::newRow("too large") << "1 MiB and a byte"
                               << "larger than 1 MiB";
    QTest::newRow("FIFO") << "FIFO"
                          << "a FIFO, not a regular file";
    QTest::newRow("folder") << "folder"
                            << "a folder, not a regular file";
    QTest::newRow("/dev/zero") << "link to /dev/zero"
                               << "a device, not a regular file";
    QTest::newRow("/dev/urandom") << "link to /dev/urandom"
                                  << "a device, not a regular file";
    QTest::newRow("own link") << "own link to own file"
                              << "";
    QTest::newRow("planted link") << "nobody's link to own file"
                                  << "a symbolic link of another user";
    QTest::newRow("link to another's file") << "own link to nobody's file"
                                            << "a symbolic link to a file of another user";
}

void TestFileSafety::reading()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    for (const QString &name : {QString("lumo-win.cnf"), QString("lumo-win.channels")}) {
        const QString path = dir.filePath(name);
        const QString unmade = make(kind, path, dir.filePath("target-" + name));
        if (!unmade.isEmpty())
            QSKIP(qPrintable(unmade));
    }

    const FileContent file = readRegularFile(dir.filePath("lumo-win.cnf"));
    QCOMPARE(file.status, problem.isEmpty() ? FileContent::Read : FileContent::NotRead);
    QCOMPARE(file.problem, problem);

    // Both readers go on with their defaults, after one line naming the file and the reason.
    DebugLog log;
    Configuration configuration;
    configuration.load(dir.filePath("lumo-win.cnf"));
    QCOMPARE(configuration.active[0], problem.isEmpty());
    const ChannelAddresses addresses = loadChannelAddresses(dir.filePath("lumo-win.channels"));
    Q_UNUSED(addresses);
    if (problem.isEmpty())
        return;
    QCOMPARE(log.lines,
             QStringList({QString("Cannot read the settings file %1 (%2): starting with the "
                                  "defaults")
                              .arg(dir.filePath("lumo-win.cnf"), problem),
                          QString("Cannot read the channel address file %1 (%2): no channel "
                                  "has a receiver")
                              .arg(dir.filePath("lumo-win.channels"), problem)}));
}

void TestFileSafety::saving_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // empty: saved
    QTest::newRow("new file") << "nothing"
                              << "";
    QTest::newRow("regular file") << "regular file"
                                  << "";
    QTest::newRow("own link") << "own link to own file"
                              << "";
    QTest::newRow("own link to a new file") << "own link to a new file"
                                            << "";
    QTest::newRow("FIFO") << "FIFO"
                          << "a FIFO, not a regular file";
    QTest::newRow("folder") << "folder"
                            << "a folder, not a regular file";
    QTest::newRow("link to a FIFO") << "link to a FIFO"
                                    << "a symbolic link to a FIFO, not a regular file";
    QTest::newRow("planted link") << "nobody's link to own file"
                                  << "a symbolic link of another user";
    QTest::newRow("link to another's file") << "own link to nobody's file"
                                            << "a symbolic link to a file of another user";
}

void TestFileSafety::saving()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    // In a folder still to be made: the per-user folder is made at the first save.
    const QString path = dir.filePath("config/lumo-win/lumo-win.cnf");
    const QString target = dir.filePath("config/target.cnf");
    QVERIFY(QDir().mkpath(dir.filePath(kind == "nothing" ? "config" : "config/lumo-win")));
    const QString unmade = make(kind, path, target);
    if (!unmade.isEmpty())
        QSKIP(qPrintable(unmade));
    const QFileInfo before(path);
    const QByteArray targetBefore = contentOf(target);

    Configuration configuration;
    configuration.fileName = path;
    configuration.active = {false, true, true, false};
    DebugLog log;
    configuration.save();

    const QFileInfo after(path);
    if (problem.isEmpty()) {
        QVERIFY(log.lines.isEmpty());
        QCOMPARE(after.isSymLink(), before.isSymLink()); // a link is written through, not replaced
        Configuration reread;
        reread.load(path);
        QCOMPARE(reread.active, configuration.active);
        return;
    }
    QCOMPARE(log.lines,
             QStringList(QString("Cannot save the settings file %1 (%2): the settings of this "
                                 "run are lost")
                             .arg(path, problem)));
    // Left exactly as it was.
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isDir(), before.isDir());
    QCOMPARE(contentOf(target), targetBefore);
    QCOMPARE(QDir(dir.filePath("config/lumo-win"))
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"lumo-win.cnf"});
}

QTEST_GUILESS_MAIN(TestFileSafety)

#include "tst_filesafety.moc"
