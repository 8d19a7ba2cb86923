#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// One attempt of a series, as the log keeps it.
struct SeriesRow {
    int number = 0;
    QString address;
    int capacity = 0; // 0: not known
    QString serial;
    QDateTime time;
    QString result;
};

// The series' CSV log: one row per attempt, appended and flushed at once so
// that an interrupted run keeps every row written so far. Fields are
// separated by semicolons, in UTF-8 behind a byte-order mark, as a French
// spreadsheet opens it in columns with its accents whole.
class SeriesLog
{
public:
    // Opens the file for appending; a new or empty file gets the byte-order
    // mark and the header.
    // Returns what went wrong, or an empty string.
    QString open(const QString &path);
    bool isOpen() const { return file.isOpen(); }
    void append(const SeriesRow &row);

private:
    void writeRecord(const QStringList &fields);

    QFile file;
};
