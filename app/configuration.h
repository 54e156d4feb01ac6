#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The settings kept between runs: the main window's geometry and state (as Base64 text, exactly as
// stored) and the four channels' active flags. Reading and writing never report failures; a
// file that cannot be used leaves the values as they were.
class Configuration
{
public:
    QString winGeometry;
    QString winState;
    std::array<bool, 4> active{};
    QString fileName;

    // Records `fileName` for save(), then reads the file if it can.
    void load(const QString &fileName);
    // Writes the record to `fileName`, replacing the previous file only once the new one is
    // complete, so an interrupted or failed write keeps the old settings.
    void save() const;

    // Applies the file content: the text up to its first zero byte, parsed as JSON. Anything
    // but a JSON document leaves every value unchanged.
    void read(const QByteArray &content);
    // The file content: indented JSON with exactly "active", "winGeometry" and "winState".
    QByteArray toJson() const;
};
