#include "series/serieslog.h"

#include "app/platform.h"
#include "config/configtext.h"
#include "protocol/itemnames.h"
#include "series/csvrecords.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// The log before it named each row's unit, and since: the unit column comes
// last, so that an old log appended to keeps its columns where they were.
const QStringList OldHeader = {
    QStringLiteral("numéro"), QStringLiteral("adresse"), QStringLiteral("capacité"),
    QStringLiteral("série"),  QStringLiteral("heure"),   QStringLiteral("résultat"),
};
const QStringList Header = OldHeader + QStringList{QStringLiteral("unité")};
enum Column { NumberColumn, AddressColumn, CapacityColumn, SerialColumn, TimeColumn,
              ResultColumn, KindColumn };

// A French Excel splits a CSV file into columns at semicolons, and reads it
// as UTF-8 only behind a byte-order mark; LibreOffice reads it so too. A
// spreadsheet that saves the file again may choose another separator.
const QChar Separator = QLatin1Char(';');
const QString OtherSeparators = QStringLiteral(",\t");
const QChar Quote = QLatin1Char('"');
const QChar Apostrophe = QLatin1Char('\'');
const QChar LineEnd = QLatin1Char('\n');
const QByteArray Utf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
const QString CurtainWord = QStringLiteral("rideau");
const QString CostumeWord = QStringLiteral("costume");
const QString FailedPrefix = QStringLiteral("échec : ");
const QString LockSuffix = QStringLiteral(".lock");
// A size no file has: the file is read whole the next time.
constexpr qint64 ReadWhole = -1;
constexpr int LargestNumberText = 255;

// A spreadsheet takes a cell that starts so for a formula.
const QString FormulaStarts = QStringLiteral("=+-@\t\r");

std::function<bool(int)> &logSync()
{
    static std::function<bool(int)> sync;
    return sync;
}

bool syncFile(int descriptor)
{
    return logSync() ? logSync()(descriptor) : syncToDisk(descriptor);
}

// Whether a spreadsheet would take the text for a formula once the
// apostrophes the log puts in front of such texts are taken away.
bool formulaLike(const QString &text)
{
    int at = 0;
    while (at < text.size() && text[at] == Apostrophe)
        ++at;
    return at < text.size() && FormulaStarts.contains(text[at]);
}

// A field as CSV takes it: quoted, with doubled quotes, when it holds a
// separator, a quote or a line break; a text a spreadsheet would take for a
// formula gets an apostrophe in front, which keeps it text there.
QString csvField(const QString &text, QChar separator)
{
    const QString special = QString(separator) + QStringLiteral("\"\r\n");
    const bool formula = formulaLike(text);
    const bool plain = !formula && std::none_of(text.begin(), text.end(),
                                                [&special](QChar c) { return special.contains(c); });
    if (plain)
        return text;
    QString escaped = formula ? Apostrophe + text : text;
    escaped.replace(Quote, QStringLiteral("\"\""));
    return Quote + escaped + Quote;
}

// The field as written before csvField guarded it.
QString unguarded(const QString &field)
{
    return formulaLike(field) && field.startsWith(Apostrophe) ? field.mid(1) : field;
}

// Without case or accents: how a text retyped in a spreadsheet is compared.
QString folded(const QString &text)
{
    QString plain;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    }
    return plain.toCaseFolded().simplified();
}

bool sameWords(const QStringList &fields, const QStringList &words)
{
    if (fields.size() != words.size())
        return false;
    for (int index = 0; index < fields.size(); ++index) {
        if (folded(unguarded(fields[index])) != folded(words[index]))
            return false;
    }
    return true;
}

std::optional<int> wholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch() || text.toInt() > LargestNumberText)
        return std::nullopt;
    return text.toInt();
}

