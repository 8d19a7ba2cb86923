#include "config/configfile.h"

#include "app/messages.h"
#include "config/configtext.h"
#include "config/jsonkeys.h"
#include "protocol/encoding.h"
#include "protocol/fieldmap.h"
#include "protocol/itemnames.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <cmath>

namespace ConfigFile {
namespace {

const QString VersionKey = QStringLiteral("formatVersion");
const QString CapacityKey = QStringLiteral("capacity");
const QString ReservedKey = QStringLiteral("reserved");
constexpr int ReservedCount = static_cast<int>(Report::Size - Report::Reserved);
constexpr int HexDigitsPerByte = 2;
// Far above any configuration file; a larger file is not one.
constexpr qint64 LargestFile = 1024 * 1024;
// Whole numbers beyond this are not taken for exact integers.
constexpr double LargestWholeNumber = 1e15;

Parsed refused(const QString &failure)
{
    Parsed parsed;
    parsed.failure = failure;
    return parsed;
}

QString parseErrorText(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject: return QStringLiteral("objet non terminé");
    case QJsonParseError::MissingNameSeparator: return QStringLiteral("« : » manquant après un nom");
    case QJsonParseError::UnterminatedArray: return QStringLiteral("tableau non terminé");
    case QJsonParseError::MissingValueSeparator: return QStringLiteral("« , » manquante entre deux valeurs");
    case QJsonParseError::IllegalValue: return QStringLiteral("valeur illisible");
    case QJsonParseError::TerminationByNumber: return QStringLiteral("fin du texte au milieu d'un nombre");
    case QJsonParseError::IllegalNumber: return QStringLiteral("nombre illisible");
    case QJsonParseError::IllegalEscapeSequence: return QStringLiteral("séquence d'échappement illisible");
    case QJsonParseError::IllegalUTF8String: return QStringLiteral("texte qui n'est pas de l'UTF-8");
    case QJsonParseError::UnterminatedString: return QStringLiteral("chaîne non terminée");
    case QJsonParseError::MissingObject: return QStringLiteral("objet attendu");
    case QJsonParseError::DeepNesting: return QStringLiteral("imbrication trop profonde");
    case QJsonParseError::DocumentTooLarge: return QStringLiteral("document trop grand");
    case QJsonParseError::GarbageAtEnd: return QStringLiteral("texte en trop après la fin");
    default: return QStringLiteral("erreur de syntaxe");
    }
}

QString octetsText(const NodeReport &report, std::size_t offset, int count)
{
    QStringList octets;
    for (int i = 0; i < count; ++i)
        octets << byteToDecimalText(report[offset + static_cast<std::size_t>(i)]);
    return octets.join(QLatin1Char('.'));
}

QJsonArray patchArray(const NodeReport &report, std::size_t offset, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(report[offset + static_cast<std::size_t>(i)]);
    return array;
}

QJsonValue chipValue(std::uint8_t code)
{
    // A code outside the list has no name: it is kept as a number, which
    // a load then refuses by name.
    return code < chipNames().size() ? QJsonValue(chipNames()[code]) : QJsonValue(code);
}

QJsonValue fieldValue(const FieldSpec &field, const NodeReport &report)
{
    const std::size_t offset = field.kind == FieldKind::Chip
        ? Report::OutputType
        : Slot::reportOffset(field.firstSlot);
    switch (field.kind) {
    case FieldKind::Address: return octetsText(report, offset, field.slotCount);
    case FieldKind::Byte: return report[offset];
    case FieldKind::Clock: return frequencyTextToMhz(frequencyByteToText(report[offset]));
    case FieldKind::Patch: return patchArray(report, offset, field.slotCount);
    case FieldKind::Chip: return chipValue(report[offset]);
    }
    return {};
}

QString reservedText(const NodeReport &report)
{
    const QByteArray bytes(reinterpret_cast<const char *>(report.data() + Report::Reserved),
                           ReservedCount);
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

std::optional<QString> wholeNumberText(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || std::fabs(number) > LargestWholeNumber)
        return std::nullopt;
    return QString::number(static_cast<qint64>(number));
}

// The text a user would have typed for a field, or nullopt for a value of
// the wrong JSON type.
std::optional<QString> valueText(const FieldSpec &field, const QJsonValue &value)
{
    switch (field.kind) {
    case FieldKind::Address:
    case FieldKind::Chip:
        return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
    case FieldKind::Byte: return wholeNumberText(value);
    case FieldKind::Clock:
        return value.isDouble() ? std::optional<QString>(QString::number(
                                      value.toDouble(), 'g', QLocale::FloatingPointShortest))
                                : std::nullopt;
    case FieldKind::Patch: {
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != field.slotCount)
            return std::nullopt;
        QStringList numbers;
        for (const QJsonValue &element : array) {
            const std::optional<QString> number = wholeNumberText(element);
            if (!number)
                return std::nullopt;
            numbers << *number;
        }
        return numbers.join(QLatin1Char(','));
    }
    }
    return std::nullopt;
}

