#include "series/serieslog.h"

#include "config/configtext.h"
#include "protocol/itemnames.h"
#include "series/csvrecords.h"

#include <QFileInfo>
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
// as UTF-8 only behind a byte-order mark; LibreOffice reads it so too.
const QChar Separator = QLatin1Char(';');
const QByteArray Utf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
const QString CurtainWord = QStringLiteral("rideau");
const QString CostumeWord = QStringLiteral("costume");
const QString FailedPrefix = QStringLiteral("échec : ");
constexpr int FirstRowLine = 2; // the header is line 1
constexpr int LargestNumberText = 255;

// A field as CSV takes it: quoted, with doubled quotes, when it holds a
// separator, a quote or a line break.
QString csvField(const QString &text)
{
    static const QString special = QString(Separator) + QStringLiteral("\"\r\n");
    const bool plain = std::none_of(text.begin(), text.end(),
                                    [](QChar c) { return special.contains(c); });
    if (plain)
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

std::optional<int> wholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch() || text.toInt() > LargestNumberText)
        return std::nullopt;
    return text.toInt();
}

// The unit a log's unit column names; false for a text it does not know.
bool parseKind(const QString &text, SeriesRow &row)
{
    if (text.isEmpty())
        return true;
    if (text == CostumeWord) {
        row.kind = UnitKind::Costume;
        return true;
    }
    const QStringList &sizes = curtainSizeNames();
    for (int size = 0; size < sizes.size(); ++size) {
        if (text == unitKindText(UnitKind::Curtain, size)) {
            row.kind = UnitKind::Curtain;
            row.size = size;
            return true;
        }
    }
    return false;
}

// One record as a row, or the reason it is not one.
QString parseRow(const QStringList &fields, int columns, SeriesRow &row)
{
    // Rows appended to an old log carry the unit column its header lacks.
    const bool oldHeaderRow = columns == OldHeader.size() && fields.size() == Header.size();
    if (fields.size() != columns && !oldHeaderRow)
        return QStringLiteral("%1 colonnes au lieu de %2").arg(fields.size()).arg(columns);
    const std::optional<int> number = wholeNumber(fields[NumberColumn]);
    if (!number)
        return QStringLiteral("numéro %1 illisible").arg(quoted(fields[NumberColumn]));
    row.number = *number;
    row.address = fields[AddressColumn];
    row.capacity = fields[CapacityColumn].toInt();
    row.serial = fields[SerialColumn];
    row.time = QDateTime::fromString(fields[TimeColumn], Qt::ISODate);
    row.result = fields[ResultColumn];
    if (fields.size() > KindColumn && !parseKind(fields[KindColumn], row))
        return QStringLiteral("unité %1 inconnue").arg(quoted(fields[KindColumn]));
    return {};
}

QString notASeriesLog(const QString &path, const QString &why)
{
    return QStringLiteral("%1 n'est pas un journal de série (%2)").arg(quoted(path), why);
}

// The file's text, or the reason it cannot be had.
QString readText(const QString &path, QString &text)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 est un dossier, pas un journal de série").arg(quoted(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 : lecture impossible (%2)").arg(quoted(path), file.errorString());
    QByteArray content = file.readAll();
    if (content.startsWith(Utf8ByteOrderMark))
        content.remove(0, Utf8ByteOrderMark.size());
    text = QString::fromUtf8(content.constData(), content.size());
    if (text.toUtf8() != content)
        return notASeriesLog(path, QStringLiteral("pas du texte UTF-8"));
    return {};
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
} // namespace SeriesResult

bool SeriesRow::verified() const
{
    return result == SeriesResult::verified();
}

QString unitKindText(UnitKind kind, int size)
{
    if (kind == UnitKind::Costume)
        return CostumeWord;
    return CurtainWord + QLatin1Char(' ') + curtainSizeNames().value(size);
}

QString SeriesLog::read(const QString &path, std::vector<SeriesRow> &rows)
{
    bool hasHeader = false;
    return readRows(path, rows, hasHeader);
}

QString SeriesLog::readRows(const QString &path, std::vector<SeriesRow> &rows, bool &hasHeader)
{
    rows.clear();
    hasHeader = false;
    if (!QFileInfo::exists(path))
        return {};
    QString text;
    const QString unreadable = readText(path, text);
    if (!unreadable.isEmpty())
        return unreadable;
    if (text.isEmpty())
        return {};
    const std::optional<std::vector<QStringList>> records = readStrictCsv(text, Separator);
    if (!records)
        return notASeriesLog(path, QStringLiteral("pas un fichier CSV complet"));
    const QStringList &header = records->front();
    if (header != Header && header != OldHeader)
        return notASeriesLog(path, QStringLiteral("en-tête %1").arg(quoted(header.join(Separator))));
    hasHeader = true;
    for (std::size_t index = 1; index < records->size(); ++index) {
        SeriesRow row;
        row.line = static_cast<int>(index) - 1 + FirstRowLine;
        const QString failure = parseRow((*records)[index], header.size(), row);
        if (!failure.isEmpty()) {
            rows.clear();
            return notASeriesLog(path, QStringLiteral("ligne %1 : %2").arg(row.line).arg(failure));
        }
        rows.push_back(row);
    }
    return {};
}

QString SeriesLog::open(const QString &path)
{
    bool hasHeader = false;
    const QString unreadable = readRows(path, held, hasHeader);
    if (!unreadable.isEmpty())
        return unreadable;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("%1 : écriture impossible").arg(quoted(path));
    if (file.size() == 0)
        file.write(Utf8ByteOrderMark);
    if (!hasHeader)
        writeRecord(Header);
    return {};
}

void SeriesLog::append(const SeriesRow &row)
{
    if (!isOpen())
        return;
    writeRecord({QString::number(row.number), row.address,
                 row.capacity > 0 ? QString::number(row.capacity) : QString(), row.serial,
                 row.time.toString(Qt::ISODate), row.result,
                 row.kind ? unitKindText(*row.kind, row.size) : QString()});
    held.push_back(row);
}

void SeriesLog::writeRecord(const QStringList &fields)
{
    QStringList cells;
    for (const QString &field : fields)
        cells << csvField(field);
    file.write((cells.join(Separator) + QLatin1Char('\n')).toUtf8());
    file.flush();
}
