// The command line: any argument list is refused as bad input, or parses;
// a `set` that its checks accept writes values that the window's checks
// accept too, each field holding the value the user gave. The whole tool
// then runs the same arguments over a simulated node: bad input writes
// nothing, and whatever it writes passes the window's checks.

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "config/configform.h"
#include "cli/fieldassignment.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "protocol/fieldmap.h"
#include "protocol/presets.h"
#include "protocol/validation.h"

#include <QCoreApplication>
#include <QMap>

namespace {

const QString SetCommand = QStringLiteral("set");
const QChar AddressSeparator = QLatin1Char('.');
const QChar PatchSeparator = QLatin1Char(',');

// The byte values a field's text gives, one per slot.
QStringList partsOf(const FieldAssignment &assignment)
{
    if (assignment.field.slotCount == 1)
        return {assignment.value};
    return assignment.value.split(assignment.field.kind == FieldKind::Address ? AddressSeparator
                                                                               : PatchSeparator);
}

// What the user asked for, slot by slot: the last assignment of a slot wins.
struct Expected {
    QMap<int, QString> slotTexts;
    int chipCode = -1;
};

Expected expectedValues(const std::vector<FieldAssignment> &assignments)
{
    Expected expected;
    for (const FieldAssignment &assignment : assignments) {
        if (assignment.field.kind == FieldKind::Chip) {
            expected.chipCode = chipCodeOf(assignment.value);
            continue;
        }
        const QStringList parts = partsOf(assignment);
        for (int i = 0; i < parts.size(); ++i)
            expected.slotTexts.insert(assignment.field.firstSlot + i, parts[i]);
    }
    return expected;
}

bool sameValue(int slot, const QString &written, const QString &asked)
{
    return Slot::isFrequency(slot) ? frequencyTextToMhz(written) == frequencyTextToMhz(asked)
                                   : decimalTextToInteger(written) == decimalTextToInteger(asked);
}

void checkAcceptedSet(const std::vector<FieldAssignment> &assignments, const ConfigForm &form)
{
    FieldTexts texts;
    int chipCode = 0;
    decodeFields(form.report(), texts, chipCode);
    ConfigTexts edits;
    std::copy(texts.begin(), texts.begin() + Slot::EditCount, edits.begin());
    const QString failure = configurationFailure(edits);
    fuzzCheck(failure.isEmpty(), "an accepted set passes the window's checks", failure);

    const Expected expected = expectedValues(assignments);
    fuzzCheck(expected.chipCode < 0 || expected.chipCode == chipCode,
              "an accepted set writes its output type", QString::number(chipCode));
    for (auto it = expected.slotTexts.cbegin(); it != expected.slotTexts.cend(); ++it)
        fuzzCheck(sameValue(it.key(), texts[it.key()], it.value()),
                  "an accepted set writes its values",
                  QStringLiteral("slot %1: asked %2, written %3")
                      .arg(it.key())
                      .arg(fuzzQuoted(it.value()), fuzzQuoted(texts[it.key()])));
}

// Commands that write files at the paths they are given: only parsed here.
const QStringList FileWritingCommands = {QStringLiteral("save"), QStringLiteral("series")};
// Commands that write a form's values; the others write fixed presets, which
// the window writes without its form's checks too (unit 0 has host octet 14).
const QStringList FormCommands = {SetCommand, QStringLiteral("load")};
// However long the arguments ask it to wait for a node, the run stops after
// this much simulated time, as Ctrl+C would stop it.
constexpr qint64 LongestWaitMs = 60 * 1000;

void checkParsedSet(const QStringList &arguments)
{
    const ParsedArguments parsed = parseArguments(arguments);
    if (!parsed.failure.isEmpty() || parsed.arguments.command != SetCommand)
        return;
    const ParsedAssignments assignments = parseAssignments(parsed.arguments.operands);
    if (!assignments.failure.isEmpty())
        return;
    ConfigForm form(factoryReport(LargeCapacity));
    if (!applyAssignments(assignments.assignments, form).isEmpty() || !form.failure().isEmpty())
        return;
    checkAcceptedSet(assignments.assignments, form);
}

void checkWrites(const std::vector<NodeReport> &received)
{
    for (const NodeReport &report : received) {
        if (report[Report::Command] != cmdWriteConfig)
            continue;
        FieldTexts texts;
        int chipCode = 0;
        decodeFields(report, texts, chipCode);
        ConfigTexts edits;
        std::copy(texts.begin(), texts.begin() + Slot::EditCount, edits.begin());
        const QString failure = configurationFailure(edits);
        fuzzCheck(failure.isEmpty(), "what the tool writes passes the window's checks", failure);
    }
}

void checkRun(const QStringList &arguments)
{
    const QString command = parseArguments(arguments).arguments.command;
    if (FileWritingCommands.contains(command))
        return;
    resetCliState();
    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration());
    FakeClock clock;
    clock.onSleep = [&clock] {
        if (clock.now > LongestWaitMs)
            requestStop();
    };
    const CliRun run = runCli(arguments, clock);
    const QString said = arguments.join(QLatin1Char(' ')) + QLatin1Char('\n') + run.lines.all();
    fuzzCheck(run.status != Exit::NodeFailure, "a sound node never fails", said);
    if (run.status == Exit::BadInput)
        fuzzCheck(writesTo(device) == 0, "bad input writes nothing", said);
    if (FormCommands.contains(command))
        checkWrites(fakehid::node(device).receivedReports());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    const QStringList arguments = input.takeTexts();
    checkParsedSet(arguments);
    checkRun(arguments);
    return 0;
}
