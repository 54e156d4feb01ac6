#pragma once

#include <QByteArray>
#include <QString>

// The transmitter's end of a pseudo-terminal pair. The panel opens slavePath() as its serial
// port. This side keeps no descriptor of the slave end, so it can tell whether the panel holds
// the line open: nothing written while nobody listens piles up for the next one who opens it.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Creates the pair with a raw line; on failure returns false and says why in `error`.
    bool open(QString *error);
    // Hangs up: the slave end reads end-of-file or errors from now on, and its path disappears.
    void close();

    bool isOpen() const { return master >= 0; }
    int masterDescriptor() const { return master; }
    QString slavePath() const { return path; }
    // Whether some process has the slave end open.
    bool peerConnected() const;

    // What the panel wrote since the last call. Sets `peerGone` when the last opener closed the
    // slave end (after the bytes it wrote are taken).
    QByteArray read(bool *peerGone);
    // False when the line did not take all of `bytes` (nobody reads it, or it is gone).
    bool write(const QByteArray &bytes);
    // Drops what was written and never read on the slave end. A pty keeps it for the next
    // opener; a real port's driver frees it when its last opener closes it.
    void dropUnread();

private:
    int master = -1;
    QString path;
};
