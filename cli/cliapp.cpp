#include "cli/cliapp.h"

#include "app/messages.h"
#include "app/version.h"
#include "cli/exitstatus.h"
#include "cli/fieldassignment.h"
#include "cli/helptext.h"
#include "config/configfile.h"
#include "config/configform.h"
#include "config/configtext.h"
#include "link/nodelink.h"
#include "link/verifiedwrite.h"
#include "protocol/encoding.h"
#include "protocol/itemnames.h"
#include "protocol/presets.h"
#include "protocol/validation.h"
#include "series/heldnumbers.h"
#include "series/seriesrun.h"
#include "usb/hidpacing.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int MsPerSecond = 1000;
constexpr int LongestWaitSeconds = 24 * 60 * 60;
const QString ErrorPrefix = QStringLiteral("nodeconfig-cli: ");
const QString CurtainKind = QStringLiteral("curtain");
const QString CostumeKind = QStringLiteral("costume");

// A whole number typed in decimal digits, at most `largest`.
std::optional<int> wholeNumber(const QString &text, int largest)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    return value <= largest ? std::optional<int>(value) : std::nullopt;
}

// A unit number as the window's number field takes it: what its byte
// validator would not let be typed, then the button's checks (empty, above
// 241).
std::optional<int> unitNumber(const QString &text, UnitKind kind, QString &failure)
{
    const std::optional<int> number = wholeNumber(text, ByteFieldMax);
    if (!text.isEmpty() && !number)
        failure = QStringLiteral("%1 n'est pas un numéro d'unité (0 à %2)")
                      .arg(quoted(text))
                      .arg(LargestUnitNumber);
    else
        failure = unitNumberFailure(text, kind);
    return failure.isEmpty() ? number : std::nullopt;
}

std::optional<int> curtainSize(const QString &text, QString &failure)
{
    if (text.isEmpty())
        return CurtainSize::TwoByOne;
    const QStringList &names = curtainSizeNames();
    for (int size = 0; size < names.size(); ++size) {
        if (names[size].compare(text, Qt::CaseInsensitive) == 0)
            return size;
    }
    failure = QStringLiteral("--size : %1 n'est pas une taille de rideau (%2)")
                  .arg(quoted(text), names.join(QStringLiteral(", ")));
    return std::nullopt;
}

// How `list` names a node: a serial number that other plugged nodes report
// too is marked as shared, since it cannot tell them apart.
QString listLabel(const PluggedNode &plugged, const std::vector<PluggedNode> &nodes)
{
    const auto sharing = std::count_if(nodes.begin(), nodes.end(), [&plugged](const PluggedNode &other) {
        return !plugged.serial.isEmpty() && other.serial == plugged.serial;
    });
    if (sharing < 2)
        return plugged.label();
    return QStringLiteral("%1 (série %2, partagée par %3 nodes)")
        .arg(plugged.path, plugged.serial)
        .arg(sharing);
}

QString unitTitle(UnitKind kind, int number)
{
    return (kind == UnitKind::Curtain ? QStringLiteral("Rideau %1") : QStringLiteral("Costume %1"))
        .arg(number);
}

} // namespace

CliApp::CliApp(Clock &clock, LineOutput &output)
    : clock(clock), output(output), finder(clock, output)
{
    // The command line's pace, different from the window's in this alone.
    setHidPacing(CommandLinePacing);
}

QStringList CliApp::commandNames()
{
    QStringList names;
    for (const CommandSpec &spec : commands())
        names << QString::fromLatin1(spec.name);
    return names;
}

const std::vector<CliApp::CommandSpec> &CliApp::commands()
{
    const QStringList oneNode = {Option::Device, Option::Wait};
    static const std::vector<CommandSpec> specs = {
        {"list", 0, 0, {Option::Wait}, &CliApp::list},
        {"show", 0, 0, oneNode + QStringList{Option::Json}, &CliApp::show},
        {"save", 1, 1, oneNode, &CliApp::save},
        {"load", 1, 1, oneNode, &CliApp::load},
        {"set", 1, -1, oneNode, &CliApp::set},
        {"factory-reset", 0, 0, oneNode, &CliApp::factoryReset},
        {"curtain", 1, 1, oneNode + QStringList{Option::Size}, &CliApp::curtain},
        {"costume", 1, 1, oneNode, &CliApp::costume},
        {"series", 1, 1,
         {Option::Wait, Option::From, Option::Size, Option::Count, Option::Log, Option::ReuseNumber},
         &CliApp::series},
        {"network", 0, 0, {Option::Wait, Option::Poll, Option::Json, Option::Check, Option::SharePort},
         &CliApp::network},
        {"test", 1, 1,
         {Option::Wait, Option::Seconds, Option::Universe, Option::OnConflict, Option::SharePort},
         &CliApp::testPattern},
    };
    return specs;
}

