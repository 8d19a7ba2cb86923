#include "config/fieldtable.h"

#include "protocol/fieldmap.h"
#include "protocol/nodereport.h"

#include <QStringList>

namespace {

constexpr int NoSlot = -1;

// One-slot fields under the window's object names: prefix + 1..count.
struct EditRow {
    const char *prefix;
    int firstSlot;
    int count;
};

const EditRow editRows[] = {
    {"ipa", Slot::IpAddress, Report::IpOctets},
    {"ipm", Slot::IpMask, Report::IpOctets},
    {"ipb", Slot::IpBroadcast, Report::IpOctets},
    {"spi1p", Slot::Spi1Patch, Report::PatchSlots},
    {"spi2p", Slot::Spi2Patch, Report::PatchSlots},
};

std::vector<FieldSpec> makeNamedFields()
{
    const auto text = [](const char *latin) { return QString::fromUtf8(latin); };
    return {
        {text("ip"), text("address"), text("IP"), FieldKind::Address, Slot::IpAddress,
         Report::IpOctets},
        {text("mask"), text("mask"), text("IP Mask"), FieldKind::Address, Slot::IpMask,
         Report::IpOctets},
        {text("broadcast"), text("broadcast"), text("IP Broadcast"), FieldKind::Address,
         Slot::IpBroadcast, Report::IpOctets},
        {text("offset"), text("universeOffset"), text("Offset Univers"), FieldKind::Byte,
         Slot::UniverseOffset, 1},
        {text("output"), text("output"), text("Output"), FieldKind::Chip, NoSlot, 0},
        {text("spi1freq"), text("spi1ClockMHz"), text("SPI1 Freq MHz"), FieldKind::Clock,
         Slot::Spi1Freq, 1},
        {text("spi1patch"), text("spi1Patch"), text("SPI1 Patch"), FieldKind::Patch,
         Slot::Spi1Patch, Report::PatchSlots},
        {text("spi2freq"), text("spi2ClockMHz"), text("SPI2 Freq MHz"), FieldKind::Clock,
         Slot::Spi2Freq, 1},
        {text("spi2patch"), text("spi2Patch"), text("SPI2 Patch"), FieldKind::Patch,
         Slot::Spi2Patch, Report::PatchSlots},
    };
}

std::vector<FieldSpec> makeEditFields()
{
    std::vector<FieldSpec> fields;
    for (const EditRow &row : editRows) {
        for (int i = 0; i < row.count; ++i) {
            const QString name = QString::fromLatin1(row.prefix) + QString::number(i + 1);
            fields.push_back({name, QString(), name, FieldKind::Byte, row.firstSlot + i, 1});
        }
    }
    return fields;
}

const std::vector<FieldSpec> &editFields()
{
    static const std::vector<FieldSpec> fields = makeEditFields();
    return fields;
}

} // namespace

const std::vector<FieldSpec> &namedFields()
{
    static const std::vector<FieldSpec> fields = makeNamedFields();
    return fields;
}

std::optional<FieldSpec> findField(const QString &name)
{
    const auto same = [&name](const QString &candidate) {
        return !candidate.isEmpty() && candidate.compare(name, Qt::CaseInsensitive) == 0;
    };
    for (const FieldSpec &field : namedFields()) {
        if (same(field.name) || same(field.fileKey))
            return field;
    }
    for (const FieldSpec &field : editFields()) {
        if (same(field.name))
            return field;
    }
    return std::nullopt;
}

QStringList fieldNames()
{
    QStringList names;
    for (const FieldSpec &field : namedFields())
        names << field.name;
    for (const EditRow &row : editRows)
        names << QString::fromLatin1(row.prefix) + QStringLiteral("1..")
                     + QString::number(row.count);
    return names;
}
