#include "series/serieslog.h"

#include <QStringList>

#include <algorithm>

namespace {

const QStringList Header = {
    QStringLiteral("numéro"), QStringLiteral("adresse"), QStringLiteral("capacité"),
    QStringLiteral("série"),  QStringLiteral("heure"),   QStringLiteral("résultat"),
};

// A French Excel splits a CSV file into columns at semicolons, and reads it
// as UTF-8 only behind a byte-order mark; LibreOffice reads it so too.
const QChar Separator = QLatin1Char(';');
const QByteArray Utf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

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

} // namespace

QString SeriesLog::open(const QString &path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("« %1 » : écriture impossible").arg(path);
    if (file.size() == 0) {
        file.write(Utf8ByteOrderMark);
        writeRecord(Header);
    }
    return {};
}

void SeriesLog::append(const SeriesRow &row)
{
    if (!isOpen())
        return;
    writeRecord({QString::number(row.number), row.address,
                 row.capacity > 0 ? QString::number(row.capacity) : QString(), row.serial,
                 row.time.toString(Qt::ISODate), row.result});
}

void SeriesLog::writeRecord(const QStringList &fields)
{
    QStringList cells;
    for (const QString &field : fields)
        cells << csvField(field);
    file.write((cells.join(Separator) + QLatin1Char('\n')).toUtf8());
    file.flush();
}