// A result as the series writes it, from a text that may differ in case
// and accents; nullopt for a result the series does not know.
std::optional<QString> knownResult(const QString &text)
{
    if (text.startsWith(FailedPrefix))
        return text;
    const QStringList words = {SeriesResult::verified(), SeriesResult::alreadyDone(),
                               SeriesResult::reserved()};
    if (words.contains(text))
        return text;
    const QString plain = folded(text);
    for (const QString &word : words) {
        if (plain == folded(word))
            return word;
    }
    static const QRegularExpression failed(QStringLiteral("^echec ?:"));
    if (failed.match(plain).hasMatch())
        return SeriesResult::failed(text.mid(text.indexOf(QLatin1Char(':')) + 1).trimmed());
    static const QRegularExpression otherUnit(QStringLiteral("^deja .+ : pas reecrit$"));
    if (otherUnit.match(plain).hasMatch())
        return text;
    return std::nullopt;
}

// The unit a log's unit column names; false for a text it does not know.
bool parseKind(const QString &text, SeriesRow &row)
{
    if (text.isEmpty())
        return true;
    const QString plain = folded(text);
    if (plain == CostumeWord) {
        row.kind = UnitKind::Costume;
        return true;
    }
    const QStringList &sizes = curtainSizeNames();
    for (int size = 0; size < sizes.size(); ++size) {
        if (plain == folded(unitKindText(UnitKind::Curtain, size))) {
            row.kind = UnitKind::Curtain;
            row.size = size;
            return true;
        }
    }
    return false;
}

// One record as a row, or the reason it is not one.
QString parseRow(const QStringList &record, int columns, SeriesRow &row)
{
    // Rows appended to an old log carry the unit column its header lacks.
    const bool oldHeaderRow = columns == OldHeader.size() && record.size() == Header.size();
    if (record.size() != columns && !oldHeaderRow)
        return QStringLiteral("%1 colonnes au lieu de %2").arg(record.size()).arg(columns);
    QStringList fields;
    for (const QString &field : record)
        fields << unguarded(field);
    const std::optional<int> number = wholeNumber(fields[NumberColumn]);
    if (!number)
        return QStringLiteral("numéro %1 illisible").arg(quoted(fields[NumberColumn]));
    const std::optional<QString> result = knownResult(fields[ResultColumn]);
    if (!result)
        return QStringLiteral("résultat %1 inconnu").arg(quoted(fields[ResultColumn]));
    row.number = *number;
    row.address = fields[AddressColumn];
    row.capacity = fields[CapacityColumn].toInt();
    row.serial = fields[SerialColumn];
    row.time = QDateTime::fromString(fields[TimeColumn], Qt::ISODate);
    row.result = *result;
    if (fields.size() > KindColumn && !parseKind(fields[KindColumn], row))
        return QStringLiteral("unité %1 inconnue").arg(quoted(fields[KindColumn]));
    return {};
}

QString notASeriesLog(const QString &path, const QString &why)
{
    return QStringLiteral("%1 n'est pas un journal de série (%2)").arg(quoted(path), why);
}

// The separator that makes the first line a header, if any.
std::optional<QChar> headerSeparator(const QString &text)
{
    const QString firstLine = text.left(text.indexOf(LineEnd)).remove(QLatin1Char('\r'));
    for (const QChar separator : QString(Separator) + OtherSeparators) {
        const QStringList fields = firstLine.split(separator);
        if (sameWords(fields, Header) || sameWords(fields, OldHeader))
            return separator;
    }
    return std::nullopt;
}

