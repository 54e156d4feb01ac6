#pragma once

#include <QByteArray>
#include <QString>

// The program's own files are small text files in folders that other users may share. These two
// checks keep a planted FIFO, device or symbolic link from hanging the start, filling the memory
// or having the next save replace somebody else's file. Each platform keeps them by its own
// means: platform/fileownership_<platform>.cpp.

// No real settings or address file comes near this size.
constexpr qint64 MaxReadableFileSize = 1024 * 1024;

struct FileContent
{
    enum Status { Missing, Read, NotRead };
    Status status = Missing;
    QByteArray content; // when Read
    QString problem;    // when NotRead: why, e.g. "a FIFO, not a regular file"
};

// Reads `path` if it is a regular file of at most MaxReadableFileSize bytes. A symbolic link is
// followed only when it and its target belong to the user running the program (or to root).
// Never blocks: a FIFO is looked at, not opened for a blocking read.
FileContent readRegularFile(const QString &path);

// Why a save must not replace `path`, or an empty text when it may: a save writes a regular file
// or a new one, and follows a symbolic link only under the rule above.
QString saveTargetProblem(const QString &path);