QString CliApp::usageFailure(const CommandSpec &spec) const
{
    const QString name = QString::fromLatin1(spec.name);
    const int given = arguments.operands.size();
    if (given < spec.minOperands)
        return QStringLiteral("%1 : argument manquant (voir nodeconfig-cli --help)").arg(name);
    if (spec.maxOperands >= 0 && given > spec.maxOperands)
        return QStringLiteral("%1 : argument en trop %2")
            .arg(name, quoted(arguments.operands.value(spec.maxOperands)));
    for (auto option = arguments.options.cbegin(); option != arguments.options.cend(); ++option) {
        if (!spec.options.contains(option.key()))
            return QStringLiteral("l'option %1 ne s'applique pas à %2").arg(option.key(), name);
    }
    return {};
}

int CliApp::run(const QStringList &commandLine)
{
    const ParsedArguments parsed = parseArguments(commandLine);
    arguments = parsed.arguments;
    if (!parsed.failure.isEmpty())
        return fail(Exit::BadInput, parsed.failure);
    if (arguments.has(Option::Help)) {
        output.print(helpText(cliReference()));
        return Exit::Done;
    }
    if (arguments.has(Option::Version)) {
        output.print(versionText());
        return Exit::Done;
    }
    if (arguments.command.isEmpty()) {
        output.note(helpText(cliReference()));
        return Exit::BadInput;
    }
    for (const CommandSpec &spec : commands()) {
        if (arguments.command != QLatin1String(spec.name))
            continue;
        const QString usage = usageFailure(spec);
        if (!usage.isEmpty())
            return fail(Exit::BadInput, usage);
        const QString wait = arguments.has(Option::Wait) ? arguments.value(Option::Wait)
                                                         : QString::number(DefaultWaitSeconds);
        const std::optional<int> seconds = wholeNumber(wait, LongestWaitSeconds);
        if (!seconds)
            return fail(Exit::BadInput,
                        QStringLiteral("--wait : %1 n'est pas un nombre de secondes").arg(quoted(wait)));
        waitMs = static_cast<qint64>(*seconds) * MsPerSecond;
        return (this->*spec.command)();
    }
    return fail(Exit::BadInput, QStringLiteral("commande inconnue %1 (voir nodeconfig-cli --help)")
                                    .arg(quoted(arguments.command)));
}

int CliApp::fail(int status, const QString &message)
{
    output.note(ErrorPrefix + message);
    return status;
}

std::optional<PluggedNode> CliApp::findNode(int &status)
{
    NodeWait wait;
    wait.wanted = arguments.value(Option::Device);
    wait.waitMs = waitMs;
    const FindOutcome found = finder.waitForNode(wait);
    switch (found.result) {
    case FindResult::Found:
        node = found.node;
        return found.node;
    case FindResult::Several: status = fail(Exit::BadInput, found.failure); break;
    case FindResult::AccessRefused:
    case FindResult::NoLibrary: status = fail(Exit::NodeFailure, found.failure); break;
    case FindResult::NoNode:
    case FindResult::Interrupted: status = fail(Exit::NoNode, found.failure); break;
    }
    return std::nullopt;
}

std::optional<CliApp::ReadNode> CliApp::readChosenNode(int &status)
{
    const std::optional<PluggedNode> found = findNode(status);
    if (!found)
        return std::nullopt;
    NodeLink link(found->device, clock, waitMs);
    const std::optional<NodeReport> report = link.read();
    if (!report) {
        status = fail(Exit::NodeFailure,
                      QStringLiteral("le node %1 ne répond pas").arg(node.label()));
        return std::nullopt;
    }
    return ReadNode{link, *report};
}