// The text of bytes read from the log, which must be UTF-8.
std::optional<QString> utf8Text(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes.constData(), bytes.size());
    if (text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

// Appends the rows of `text`, whole records that follow those read, to
// `rows`, or says why the file is not a series log.
QString readRecords(const QString &path, const QString &text, SeriesLog::Reading &reading,
                    std::vector<SeriesRow> &rows)
{
    const std::optional<std::vector<QStringList>> records = readStrictCsv(text, reading.separator);
    if (!records)
        return notASeriesLog(path, QStringLiteral("pas un fichier CSV complet"));
    std::size_t first = 0;
    if (!reading.hasHeader) {
        const QStringList &header = records->front();
        if (!sameWords(header, Header) && !sameWords(header, OldHeader))
            return notASeriesLog(path, QStringLiteral("en-tête %1").arg(quoted(header.join(Separator))));
        reading.hasHeader = true;
        reading.columns = header.size();
        reading.records = 1;
        first = 1;
    }
    rows.reserve(rows.size() + records->size());
    for (std::size_t index = first; index < records->size(); ++index) {
        SeriesRow row;
        row.line = ++reading.records;
        const QString failure = parseRow((*records)[index], reading.columns, row);
        if (!failure.isEmpty())
            return notASeriesLog(path, QStringLiteral("ligne %1 : %2").arg(row.line).arg(failure));
        rows.push_back(row);
    }
    return {};
}

// Notes the bytes just read as the end of what was read.
void noteRead(SeriesLog::Reading &reading, const QByteArray &bytes)
{
    constexpr int EndingBytes = 64;
    reading.size += bytes.size();
    reading.ending = (reading.ending + bytes).right(EndingBytes);
}

// Reads the whole file.
QString readLog(const QString &path, SeriesLog::Reading &reading, std::vector<SeriesRow> &rows)
{
    reading = SeriesLog::Reading{};
    reading.separator = Separator;
    rows.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return QStringLiteral("%1 est un dossier, pas un journal de série").arg(quoted(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 : lecture impossible (%2)").arg(quoted(path), file.errorString());
    const QByteArray content = file.readAll();
    const int mark = content.startsWith(Utf8ByteOrderMark) ? Utf8ByteOrderMark.size() : 0;
    const std::optional<QString> text = utf8Text(content.mid(mark));
    if (!text)
        return notASeriesLog(path, QStringLiteral("pas du texte UTF-8"));
    if (!text->isEmpty()) {
        reading.separator = headerSeparator(*text).value_or(Separator);
        const QString failure = readRecords(path, *text, reading, rows);
        if (!failure.isEmpty()) {
            rows.clear();
            return failure;
        }
    }
    noteRead(reading, content);
    return {};
}

// Reads what was appended to the file since it was last read; a file that
// was not only appended to (a spreadsheet saved it again) is read whole.
QString readLogOn(const QString &path, SeriesLog::Reading &reading, std::vector<SeriesRow> &rows)
{
    QFile file(path);
    const int back = reading.ending.size();
    const bool appended = reading.hasHeader && reading.size != ReadWhole
                          && file.open(QIODevice::ReadOnly)
                          && file.size() >= reading.size && file.seek(reading.size - back)
                          && file.read(back) == reading.ending;
    if (!appended)
        return readLog(path, reading, rows);
    const QByteArray more = file.readAll();
    const std::optional<QString> text = utf8Text(more);
    if (!text)
        return notASeriesLog(path, QStringLiteral("pas du texte UTF-8"));
    const QString failure = text->isEmpty() ? QString() : readRecords(path, *text, reading, rows);
    if (!failure.isEmpty())
        return failure;
    noteRead(reading, more);
    return {};
}

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("%1 : écriture impossible (%2)").arg(quoted(path), why);
}

} // namespace

namespace SeriesResult {
QString verified()
{
    return QStringLiteral("vérifié");
}

QString alreadyDone()
{
    return QStringLiteral("déjà configuré");
}

QString otherUnit(const QString &unitName, const QString &address)
{
    return QStringLiteral("déjà %1 (%2) : pas réécrit").arg(unitName, address);
}

QString failed(const QString &reason)
{
    return FailedPrefix + reason;
}

QString reserved()
{
    return QStringLiteral("réservé");
}

QString noAnswer()
{
    return QStringLiteral("le node ne répond pas");
}

QString writeFailure(const WriteOutcome &outcome, const NodeReport &written)
{
    switch (outcome.result) {
    case WriteResult::WriteFailed: return QStringLiteral("écriture refusée par le node");
    case WriteResult::NoReadBack: return QStringLiteral("le node ne répond pas à la relecture");
    case WriteResult::Differs:
        return QStringLiteral("relecture différente (%1)")
            .arg(differenceLines(written, outcome.readBack).join(QStringLiteral(" ; ")));
    case WriteResult::Verified: break;
    }
    return {};
}

QString ofWrite(const WriteOutcome &outcome, const NodeReport &written)
{
    return outcome.result == WriteResult::Verified ? verified()
                                                   : failed(writeFailure(outcome, written));
}
} // namespace SeriesResult

bool SeriesRow::verified() const
{
    return result == SeriesResult::verified();
}

bool SeriesRow::reservation() const
{
    return result == SeriesResult::reserved();
}

// A first read that got no answer wrote nothing: it says nothing of a
// reservation of its number, which another program may hold.
bool SeriesRow::endsReservation() const
{
    if (verified())
        return true;
    return result.startsWith(FailedPrefix)
           && folded(result) != folded(SeriesResult::failed(SeriesResult::noAnswer()));
}

QString unitKindText(UnitKind kind, int size)
{
    if (kind == UnitKind::Costume)
        return CostumeWord;
    return CurtainWord + QLatin1Char(' ') + curtainSizeNames().value(size);
}

QString unitName(UnitKind kind, int unit, bool capital)
{
    const bool curtain = kind == UnitKind::Curtain;
    const QString name = capital ? (curtain ? QStringLiteral("Rideau %1") : QStringLiteral("Costume %1"))
                                 : (curtain ? QStringLiteral("rideau %1") : QStringLiteral("costume %1"));
    return name.arg(unit);
}

SeriesLog::SeriesLog() = default;

SeriesLog::~SeriesLog() = default;

void SeriesLog::setSync(std::function<bool(int)> sync)
{
    logSync() = std::move(sync);
}

QString SeriesLog::read(const QString &path, std::vector<SeriesRow> &rows)
{
    Reading reading;
    return readLog(path, reading, rows);
}

QString SeriesLog::open(const QString &path)
{
    filePath.clear();
    cannotStore = false;
    const QString unreadable = readLog(path, reading, held);
    if (!unreadable.isEmpty())
        return unreadable;
    openedRows = held.size();
    // A folder that does not exist is a wrong name, not a failing disk.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return cannotWrite(path, QStringLiteral("le dossier %1 n'existe pas").arg(quoted(folder)));
    filePath = path;
    lockFile = std::make_unique<QLockFile>(path + LockSuffix);
    const QString failure = startFile();
    if (!failure.isEmpty()) {
        filePath.clear();
        cannotStore = true;
    }
    return failure;
}

// Whether rows can be stored: the lock can be made, the file appended to;
// a file without its header gets it, under the lock, as another program
// may be making the same file.
QString SeriesLog::startFile()
{
    if (reading.hasHeader) {
        if (!tryLock() && !lockHeldElsewhere())
            return lockFailure();
        unlock();
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return cannotWrite(filePath, file.errorString());
        return {};
    }
    if (!lockFile->tryLock(LockRetryMs * LockTries))
        return lockFailure();
    QString failure = reread();
    if (failure.isEmpty() && !reading.hasHeader)
        failure = writeRecord(Header);
    unlock();
    return failure;
}

bool SeriesLog::tryLock()
{
    return !isOpen() || lockFile->isLocked() || lockFile->tryLock(0);
}

bool SeriesLog::lockHeldElsewhere() const
{
    return isOpen() && lockFile->error() == QLockFile::LockFailedError;
}

QString SeriesLog::lockFailure() const
{
    const QString lockPath = filePath + LockSuffix;
    switch (lockFile->error()) {
    case QLockFile::NoError: break;
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host;
        QString application;
        if (!lockFile->getLockInfo(&pid, &host, &application))
            return QStringLiteral("%1 est verrouillé par un autre programme (%2)")
                .arg(quoted(filePath), quoted(lockPath));
        return QStringLiteral("%1 est verrouillé par %2 (processus %3 sur %4)")
            .arg(quoted(filePath), application.isEmpty() ? QStringLiteral("un autre programme") : application)
            .arg(pid)
            .arg(host.isEmpty() ? QStringLiteral("un autre poste") : host);
    }
    case QLockFile::PermissionError:
        return QStringLiteral("%1 : le verrou %2 ne peut pas être créé (droits du dossier)")
            .arg(quoted(filePath), quoted(lockPath));
    case QLockFile::UnknownError: break;
    }
    return QStringLiteral("%1 : le verrou %2 ne peut pas être créé (disque plein ou dossier "
                          "inaccessible)")
        .arg(quoted(filePath), quoted(lockPath));
}

