#include "config/configform.h"

#include "app/messages.h"
#include "config/configtext.h"
#include "protocol/encoding.h"
#include "protocol/fieldmap.h"
#include "protocol/itemnames.h"
#include "protocol/validation.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

const QChar AddressSeparator = QLatin1Char('.');
const QChar PatchSeparator = QLatin1Char(',');

// What the byte edits take: whole numbers 0..255.
QString byteProblem(const QString &text)
{
    if (text.isEmpty())
        return message(Status::FillAllFields);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool ok = false;
    const unsigned value = text.toUInt(&ok);
    if (!digits.match(text).hasMatch() || !ok || value > static_cast<unsigned>(ByteFieldMax))
        return QStringLiteral("%1 n'est pas un nombre entier de %2 à %3")
            .arg(quoted(text))
            .arg(ByteFieldMin)
            .arg(ByteFieldMax);
    return {};
}

// What the clock edits take: digits with a decimal comma or point and at
// most two decimals. The range is the send's check, as in the window.
QString clockProblem(const QString &text)
{
    if (text.isEmpty())
        return message(Status::FillAllFields);
    static const QRegularExpression clock(QStringLiteral("^[0-9]*(?:[.,]([0-9]*))?$"));
    const QRegularExpressionMatch match = clock.match(text);
    if (!match.hasMatch())
        return QStringLiteral("%1 n'est pas une fréquence en MHz (par exemple 0,8)")
            .arg(quoted(text));
    if (match.captured(1).size() > ClockDecimals)
        return QStringLiteral("%1 : au plus %2 décimales").arg(quoted(text)).arg(ClockDecimals);
    return {};
}

// A clock the node cannot hold exactly: it counts in 50 kHz steps, and the
// window would quietly write the step below.
bool offClockStep(const QString &text)
{
    const QString stepText = frequencyByteToText(frequencyTextToByte(text));
    return frequencyTextToMhz(stepText) != frequencyTextToMhz(text);
}

QString chipList()
{
    return chipNames().join(QStringLiteral(", "));
}

} // namespace

int chipCodeOf(const QString &name)
{
    const QStringList &names = chipNames();
    for (int code = 0; code < names.size(); ++code) {
        if (names[code].compare(name, Qt::CaseInsensitive) == 0)
            return code;
    }
    return -1;
}

ConfigForm::ConfigForm(const NodeReport &current) : base(current)
{
    decodeFields(current, texts, chipCode);
}

QString ConfigForm::assign(const FieldSpec &field, const QString &value)
{
    if (value.isEmpty())
        return message(Status::FillAllFields);
    if (field.kind == FieldKind::Chip) {
        const int code = chipCodeOf(value);
        if (code < 0)
            return QStringLiteral("%1 n'est pas un type de sortie connu (%2)")
                .arg(quoted(value), chipList());
        chipCode = code;
        return {};
    }
    if (field.kind == FieldKind::Clock) {
        const QString problem = clockProblem(value);
        if (problem.isEmpty())
            texts[field.firstSlot] = value;
        return problem;
    }

    const QChar separator =
        field.kind == FieldKind::Address ? AddressSeparator : PatchSeparator;
    const QStringList parts =
        field.slotCount == 1 ? QStringList{value} : value.split(separator);
    if (parts.size() != field.slotCount) {
        return field.kind == FieldKind::Address
            ? QStringLiteral("%1 n'est pas une adresse de quatre nombres a.b.c.d")
                  .arg(quoted(value))
            : QStringLiteral("%1 : %2 numéros d'univers séparés par des virgules sont attendus")
                  .arg(quoted(value))
                  .arg(field.slotCount);
    }
    for (const QString &part : parts) {
        const QString problem = byteProblem(part);
        if (!problem.isEmpty())
            return problem;
    }
    std::copy(parts.begin(), parts.end(), texts.begin() + field.firstSlot);
    return {};
}

void ConfigForm::setReserved(const NodeReport &source)
{
    std::copy(source.begin() + Report::Reserved, source.end(), base.begin() + Report::Reserved);
}

void ConfigForm::setCapacity(int universes)
{
    texts[Slot::MaxUniverses] = QString::number(universes);
}

QString ConfigForm::failure() const
{
    ConfigTexts edits;
    std::copy(texts.begin(), texts.begin() + Slot::EditCount, edits.begin());
    const QString formFailure = configurationFailure(edits);
    if (!formFailure.isEmpty())
        return formFailure;
    for (const FieldSpec &field : namedFields()) {
        if (field.kind == FieldKind::Clock && offClockStep(texts[field.firstSlot]))
            return QStringLiteral("%1 : %2 n'est pas un multiple de 0,05 MHz "
                                  "(le node compte par pas de 50 kHz)")
                .arg(field.caption, quoted(texts[field.firstSlot]));
    }
    return {};
}

NodeReport ConfigForm::report() const
{
    NodeReport written = base;
    encodeFields(texts, chipCode, written);
    written[Report::Command] = cmdWriteConfig;
    return written;
}
