#pragma once

#include "link/telegram.h"

#include <QByteArray>
#include <QString>

#include <array>

// The settings kept between runs: the main window's geometry and state (as Base64 text, exactly as
// stored) and the four channels' active flags. Reading and writing never stop the program: a file
// that cannot be used leaves the values as they were, with one debug line saying why (a missing
// file, the usual first start, says nothing).
class Configuration
{
public:
    QString winGeometry;
    QString winState;
    std::array<bool, ChannelCount> active{};
    QString fileName;

    // Records `fileName` for save(), then reads the file if it can; `readFrom`, when given, is
    // read instead (a file an earlier version kept elsewhere). Only a regular file of at most
    // 1 MiB is read.
    void load(const QString &fileName, const QString &readFrom = QString());
    // Writes the record to `fileName`, replacing the previous file only once the new one is
    // complete, so an interrupted or failed write keeps the old settings; in a folder that
    // takes no new file, a writable file is overwritten in place. Creates the file's folder if
    // needed; replaces only a regular file (see saveTargetProblem()).
    void save() const;

    // Applies the file content: the text up to its first zero byte, parsed as JSON. Anything
    // but a JSON document leaves every value unchanged; the result then says what is wrong with
    // it, and is empty otherwise.
    QString read(const QByteArray &content);
    // The file content: indented JSON with exactly "active", "winGeometry" and "winState".
    QByteArray toJson() const;
};
