#include "ui/fitmemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// One line: the fingerprint in hexadecimal, then the numbers in order.
enum Field { FingerprintField, SizeStepsField, StretchField, MisfitItemField, MisfitTextField, FieldCount };
constexpr char FieldSeparator = ' ';
// Far more than a line of this form: a longer file is not one.
constexpr qint64 LongestLine = 256;

} // namespace

std::optional<RememberedFit> readRememberedFit(const QString &file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> fields = input.readLine(LongestLine).trimmed().split(FieldSeparator);
    if (fields.size() != FieldCount)
        return std::nullopt;
    bool allRead = true;
    const auto number = [&](Field field) {
        bool read = false;
        const int value = fields[field].toInt(&read);
        allRead = allRead && read;
        return value;
    };
    const RememberedFit fit{QByteArray::fromHex(fields[FingerprintField]), number(SizeStepsField),
                            number(StretchField), number(MisfitItemField), number(MisfitTextField)};
    if (fit.fingerprint.isEmpty() || !allRead)
        return std::nullopt;
    return fit;
}

void writeRememberedFit(const QString &file, const RememberedFit &fit)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly))
        return;
    QByteArray line = fit.fingerprint.toHex();
    for (const int number : {fit.sizeSteps, fit.stretch, fit.misfitItem, fit.misfitText})
        line += FieldSeparator + QByteArray::number(number);
    output.write(line + '\n');
    output.commit();
}
