#include "protocol/decode.h"

#include "app/sharedstate.h"
#include "protocol/encoding.h"
#include "protocol/fieldmap.h"

void decodeFields(const NodeReport &report, FieldTexts &fields, int &chipCode)
{
    chipCode = report[Report::OutputType];
    for (int slot = 0; slot < Slot::Count; ++slot) {
        const std::uint8_t byte = report[Slot::reportOffset(slot)];
        if (slot == Slot::MaxUniverses)
            fields[slot] = QString::number(capacityFromByte(byte));
        else if (Slot::isFrequency(slot))
            fields[slot] = frequencyByteToText(byte);
        else
            fields[slot] = byteToDecimalText(byte);
    }
}

void decodeReport(const NodeReport &report)
{
    decodeFields(report, DisplayFields, outputTypeIndex);
    dataReady = true;
}

void encodeFields(const FieldTexts &fields, int chipCode, NodeReport &report)
{
    report[Report::OutputType] = static_cast<std::uint8_t>(chipCode);
    for (int slot = 0; slot < Slot::Count; ++slot) {
        report[Slot::reportOffset(slot)] = Slot::isFrequency(slot)
            ? frequencyTextToByte(fields[slot])
            : decimalTextToByte(fields[slot]);
    }
}
