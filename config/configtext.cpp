#include "config/configtext.h"

#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "protocol/itemnames.h"

#include <algorithm>

namespace {

const QString CapacityCaption = QStringLiteral("Max Univers");
const QString Separator = QStringLiteral(" : ");

QString chipText(int code)
{
    return code < chipNames().size() ? chipNames()[code]
                                     : QStringLiteral("code %1 (inconnu)").arg(code);
}

QString slotsText(const FieldTexts &texts, const FieldSpec &field)
{
    const QChar separator = field.kind == FieldKind::Address ? QLatin1Char('.') : QLatin1Char(' ');
    QStringList parts;
    for (int slot = field.firstSlot; slot < field.firstSlot + field.slotCount; ++slot)
        parts << texts[slot];
    return parts.join(separator);
}

int captionWidth()
{
    int width = CapacityCaption.size();
    for (const FieldSpec &field : namedFields())
        width = std::max(width, static_cast<int>(field.caption.size()));
    return width;
}

QString line(const QString &caption, const QString &value)
{
    return caption.leftJustified(captionWidth()) + Separator + value;
}

} // namespace

QString fieldText(const FieldSpec &field, const NodeReport &report)
{
    FieldTexts texts;
    int chip = 0;
    decodeFields(report, texts, chip);
    return field.kind == FieldKind::Chip ? chipText(chip) : slotsText(texts, field);
}

QString addressText(const NodeReport &report)
{
    return fieldText(namedFields().front(), report);
}

QStringList configurationLines(const NodeReport &report)
{
    QStringList lines;
    for (const FieldSpec &field : namedFields())
        lines << line(field.caption, fieldText(field, report));
    lines << line(CapacityCaption, QString::number(capacityFromByte(report[Report::MaxUniverses])));
    return lines;
}

QStringList differenceLines(const NodeReport &written, const NodeReport &readBack)
{
    QStringList lines;
    for (const FieldSpec &field : namedFields()) {
        const QString wrote = fieldText(field, written);
        const QString read = fieldText(field, readBack);
        if (wrote != read)
            lines << QStringLiteral("%1 : écrit %2, relu %3").arg(field.caption, wrote, read);
    }
    return lines;
}
