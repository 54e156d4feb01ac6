#include "link/framing.h"

#include <QtTest>

// Runs a stream through the framing, split into the given chunk sizes (the state carries over),
// and returns every completed body, in hex, one per entry.
static QStringList frameStream(const QByteArray &stream, const QList<int> &chunks)
{
    RxBuffer buffer;
    bool inFrame = false;
    QStringList bodies;
    int at = 0;
    QList<int> sizes = chunks.isEmpty() ? QList<int>{int(stream.size())} : chunks;
    for (int size : sizes) {
        for (int i = at; i < qMin(at + size, stream.size()); ++i) {
            if (framingStep(buffer, inFrame, quint8(stream[i]))) {
                QByteArray body(reinterpret_cast<const char *>(buffer.bytes.data()), 6);
                bodies << QString::fromLatin1(body.toHex(' '));
            }
        }
        at += size;
    }
    return bodies;
}

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
};

void TestFraming::framing_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("chunks");
    QTest::addColumn<QStringList>("bodies");

    const QString body = "85 a0 a1 a2 01 7e";
    QTest::newRow("one frame") << QByteArray::fromHex("0285A0A1A2017E03") << QList<int>{}
                               << QStringList{body};
    QTest::newRow("split over two reads")
        << QByteArray::fromHex("0285A0A1A2017E03") << QList<int>{3, 5} << QStringList{body};
    QTest::newRow("one byte per read") << QByteArray::fromHex("0285A0A1A2017E03")
                                       << QList<int>{1, 1, 1, 1, 1, 1, 1, 1} << QStringList{body};
    QTest::newRow("two frames in one read")
        << QByteArray::fromHex("0285A0A1A2017E03"
                               "0285B0B1B2000003")
        << QList<int>{} << QStringList{body, "85 b0 b1 b2 00 00"};
    QTest::newRow("noise before the first start byte") << QByteArray::fromHex("FF0300850185A0"
                                                                              "0285A0A1A2017E03")
                                                       << QList<int>{} << QStringList{body};
    QTest::newRow("early end byte is a body byte")
        << QByteArray::fromHex("0285A003A2017E03") << QList<int>{}
        << QStringList{"85 a0 03 a2 01 7e"};
    QTest::newRow("start byte inside a frame is a body byte")
        << QByteArray::fromHex("028502A1A2017E03") << QList<int>{}
        << QStringList{"85 02 a1 a2 01 7e"};
    QTest::newRow("bytes after six dropped until the end byte")
        << QByteArray::fromHex("0285A0A1A2017E7F7F03") << QList<int>{} << QStringList{body};
    QTest::newRow("start byte after six is dropped too") << QByteArray::fromHex("0285A0A1A2017E02"
                                                                                "0285B0B1B2000003")
                                                         << QList<int>{} << QStringList{body};
    QTest::newRow("truncated frame never completes")
        << QByteArray::fromHex("0285A0A1") << QList<int>{} << QStringList{};
    QTest::newRow("gap between frames ignored") << QByteArray::fromHex("0285A0A1A2017E03"
                                                                       "AA0355"
                                                                       "0285A0A1A2017E03")
                                                << QList<int>{} << QStringList{body, body};
}

void TestFraming::framing()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, chunks);
    QFETCH(QStringList, bodies);
    QCOMPARE(frameStream(stream, chunks), bodies);
}

QTEST_APPLESS_MAIN(TestFraming)
#include "tst_framing.moc"