void SeriesLog::unlock()
{
    if (lockFile && lockFile->isLocked())
        lockFile->unlock();
}

QString SeriesLog::reread()
{
    if (!isOpen())
        return {};
    // A log that vanished is not made again: its rows were the memory.
    const bool started = reading.hasHeader;
    if (started && !QFileInfo::exists(filePath))
        return QStringLiteral("%1 a disparu").arg(quoted(filePath));
    const QString failure = readLogOn(filePath, reading, held);
    if (!failure.isEmpty())
        return failure;
    if (started && !reading.hasHeader)
        return QStringLiteral("%1 a été vidé").arg(quoted(filePath));
    return {};
}

QString SeriesLog::append(const SeriesRow &row)
{
    if (!isOpen())
        return {};
    const QString failure =
        writeRecord({QString::number(row.number), row.address,
                     row.capacity > 0 ? QString::number(row.capacity) : QString(), row.serial,
                     row.time.toString(Qt::ISODate), row.result,
                     row.kind ? unitKindText(*row.kind, row.size) : QString()});
    if (!failure.isEmpty())
        return failure;
    held.push_back(row);
    held.back().line = reading.records;
    return {};
}

SeriesLog::Reservation SeriesLog::reserve(const std::function<std::optional<int>()> &choose,
                                          const std::function<SeriesRow(int)> &rowFor)
{
    Reservation reservation;
    reservation.failure = reread();
    if (reservation.failure.isEmpty()) {
        reservation.number = choose();
        if (reservation.number)
            reservation.failure = append(rowFor(*reservation.number));
        if (!reservation.failure.isEmpty())
            reservation.number.reset();
    }
    return reservation;
}

