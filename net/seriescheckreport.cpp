#include "net/seriescheckreport.h"

#include "net/nodetext.h"

namespace {

QString numbersText(const std::vector<int> &numbers)
{
    QStringList parts;
    for (const int number : numbers)
        parts << QString::number(number);
    return parts.join(QStringLiteral(", "));
}

QString unitCheckLine(const UnitCheck &check)
{
    const QString unit = QStringLiteral("Unité %1 (%2)").arg(check.unit.number).arg(check.unit.address);
    if (!check.seen)
        return QStringLiteral("%1 : absente").arg(unit);
    QString line = QStringLiteral("%1 : présente, univers %2").arg(unit, universesText(check.reported));
    if (check.kindKnown)
        line += QStringLiteral(" ; son préréglage : %1").arg(numbersText(check.expected));
    if (!check.universesMatch)
        line += QStringLiteral(" : ne correspondent ni en comptant de 0 ni en comptant de 1");
    if (check.duplicate)
        line += QStringLiteral(" ; plusieurs nodes répondent à cette adresse");
    return line;
}

} // namespace

QStringList seriesCheckLines(const SeriesCheck &check)
{
    QStringList lines;
    for (const UnitCheck &unit : check.units)
        lines << unitCheckLine(unit);
    for (const SeenNode &extra : check.extraNodes)
        lines << QStringLiteral("Hors du journal : ") + nodeLine(extra);
    const std::vector<int> missing = check.missingNumbers();
    lines << QStringLiteral("Bilan : %1 unités sur %2 présentes, %3 absentes, %4 adresses en "
                            "double, %5 nodes hors du journal")
                 .arg(check.units.size() - missing.size())
                 .arg(check.units.size())
                 .arg(missing.size())
                 .arg(check.duplicateAddresses().size())
                 .arg(check.extraNodeCount());
    return lines;
}