int CliApp::writeVerifiedAndSay(NodeLink &link, const NodeReport &configuration,
                                const QString &what)
{
    const WriteOutcome outcome = writeVerified(link, configuration);
    switch (outcome.result) {
    case WriteResult::Verified:
        output.print(QStringLiteral("%1 : écrit et vérifié sur %2").arg(what, node.label()));
        return Exit::Done;
    case WriteResult::WriteFailed:
        return fail(Exit::NodeFailure,
                    QStringLiteral("%1 : écriture refusée par le node %2").arg(what, node.label()));
    case WriteResult::NoReadBack:
        return fail(Exit::NodeFailure,
                    QStringLiteral("%1 : écrit, mais le node %2 ne répond pas à la relecture : "
                                   "rien n'est vérifié")
                        .arg(what, node.label()));
    case WriteResult::Differs:
        break;
    }
    return fail(Exit::NodeFailure,
                QStringLiteral("%1 : vérification échouée, le node %2 relit autre chose : %3")
                    .arg(what, node.label(),
                         differenceLines(configuration, outcome.readBack).join(QStringLiteral(" ; "))));
}

template <typename Build>
int CliApp::rewriteNode(const QString &what, Build build)
{
    int status = Exit::Done;
    std::optional<ReadNode> current = readChosenNode(status);
    if (!current)
        return status;
    QString failure;
    const NodeReport configuration = build(current->configuration, failure);
    if (!failure.isEmpty())
        return fail(Exit::BadInput, failure);
    return writeVerifiedAndSay(current->link, configuration, what);
}

int CliApp::list()
{
    const std::vector<PluggedNode> nodes = finder.waitForAny(waitMs);
    if (finder.libraryFailed())
        return fail(Exit::NodeFailure, libraryFailureText());
    const QStringList refused = finder.refusedPaths();
    for (const PluggedNode &plugged : nodes) {
        NodeLink link(plugged.device, clock, waitMs);
        const std::optional<NodeReport> report = link.read();
        const QString label = listLabel(plugged, nodes);
        output.print(report ? QStringLiteral("%1 : IP %2, %3 univers")
                                  .arg(label, addressText(*report))
                                  .arg(capacityFromByte((*report)[Report::MaxUniverses]))
                            : QStringLiteral("%1 : ne répond pas").arg(label));
    }
    if (!refused.isEmpty())
        output.note(accessRefusedText(refused));
    if (!nodes.empty())
        return Exit::Done;
    if (!refused.isEmpty())
        return Exit::NodeFailure;
    return fail(Exit::NoNode, message(Status::NoNodeConnected));
}

int CliApp::show()
{
    int status = Exit::Done;
    const std::optional<ReadNode> read = readChosenNode(status);
    if (!read)
        return status;
    if (arguments.has(Option::Json))
        output.print(QString::fromUtf8(ConfigFile::toJson(read->configuration)).trimmed());
    else
        output.print(configurationLines(read->configuration).join(QLatin1Char('\n')));
    return Exit::Done;
}

int CliApp::save()
{
    const QString path = arguments.operands.front();
    int status = Exit::Done;
    const std::optional<ReadNode> read = readChosenNode(status);
    if (!read)
        return status;
    const QString failure = ConfigFile::write(path, read->configuration);
    if (!failure.isEmpty())
        return fail(Exit::BadInput, failure);
    output.print(QStringLiteral("Configuration de %1 enregistrée dans %2")
                     .arg(node.label(), quoted(path)));
    return Exit::Done;
}

int CliApp::load()
{
    const QString path = arguments.operands.front();
    const ConfigFile::Parsed parsed = ConfigFile::read(path);
    if (!parsed.form)
        return fail(Exit::BadInput, parsed.failure);
    return rewriteNode(QStringLiteral("Configuration de %1").arg(quoted(path)),
                       [this, &parsed, &path](const NodeReport &current, QString &) {
                           ConfigForm form = *parsed.form;
                           const int capacity = capacityFromByte(current[Report::MaxUniverses]);
                           if (capacity != parsed.capacity)
                               output.note(QStringLiteral("attention : %1 vient d'un node de %2 "
                                                          "univers, celui-ci en a %3")
                                               .arg(quoted(path))
                                               .arg(parsed.capacity)
                                               .arg(capacity));
                           form.setCapacity(capacity);
                           return form.report();
                       });
}

int CliApp::set()
{
    const ParsedAssignments parsed = parseAssignments(arguments.operands);
    if (!parsed.failure.isEmpty())
        return fail(Exit::BadInput, parsed.failure);
    return rewriteNode(QStringLiteral("Champs %1").arg(arguments.operands.join(QLatin1Char(' '))),
                       [&parsed](const NodeReport &current, QString &failure) {
                           ConfigForm form(current);
                           failure = applyAssignments(parsed.assignments, form);
                           return form.report();
                       });
}

int CliApp::factoryReset()
{
    return rewriteNode(message(Status::FactorySettings), [](const NodeReport &current, QString &) {
        return factoryReport(current[Report::MaxUniverses]);
    });
}

