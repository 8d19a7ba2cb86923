// The series log: any serial number, address, failure reason or log path
// text makes a row that a strict CSV reader splits back into the same
// fields, behind the byte-order mark and the header, none of which a
// spreadsheet would take for a formula; the series reads the row back as
// it was written.

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include "protocol/itemnames.h"
#include "series/serieslog.h"
#include "series/csvrecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir *folder = nullptr;
const QByteArray Utf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
const QChar Separator = QLatin1Char(';');
constexpr int HeaderFields = 7;
constexpr int AddressField = 1;
constexpr int SerialField = 3;
constexpr int ResultField = 5;
const QDateTime RowTime = QDateTime::fromString(QStringLiteral("2026-12-08T10:00:00Z"), Qt::ISODate);
const QString FormulaStarts = QStringLiteral("=+-@\t\r");
const QChar Apostrophe = QLatin1Char('\'');

// What a spreadsheet reads in a field: a formula when it starts so.
bool formula(const QString &field)
{
    return !field.isEmpty() && FormulaStarts.contains(field.front());
}

// A field as written: the text itself, or with an apostrophe in front
// where the text would read as a formula (after its own apostrophes).
bool writtenAs(const QString &field, const QString &text)
{
    if (field == text)
        return !formula(text);
    QString bare = text;
    while (bare.startsWith(Apostrophe))
        bare.remove(0, 1);
    return field == Apostrophe + text && formula(bare);
}

// The texts the row takes from the input, and what a spreadsheet would read.
SeriesRow rowOf(FuzzInput &input)
{
    SeriesRow row;
    row.number = input.takeByte();
    row.capacity = input.takeByte();
    row.time = RowTime;
    row.kind = UnitKind::Curtain;
    row.size = row.number % curtainSizeNames().size();
    QStringList texts = input.takeTexts();
    while (texts.size() < 3)
        texts << QString();
    row.serial = texts[0];
    row.address = texts[1];
    // A failure names the log's or the configuration's path in its reason.
    row.result = SeriesResult::failed(texts.mid(2).join(QLatin1Char('\0')));
    return row;
}

QStringList expectedFields(const SeriesRow &row)
{
    return {QString::number(row.number),
            row.address,
            row.capacity > 0 ? QString::number(row.capacity) : QString(),
            row.serial,
            row.time.toString(Qt::ISODate),
            row.result,
            unitKindText(*row.kind, row.size)};
}

QString logPath()
{
    return folder->filePath(QStringLiteral("series.csv"));
}

QByteArray writtenLog(const SeriesRow &row)
{
    const QString path = logPath();
    QFile::remove(path);
    {
        SeriesLog log;
        fuzzCheck(log.open(path).isEmpty(), "the log opens");
        log.append(row);
    }
    QFile file(path);
    fuzzCheck(file.open(QIODevice::ReadOnly), "the log reads back");
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    static QTemporaryDir temporary;
    folder = &temporary;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const SeriesRow row = rowOf(input);
    const QByteArray log = writtenLog(row);
    fuzzCheck(log.startsWith(Utf8ByteOrderMark), "the log starts with the byte-order mark");
    // With its length: a text may hold NUL characters.
    const QByteArray body = log.mid(Utf8ByteOrderMark.size());
    const QString text = QString::fromUtf8(body.constData(), body.size());
    const std::optional<std::vector<QStringList>> records = readStrictCsv(text, Separator);
    fuzzCheck(records.has_value(), "the log is strict CSV", text);
    fuzzCheck(records->size() == 2 && records->front().size() == HeaderFields,
              "the log holds the header and the row", text);
    // The file is UTF-8: a text is what UTF-8 can hold of it.
    QStringList expected;
    for (const QString &field : expectedFields(row))
    {
        const QByteArray utf8 = field.toUtf8();
        expected << QString::fromUtf8(utf8.constData(), utf8.size());
    }
    bool asWritten = records->back().size() == expected.size();
    for (int index = 0; asWritten && index < expected.size(); ++index)
        asWritten = writtenAs(records->back()[index], expected[index]);
    fuzzCheck(asWritten, "the row reads back as written, and no field as a formula",
              text + QStringLiteral("\nexpected ") + expected.join(QLatin1Char('|')));

    // The series reads its own log back: a run that wrote it can go on with it.
    std::vector<SeriesRow> rows;
    const QString failure = SeriesLog::read(logPath(), rows);
    fuzzCheck(failure.isEmpty() && rows.size() == 1, "the series reads its log back", failure);
    fuzzCheck(rows.front().number == row.number && rows.front().kind == row.kind
                  && rows.front().size == row.size
                  && rows.front().serial == expected[SerialField]
                  && rows.front().address == expected[AddressField]
                  && rows.front().result == expected[ResultField],
              "the row the series reads is the one written", text);
    return 0;
}
