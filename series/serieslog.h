#pragma once

#include "protocol/validation.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <optional>
#include <vector>

// The words of an attempt's result, the same in the log, the console and
// the series window's rows.
namespace SeriesResult {
QString verified();
QString alreadyDone();
// A node found holding unit `unitName`'s preset (its address given).
QString otherUnit(const QString &unitName, const QString &address);
QString failed(const QString &reason);
} // namespace SeriesResult

// One attempt of a series, as the log keeps it.
struct SeriesRow {
    int number = 0;
    QString address;
    int capacity = 0; // 0: not known
    QString serial;
    QDateTime time;
    QString result;
    std::optional<UnitKind> kind; // nullopt: a row of a log written before the kind column
    int size = 0;                 // the curtain size index
    int line = 0;                 // its line in the file, when read from one

    // Whether the row's unit was written and verified.
    bool verified() const;
};

// The series' CSV log: one row per attempt, appended and flushed at once so
// that an interrupted run keeps every row written so far. Fields are
// separated by semicolons, in UTF-8 behind a byte-order mark, as a French
// spreadsheet opens it in columns with its accents whole. A log is only
// ever appended to: an existing file is read first, and one that is not a
// series log is refused untouched.
class SeriesLog
{
public:
    // Reads a series log: empty on success, else the French reason the file
    // is not a readable series log. A missing or empty file holds no rows.
    static QString read(const QString &path, std::vector<SeriesRow> &rows);

    // Reads the file as above, then opens it for appending; a new or empty
    // file gets the byte-order mark and the header.
    // Returns what went wrong, or an empty string.
    QString open(const QString &path);
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }
    void append(const SeriesRow &row);
    // The rows the file held when opened, then those appended.
    const std::vector<SeriesRow> &rows() const { return held; }

private:
    static QString readRows(const QString &path, std::vector<SeriesRow> &rows, bool &hasHeader);
    void writeRecord(const QStringList &fields);

    QFile file;
    std::vector<SeriesRow> held;
};

// "rideau 4X2" or "costume", as the log's unit column names a kind.
QString unitKindText(UnitKind kind, int size);
