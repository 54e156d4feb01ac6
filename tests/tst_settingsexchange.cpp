// One settings file for the Qt 5 and the Qt 6 build of the panel: a user who moves from one
// build to the other keeps the window where it was and the same channels in use.
// LUMO_SETTINGS_EXCHANGE names a folder that the two builds' runs of this test share
// (./scripts/test sets it); each run writes its own file there and reads every file it finds,
// its own and the other build's. Without it a build exchanges with itself.
#include "app/mainwindow.h"
#include "channel/channel.h"
#include "support/panelfixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString activeFlags(MainWindow *window)
{
    QString flags;
    for (int n = 0; n < 4; ++n)
        flags += window->channel(n).isActive() ? '1' : '0';
    return flags;
}

QString describe(MainWindow *window)
{
    const QRect g = window->geometry();
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height())
        .arg(activeFlags(window));
}

} // namespace

class TestSettingsExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writeForTheOtherBuild();
    void readWhatEitherBuildWrote_data();
    void readWhatEitherBuildWrote();
    void bothBuildsWriteTheSameBytes();

private:
    QTemporaryDir ownFolder;
    QDir exchange;
};

void TestSettingsExchange::initTestCase()
{
    const QString shared = qEnvironmentVariable("LUMO_SETTINGS_EXCHANGE");
    exchange.setPath(shared.isEmpty() ? ownFolder.path() : shared);
    QVERIFY(exchange.mkpath(QStringLiteral(".")));
}

void TestSettingsExchange::writeForTheOtherBuild()
{
    const QString name = QStringLiteral("qt%1").arg(QT_VERSION_MAJOR);
    const QString path = exchange.filePath(name + ".cnf");
    QFile::remove(path);
    PanelFixture panel;
    MainWindow *window = panel.open("11 11 11\n22 22 22\n33 33 33\n44 44 44\n");
    QVERIFY(window);
    window->loadConfiguration(path);
    QVERIFY(panel.show());
    window->applyConfiguration();
    window->setGeometry(QRect(70, 40, 700, 500));
    window->channel(0).onActivePressed();
    window->channel(2).onActivePressed();
    const QString expected = describe(window);
    QVERIFY(window->close());
    QVERIFY(QFile::exists(path));

    QFile what(exchange.filePath(name + ".expected"));
    QVERIFY(what.open(QIODevice::WriteOnly | QIODevice::Truncate));
    what.write(expected.toUtf8());
}

void TestSettingsExchange::readWhatEitherBuildWrote_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    for (const QString &file : exchange.entryList({QStringLiteral("qt*.cnf")}, QDir::Files)) {
        QFile what(exchange.filePath(QFileInfo(file).completeBaseName() + ".expected"));
        QVERIFY(what.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(file))
            << exchange.filePath(file) << QString::fromUtf8(what.readAll());
    }
}

void TestSettingsExchange::readWhatEitherBuildWrote()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    PanelFixture panel;
    MainWindow *window = panel.open("11 11 11\n22 22 22\n33 33 33\n44 44 44\n");
    QVERIFY(window);
    // A copy: this start's close must not change what the other build will read.
    const QString copy = panel.dir.filePath(QStringLiteral("lumo-win.cnf"));
    QVERIFY(QFile::copy(path, copy));
    window->loadConfiguration(copy);
    QVERIFY(panel.show());
    window->applyConfiguration();
    QCOMPARE(describe(window), expected);
}

void TestSettingsExchange::bothBuildsWriteTheSameBytes()
{
    QFile qt5(exchange.filePath(QStringLiteral("qt5.cnf")));
    QFile qt6(exchange.filePath(QStringLiteral("qt6.cnf")));
    if (!qt5.open(QIODevice::ReadOnly) || !qt6.open(QIODevice::ReadOnly))
        QSKIP("needs the files of both builds");
    // The same window and channels give the same file, whichever build wrote it.
    QCOMPARE(qt6.readAll(), qt5.readAll());
}

QTEST_MAIN(TestSettingsExchange)
#include "tst_settingsexchange.moc"
