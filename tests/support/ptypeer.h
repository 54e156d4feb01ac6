#pragma once

#include <QByteArray>
#include <QString>

// The far end of a pseudo-terminal, played by a test: the program under test opens slavePath()
// as its serial port, the test reads what it writes and writes what the receivers would say.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isOpen() const { return master >= 0; }
    // Names this pty in LUMO_WIN_PORT, so that a main window built from now on opens it as the
    // transmitter; the variable is removed again with the peer.
    void useAsTransmitter();
    QString slavePath() const { return path; }

    void write(const QByteArray &bytes);
    // Everything the program wrote, waiting up to `timeoutMs` for at least `atLeast` bytes while
    // the Qt event loop keeps running.
    QByteArray read(int atLeast = 1, int timeoutMs = 1000);
    // What has arrived so far, without waiting.
    QByteArray readNow();
    // Closes the master end, as an unplugged transmitter would.
    void hangUp();

private:
    int master = -1;
    int slave = -1;
    QString path;
    bool published = false;
};