QString expectedType(const FieldSpec &field)
{
    switch (field.kind) {
    case FieldKind::Address: return QStringLiteral("une chaîne \"a.b.c.d\" est attendue");
    case FieldKind::Byte: return QStringLiteral("un nombre entier de 0 à 255 est attendu");
    case FieldKind::Clock: return QStringLiteral("un nombre de MHz est attendu (par exemple 0.8)");
    case FieldKind::Patch:
        return QStringLiteral("un tableau de %1 nombres entiers est attendu").arg(field.slotCount);
    case FieldKind::Chip:
        return QStringLiteral("le nom d'un type de sortie est attendu (%1)")
            .arg(chipNames().join(QStringLiteral(", ")));
    }
    return {};
}

QStringList knownKeys()
{
    QStringList keys{VersionKey};
    for (const FieldSpec &field : namedFields())
        keys << field.fileKey;
    keys << CapacityKey << ReservedKey;
    return keys;
}

QString missing(const QString &key)
{
    return QStringLiteral("%1 : %2 (clé absente)").arg(quoted(key), message(Status::FillAllFields));
}

QString versionFailure(const QJsonObject &object)
{
    if (!object.contains(VersionKey))
        return QStringLiteral("clé %1 absente : ce n'est pas un fichier de configuration de "
                              "nodeconfig-cli")
            .arg(quoted(VersionKey));
    const std::optional<QString> version = wholeNumberText(object.value(VersionKey));
    if (!version)
        return QStringLiteral("%1 : un nombre entier est attendu").arg(quoted(VersionKey));
    if (*version != QString::number(FormatVersion))
        return QStringLiteral("%1 : version %2 inconnue (ce programme lit la version %3)")
            .arg(quoted(VersionKey), *version, QString::number(FormatVersion));
    return {};
}

QString unknownKeyFailure(const QJsonObject &object)
{
    const QStringList known = knownKeys();
    for (const QString &key : object.keys()) {
        if (!known.contains(key))
            return QStringLiteral("clé inconnue %1 (clés connues : %2)")
                .arg(quoted(key), known.join(QStringLiteral(", ")));
    }
    return {};
}

QString fieldFailure(const QJsonObject &object, const FieldSpec &field, ConfigForm &form)
{
    if (!object.contains(field.fileKey))
        return missing(field.fileKey);
    const std::optional<QString> text = valueText(field, object.value(field.fileKey));
    if (!text)
        return QStringLiteral("%1 : %2").arg(quoted(field.fileKey), expectedType(field));
    const QString problem = form.assign(field, *text);
    return problem.isEmpty() ? problem
                             : QStringLiteral("%1 : %2").arg(quoted(field.fileKey), problem);
}

