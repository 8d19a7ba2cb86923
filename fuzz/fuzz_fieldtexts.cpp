// The window's field texts: any text in any of the 31 edits goes through
// the edit's validator and the form's checks without fault. A text both
// accept encodes to bytes that decode to texts they accept again, which
// encode to the same bytes: a byte field keeps its value, a clock the 50 kHz
// step at or below it. Under Qt 5, the clock fields' validator gives every
// text the state, the text and the cursor that Qt's own QDoubleValidator
// gives, as it promises to do under every Qt.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzwindow.h"

#include "config/fieldtable.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "protocol/fieldmap.h"
#include "protocol/presets.h"
#include "protocol/validation.h"
#include "ui/mainwindow.h"

#include <QDoubleValidator>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QVersionNumber>

#include <array>

namespace {

using Edits = std::array<QLineEdit *, Slot::EditCount>;

Edits edits{};
const std::array<QLocale, 2> locales = {QLocale::c(), QLocale(QLocale::French, QLocale::France)};
constexpr double StepMhz = 0.05;

// The window's edits by slot, found by their object names.
Edits windowEdits(const MainWindow &window)
{
    Edits found{};
    for (QLineEdit *const edit : window.findChildren<QLineEdit *>()) {
        const std::optional<FieldSpec> field = findField(edit->objectName());
        if (field && field->kind != FieldKind::Chip && field->slotCount == 1)
            found[static_cast<std::size_t>(field->firstSlot)] = edit;
    }
    for (QLineEdit *const edit : found)
        fuzzCheck(edit != nullptr && edit->validator() != nullptr, "every edit has a validator");
    return found;
}

bool qt5Validators()
{
    return QLibraryInfo::version() < QVersionNumber(6);
}

// The state, text and cursor Qt's own validator gives, set up as the
// window sets up the clock fields' one.
void checkAsQtValidator(const QDoubleValidator &validator, const QString &text,
                        QValidator::State state, const QString &validated, int pos)
{
    QDoubleValidator reference(validator.bottom(), validator.top(), validator.decimals());
    reference.setNotation(validator.notation());
    reference.setLocale(validator.locale());
    QString referenceText = text;
    int referencePos = static_cast<int>(text.size());
    const QValidator::State referenceState = reference.validate(referenceText, referencePos);
    const QString details = QStringLiteral("%1 under %2: %3 %4 %5, Qt %6 %7 %8")
                                .arg(fuzzQuoted(text), validator.locale().name())
                                .arg(state)
                                .arg(fuzzQuoted(validated))
                                .arg(pos)
                                .arg(referenceState)
                                .arg(fuzzQuoted(referenceText))
                                .arg(referencePos);
    fuzzCheck(state == referenceState && validated == referenceText && pos == referencePos,
              "the clock validator validates as Qt 5's", details);
    QString fixed = text;
    validator.fixup(fixed);
    reference.fixup(referenceText = text);
    fuzzCheck(fixed == referenceText, "the clock validator fixes up as Qt 5's", details);
}

// The form holding the text in one slot and a valid configuration around it.
FieldTexts formWith(int slot, const QString &text)
{
    FieldTexts texts;
    int chipCode = 0;
    decodeFields(factoryReport(LargeCapacity), texts, chipCode);
    texts[static_cast<std::size_t>(slot)] = text;
    return texts;
}

QString formFailure(const FieldTexts &texts)
{
    ConfigTexts edits;
    std::copy(texts.begin(), texts.begin() + Slot::EditCount, edits.begin());
    return configurationFailure(edits);
}

bool keepsValue(int slot, const QString &typed, const QString &decoded)
{
    if (!Slot::isFrequency(slot))
        return decimalTextToInteger(typed) == decimalTextToInteger(decoded);
    const double typedMhz = frequencyTextToMhz(typed);
    const double decodedMhz = frequencyTextToMhz(decoded);
    return decodedMhz <= typedMhz && typedMhz - decodedMhz < StepMhz;
}

void checkRoundTrip(int slot, const QString &text, const QValidator &validator)
{
    const FieldTexts typed = formWith(slot, text);
    if (!formFailure(typed).isEmpty())
        return;
    NodeReport written{};
    encodeFields(typed, Chip::LPD6803, written);
    FieldTexts decoded;
    int chipCode = 0;
    decodeFields(written, decoded, chipCode);
    const QString shown = decoded[static_cast<std::size_t>(slot)];
    const QString details = fuzzQuoted(text) + QStringLiteral(" shown as ") + fuzzQuoted(shown);
    fuzzCheck(formFailure(decoded).isEmpty(), "a written form passes the checks when read back",
              details);
    NodeReport again{};
    encodeFields(decoded, chipCode, again);
    fuzzCheck(again == written, "a form read back writes the same bytes", details);
    fuzzCheck(keepsValue(slot, text, shown), "a written field keeps its value", details);
    QString shownText = shown;
    int pos = static_cast<int>(shown.size());
    fuzzCheck(validator.validate(shownText, pos) != QValidator::Invalid,
              "the edit does not refuse the text it shows", details + QStringLiteral(" under ")
                  + validator.locale().name());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    edits = windowEdits(fuzzWindow(argc, argv));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const int slot = input.takeByte() % Slot::EditCount;
    const QLocale &locale = locales[input.takeByte() % locales.size()];
    const QString text = input.takeText();

    // The window's validators follow the user's locale; each is tried.
    auto *const validator = const_cast<QValidator *>(edits[static_cast<std::size_t>(slot)]->validator());
    validator->setLocale(locale);
    QString validated = text;
    int pos = static_cast<int>(text.size());
    const QValidator::State state = validator->validate(validated, pos);
    fuzzCheck(pos >= 0 && pos <= validated.size(), "the cursor stays in the text");
    if (Slot::isFrequency(slot) && qt5Validators())
        checkAsQtValidator(*static_cast<const QDoubleValidator *>(validator), text, state,
                           validated, pos);
    if (state == QValidator::Acceptable)
        checkRoundTrip(slot, validated, *validator);
    return 0;
}