int CliApp::curtain()
{
    return writeUnit(UnitKind::Curtain);
}

int CliApp::costume()
{
    return writeUnit(UnitKind::Costume);
}

int CliApp::writeUnit(UnitKind kind)
{
    QString failure;
    const std::optional<int> number = unitNumber(arguments.operands.front(), kind, failure);
    const std::optional<int> size = curtainSize(arguments.value(Option::Size), failure);
    if (!number || !size)
        return fail(Exit::BadInput, failure);
    QString what = unitTitle(kind, *number);
    if (kind == UnitKind::Curtain)
        what += QStringLiteral(" (%1)").arg(curtainSizeNames()[*size]);
    return rewriteNode(what, [kind, number, size](const NodeReport &current, QString &) {
        const std::uint8_t capacity = current[Report::MaxUniverses];
        return kind == UnitKind::Curtain ? curtainReport(*number, *size, capacity)
                                         : costumeReport(*number, capacity);
    });
}

int CliApp::series()
{
    const QString kindName = arguments.operands.front();
    if (kindName != CurtainKind && kindName != CostumeKind)
        return fail(Exit::BadInput, QStringLiteral("series : curtain ou costume est attendu, pas %1")
                                        .arg(quoted(kindName)));
    SeriesPlan plan;
    plan.kind = kindName == CurtainKind ? UnitKind::Curtain : UnitKind::Costume;
    plan.retryWindowMs = waitMs;
    plan.reuseLogged = arguments.has(Option::ReuseNumber);
    // The log is read before anything else: one that is not a series log
    // ends the command before any node is looked for.
    SeriesLog log;
    if (arguments.has(Option::Log)) {
        const QString logFailure = log.open(arguments.value(Option::Log));
        if (!logFailure.isEmpty())
            return fail(log.storageFailed() ? Exit::LogFailure : Exit::BadInput,
                        QStringLiteral("--log : %1").arg(logFailure));
    }
    const HeldNumbers held = heldNumbers(log.rows());
    const std::optional<int> logged = numberAfter(held);
    if (!arguments.has(Option::From) && !logged)
        return fail(Exit::BadInput, QStringLiteral("series : --from N est attendu (ou un journal "
                                                   "--log qui tient des unités vérifiées)"));
    QString failure;
    const QString fromText =
        arguments.has(Option::From) ? arguments.value(Option::From) : QString::number(*logged);
    const std::optional<int> from = unitNumber(fromText, plan.kind, failure);
    const std::optional<int> size = curtainSize(arguments.value(Option::Size), failure);
    if (!from || !size)
        return fail(Exit::BadInput, failure);
    plan.from = *from;
    plan.size = *size;
    const auto heldFrom = held.find(plan.from);
    if (heldFrom != held.end() && !plan.reuseLogged) {
        const SeriesRow &row = heldFrom->second;
        return fail(Exit::BadInput,
                    QStringLiteral("--from %1 : le journal %2 tient déjà le numéro %1 (%3) %4, "
                                   "ligne %5 ; --reuse-number le redonne quand même")
                        .arg(plan.from)
                        .arg(quoted(log.path()), row.address,
                             row.reservation() ? QStringLiteral("réservé sans résultat")
                                               : SeriesResult::verified())
                        .arg(row.line));
    }
    if (arguments.has(Option::Count)) {
        const QString count = arguments.value(Option::Count);
        const int units = wholeNumber(count, LargestUnitNumber + 1).value_or(0);
        if (units < 1)
            return fail(Exit::BadInput,
                        QStringLiteral("--count : %1 n'est pas un nombre d'unités").arg(quoted(count)));
        if (plan.from + units - 1 > LargestUnitNumber)
            return fail(Exit::BadInput,
                        QStringLiteral("--count : %1 unités à partir de %2 dépassent le numéro %3")
                            .arg(units)
                            .arg(plan.from)
                            .arg(LargestUnitNumber));
        plan.count = units;
    }
    if (!arguments.has(Option::From))
        output.note(QStringLiteral("Le journal tient des unités jusqu'au numéro %1 : la "
                                   "série continue au %2")
                        .arg(plan.from - 1)
                        .arg(plan.from));
    SeriesRun run(plan, finder, clock, output, log);
    run.run();
    if (run.endedOnLogFailure())
        return Exit::LogFailure;
    // A series ends at once, having said why, when no node can be looked for.
    if (finder.libraryFailed())
        return Exit::NodeFailure;
    return run.endedOnFailure() ? Exit::NodeFailure : Exit::Done;
}