QString capacityFailure(const QJsonObject &object, int &capacity)
{
    if (!object.contains(CapacityKey))
        return missing(CapacityKey);
    const std::optional<QString> text = wholeNumberText(object.value(CapacityKey));
    capacity = text ? text->toInt() : 0;
    if (capacity != SmallCapacity && capacity != LargeCapacity)
        return QStringLiteral("%1 : %2 ou %3 univers est attendu")
            .arg(quoted(CapacityKey))
            .arg(SmallCapacity)
            .arg(LargeCapacity);
    return {};
}

QString reservedFailure(const QJsonObject &object, NodeReport &reserved)
{
    if (!object.contains(ReservedKey))
        return missing(ReservedKey);
    static const QRegularExpression hex(
        QStringLiteral("^[0-9A-Fa-f]{%1}$").arg(ReservedCount * HexDigitsPerByte));
    const QJsonValue value = object.value(ReservedKey);
    QString digits = value.toString();
    digits.remove(QLatin1Char(' '));
    if (!value.isString() || !hex.match(digits).hasMatch())
        return QStringLiteral("%1 : %2 octets en hexadécimal sont attendus (octets 34 à 63)")
            .arg(quoted(ReservedKey))
            .arg(ReservedCount);
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    std::copy(bytes.begin(), bytes.end(), reserved.begin() + Report::Reserved);
    return {};
}

QString objectFailure(const QJsonObject &object, ConfigForm &form, int &capacity)
{
    QString failure = versionFailure(object);
    if (failure.isEmpty())
        failure = unknownKeyFailure(object);
    for (const FieldSpec &field : namedFields()) {
        if (failure.isEmpty())
            failure = fieldFailure(object, field, form);
    }
    if (failure.isEmpty())
        failure = capacityFailure(object, capacity);
    NodeReport reserved{};
    if (failure.isEmpty())
        failure = reservedFailure(object, reserved);
    form.setReserved(reserved);
    form.setCapacity(capacity);
    if (failure.isEmpty())
        failure = form.failure();
    return failure;
}

} // namespace

QByteArray toJson(const NodeReport &report)
{
    QJsonObject object;
    object.insert(VersionKey, FormatVersion);
    for (const FieldSpec &field : namedFields())
        object.insert(field.fileKey, fieldValue(field, report));
    object.insert(CapacityKey, capacityFromByte(report[Report::MaxUniverses]));
    object.insert(ReservedKey, reservedText(report));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

Parsed fromJson(const QByteArray &json)
{
    if (const std::optional<QString> repeated = firstRepeatedKey(json))
        return refused(QStringLiteral("clé %1 en double").arg(quoted(*repeated)));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(QStringLiteral("JSON mal formé à l'octet %1 : %2")
                           .arg(error.offset)
                           .arg(parseErrorText(error.error)));
    if (!document.isObject())
        return refused(QStringLiteral("le fichier doit contenir un objet JSON { ... }"));

    Parsed parsed;
    ConfigForm form;
    parsed.failure = objectFailure(document.object(), form, parsed.capacity);
    if (parsed.failure.isEmpty())
        parsed.form = form;
    return parsed;
}

Parsed read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return refused(QStringLiteral("%1 : fichier introuvable").arg(quoted(path)));
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("%1 : lecture impossible").arg(quoted(path)));
    // Read with a bound: a device or a pipe ("/dev/zero") tells no size
    // and may never end.
    const QByteArray content = file.read(LargestFile + 1);
    if (content.size() > LargestFile)
        return refused(QStringLiteral("%1 : trop grand pour un fichier de configuration")
                           .arg(quoted(path)));
    Parsed parsed = fromJson(content);
    if (!parsed.failure.isEmpty())
        parsed.failure = QStringLiteral("%1 : %2").arg(quoted(path), parsed.failure);
    return parsed;
}

QString write(const QString &path, const NodeReport &report)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(toJson(report)) >= 0 && file.commit())
        return {};
    return QStringLiteral("%1 : écriture impossible (%2)").arg(quoted(path), file.errorString());
}

} // namespace ConfigFile