// Appends one record, straight to the system and then to the disk: a
// record the system took only in part (a full disk) is cut off again, so
// that the file stays a complete CSV file.
QString SeriesLog::writeRecord(const QStringList &fields)
{
    if (reading.hasHeader && !QFileInfo::exists(filePath))
        return QStringLiteral("%1 a disparu").arg(quoted(filePath));
    QStringList cells;
    for (const QString &field : fields)
        cells << csvField(field, reading.separator);
    QByteArray bytes = (cells.join(reading.separator) + LineEnd).toUtf8();
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return cannotWrite(filePath, file.errorString());
    const qint64 before = file.size();
    if (before == 0)
        bytes.prepend(Utf8ByteOrderMark);
    const qint64 written = file.write(bytes);
    const bool whole = written == bytes.size();
    if (!whole || !syncFile(file.handle())) {
        QString why = QStringLiteral("le système ne peut pas l'écrire sur le disque");
        if (written < 0)
            why = file.errorString();
        else if (!whole)
            why = QStringLiteral("%1 octets écrits sur %2, disque plein").arg(written).arg(bytes.size());
        file.resize(before);
        return cannotWrite(filePath, why);
    }
    // What another program appended meanwhile is read the next time.
    if (before != reading.size) {
        reading.size = ReadWhole;
        return {};
    }
    noteRead(reading, bytes);
    if (!reading.hasHeader) {
        reading.hasHeader = true;
        reading.columns = static_cast<int>(fields.size());
    }
    ++reading.records;
    return {};
}

QString lockSeriesLog(SeriesLog &log, const std::function<void(int)> &pause)
{
    for (int tries = 1; !log.tryLock(); ++tries) {
        if (tries >= SeriesLog::LockTries || !log.lockHeldElsewhere())
            return log.lockFailure();
        pause(SeriesLog::LockRetryMs);
    }
    return {};
}
