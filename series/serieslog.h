#pragma once

#include "link/verifiedwrite.h"
#include "protocol/validation.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

// The words of an attempt's result, the same in the log, the console and
// the series window's rows.
namespace SeriesResult {
QString verified();
QString alreadyDone();
// A node found holding unit `unitName`'s preset (its address given).
QString otherUnit(const QString &unitName, const QString &address);
QString failed(const QString &reason);
// The number is being written: a node is written only once this row is
// stored, and its result row follows.
QString reserved();
// Why a first read failed, before anything was written to the node.
QString noAnswer();
// Why a write and its read-back did not verify the unit.
QString writeFailure(const WriteOutcome &outcome, const NodeReport &written);
// The result a write and its read-back give the unit.
QString ofWrite(const WriteOutcome &outcome, const NodeReport &written);
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
    // Whether the row reserves its number for a node about to be written.
    bool reservation() const;
    // Whether the row is the result of a reservation of its number: the
    // unit verified, or failed once its node was written to.
    bool endsReservation() const;
};

// The series' CSV log: one row per attempt, stored on the disk before the
// series goes on, so that an interrupted run keeps every row written so
// far. Fields are separated by semicolons, in UTF-8 behind a byte-order
// mark, as a French spreadsheet opens it in columns with its accents whole;
// a log a spreadsheet saved again (another separator, no byte-order mark,
// a result retyped with a capital) is read as well. A log is only ever
// appended to: an existing file is read first, and one that is not a series
// log is refused untouched.
//
// Several programs, on one computer or several sharing a folder, may append
// to one log: each takes the log's lock, a file beside it, for as long as
// it reads the log again and appends a row.
class SeriesLog
{
public:
    // A lock another program holds is tried again this often, this many
    // times, before the series gives up and names who holds it.
    static constexpr int LockRetryMs = 50;
    static constexpr int LockTries = 60;

    SeriesLog();
    ~SeriesLog();
    SeriesLog(const SeriesLog &) = delete;
    SeriesLog &operator=(const SeriesLog &) = delete;

    // Reads a series log: empty on success, else the French reason the file
    // is not a readable series log. A missing or empty file holds no rows.
    static QString read(const QString &path, std::vector<SeriesRow> &rows);

    // Reads the file as above, then makes sure rows can be stored in it: a
    // new or empty file gets the byte-order mark and the header. Returns
    // what went wrong, or an empty string; storageFailed() then tells a log
    // that cannot be written or locked from one that is not a series log,
    // or is named in a folder that does not exist.
    QString open(const QString &path);
    bool storageFailed() const { return cannotStore; }
    bool isOpen() const { return !filePath.isEmpty(); }
    QString path() const { return filePath; }

    // One try at the lock: true once this log holds it (and without a log).
    // A lock left by a program that is gone is taken over.
    bool tryLock();
    // Whether the last try failed because another program holds the lock,
    // which is worth waiting for; else the lock cannot be made at all.
    bool lockHeldElsewhere() const;
    // Why the last try failed, naming who holds the lock.
    QString lockFailure() const;
    void unlock();
    // Under the lock: reads the file again, as other programs may have
    // appended to it since. Returns what went wrong.
    QString reread();
    // Under the lock: appends the row and has the system put it on the
    // disk before returning; a row that cannot be stored whole is taken
    // back out of the file. Returns what went wrong, naming the log.
    QString append(const SeriesRow &row);

    // A number reserved under the lock, which the caller took and keeps:
    // the log is read again, `choose` picks the number from its rows
    // (nullopt: none, and the caller said why), and the reservation row
    // `rowFor` makes for it is stored. A failure names what went wrong
    // with the log; nothing was reserved then.
    struct Reservation {
        std::optional<int> number;
        QString failure;
    };
    Reservation reserve(const std::function<std::optional<int>()> &choose,
                        const std::function<SeriesRow(int number)> &rowFor);

    // The rows the file held when last read, then those appended.
    const std::vector<SeriesRow> &rows() const { return held; }
    // How many of them the file held when it was opened.
    std::size_t rowsAtOpen() const { return openedRows; }

    // How a file is put on the disk: syncToDisk by default. Tests replace
    // it to make the sync fail; an empty function puts it back.
    static void setSync(std::function<bool(int descriptor)> sync);

    // What was read of a file, and where reading it again goes on from.
    struct Reading {
        QChar separator;
        bool hasHeader = false;
        int columns = 0;
        int records = 0;   // the header included
        qint64 size = 0;   // the bytes read
        QByteArray ending; // the last of them: the file was appended to, not rewritten
    };

private:
    QString startFile();
    QString writeRecord(const QStringList &fields);

    QString filePath;
    std::unique_ptr<QLockFile> lockFile;
    Reading reading;
    std::vector<SeriesRow> held;
    std::size_t openedRows = 0;
    bool cannotStore = false;
};

// Takes the log's lock, pausing LockRetryMs between tries: empty once
// taken, else who holds it.
QString lockSeriesLog(SeriesLog &log, const std::function<void(int milliseconds)> &pause);

// "rideau 4X2" or "costume", as the log's unit column names a kind.
QString unitKindText(UnitKind kind, int size);
// "rideau 3", or "Rideau 3" at the start of a line.
QString unitName(UnitKind kind, int unit, bool capital = false);
