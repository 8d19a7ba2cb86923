#include "series/seriesrun.h"

#include "config/configtext.h"
#include "link/stoprequest.h"
#include "link/verifiedwrite.h"
#include "protocol/encoding.h"
#include "protocol/presets.h"

#include <algorithm>

namespace {

QString failureReason(const WriteOutcome &outcome, const NodeReport &written)
{
    switch (outcome.result) {
    case WriteResult::WriteFailed: return QStringLiteral("écriture refusée par le node");
    case WriteResult::NoReadBack: return QStringLiteral("le node ne répond pas à la relecture");
    case WriteResult::Differs:
        return QStringLiteral("relecture différente (%1)")
            .arg(differenceLines(written, outcome.readBack).join(QStringLiteral(" ; ")));
    case WriteResult::Verified: break;
    }
    return {};
}

} // namespace

SeriesRun::SeriesRun(const SeriesPlan &plan, NodeFinder &finder, Clock &clock,
                     LineOutput &output, SeriesLog &log)
    : plan(plan), finder(finder), clock(clock), output(output), log(log), number(plan.from)
{
}

QString SeriesRun::unitName(int unit, bool capital) const
{
    const bool curtain = plan.kind == UnitKind::Curtain;
    const QString name = capital ? (curtain ? QStringLiteral("Rideau %1") : QStringLiteral("Costume %1"))
                                 : (curtain ? QStringLiteral("rideau %1") : QStringLiteral("costume %1"));
    return name.arg(unit);
}

bool SeriesRun::finished() const
{
    return plan.count > 0 && static_cast<int>(done.size()) >= plan.count;
}

void SeriesRun::run()
{
    while (poll() == Step::Wait)
        clock.sleepMs(NodeFinder::PollIntervalMs);
}

SeriesRun::Step SeriesRun::poll()
{
    // A stop asked between polls ends the run before it looks for a node,
    // so that no new unit is begun after it.
    if (phase != Phase::Done && stopping())
        return finish();
    for (;;) {
        if (const std::optional<Step> step = advance())
            return *step;
    }
}

std::optional<SeriesRun::Step> SeriesRun::advance()
{
    switch (phase) {
    case Phase::StartUnit: return startUnit();
    case Phase::WaitingForNode: return lookForNode();
    case Phase::WaitingForUnplug: return lookForUnplug();
    case Phase::Done: break;
    }
    return Step::Done;
}

bool SeriesRun::stopping() const
{
    return stopAsked || stopRequested();
}

NodeWait SeriesRun::nodeWait() const
{
    NodeWait wait;
    wait.waitOutSeveral = true;
    wait.prompt = QStringLiteral("Branchez le node du %1…").arg(unitName(number));
    return wait;
}

std::optional<SeriesRun::Step> SeriesRun::startUnit()
{
    if (finished() || stopping())
        return finish();
    const QString numberFailure = unitNumberFailure(QString::number(number), plan.kind);
    if (!numberFailure.isEmpty()) {
        output.note(numberFailure);
        return finish();
    }
    finder.startWaiting();
    phase = Phase::WaitingForNode;
    return std::nullopt;
}

std::optional<SeriesRun::Step> SeriesRun::lookForNode()
{
    const NodeWait wait = nodeWait();
    const std::optional<FindOutcome> found = finder.lookOnce(wait);
    if (!found) {
        if (stopping())
            return finish();
        finder.sayWaiting(wait);
        return Step::Wait;
    }
    if (found->result != FindResult::Found)
        return finish();
    unitNode = found->node;
    handle(unitNode);
    if (finished())
        return finish();
    output.note(QStringLiteral("Débranchez le node…"));
    phase = Phase::WaitingForUnplug;
    return std::nullopt;
}

std::optional<SeriesRun::Step> SeriesRun::lookForUnplug()
{
    if (!finder.isPlugged(unitNode)) {
        phase = Phase::StartUnit;
        return std::nullopt;
    }
    if (stopping())
        return finish();
    return Step::Wait;
}

SeriesRun::Step SeriesRun::finish()
{
    phase = Phase::Done;
    printSummary();
    return Step::Done;
}

SeriesRun::Attempt SeriesRun::handle(const PluggedNode &node)
{
    NodeLink link(node.device, clock, plan.retryWindowMs);
    const std::optional<NodeReport> current = link.read();
    if (!current)
        return failed(node, QStringLiteral("le node ne répond pas"), std::nullopt);
    if (const DoneUnit *unit = findDone(*current))
        return alreadyDone(node, *unit, *current);
    noteSharedSerial(node);

    const NodeReport written = preset(*current);
    const WriteOutcome outcome = writeVerified(link, written);
    if (outcome.result != WriteResult::Verified)
        return failed(node, failureReason(outcome, written), current);

    const int capacity = capacityFromByte(outcome.readBack[Report::MaxUniverses]);
    output.print(QStringLiteral("%1 : %2, %3 univers, %4 : vérifié")
                     .arg(unitName(number, true), addressText(written),
                          QString::number(capacity), node.label()));
    record(node, number, outcome.readBack, SeriesResult::verified(), Attempt::Verified);
    done.push_back({number, node.serial, written});
    ++number;
    failurePending = false;
    return Attempt::Verified;
}

SeriesRun::Attempt SeriesRun::alreadyDone(const PluggedNode &node, const DoneUnit &unit,
                                          const NodeReport &current)
{
    ++alreadyDoneCount;
    output.print(QStringLiteral("Node %1 déjà configuré dans cette série (%2) : pas réécrit")
                     .arg(node.label(), unitName(unit.number)));
    record(node, unit.number, current, SeriesResult::alreadyDone(), Attempt::AlreadyDone);
    return Attempt::AlreadyDone;
}

SeriesRun::Attempt SeriesRun::failed(const PluggedNode &node, const QString &reason,
                                     const std::optional<NodeReport> &seen)
{
    ++failures;
    failurePending = true;
    output.print(QStringLiteral("%1 : échec, %2 ; %3 : le numéro reste %4")
                     .arg(unitName(number, true), reason, node.label(), QString::number(number)));
    record(node, number, seen, SeriesResult::failed(reason), Attempt::Failed);
    return Attempt::Failed;
}

// A node is taken for a unit of this run by its configuration alone: nodes
// flashed from one image may all report the same serial number.
const SeriesRun::DoneUnit *SeriesRun::findDone(const NodeReport &current) const
{
    const auto found = std::find_if(done.begin(), done.end(), [&current](const DoneUnit &unit) {
        return holdsConfiguration(current, unit.written);
    });
    return found == done.end() ? nullptr : &*found;
}

void SeriesRun::noteSharedSerial(const PluggedNode &node)
{
    if (node.serial.isEmpty())
        return;
    const auto earlier = std::find_if(done.begin(), done.end(), [&node](const DoneUnit &unit) {
        return unit.serial == node.serial;
    });
    if (earlier != done.end())
        output.note(QStringLiteral("Série %1 déjà vue (%2), mais ce node ne tient pas sa "
                                   "configuration : nouveau node, il est configuré")
                        .arg(node.serial, unitName(earlier->number)));
}

NodeReport SeriesRun::preset(const NodeReport &current) const
{
    const std::uint8_t capacity = current[Report::MaxUniverses];
    return plan.kind == UnitKind::Curtain ? curtainReport(number, plan.size, capacity)
                                          : costumeReport(number, capacity);
}

// The row gives the unit's address and the node's capacity; a node that
// could not be read leaves the capacity empty.
void SeriesRun::record(const PluggedNode &node, int unit, const std::optional<NodeReport> &seen,
                       const QString &result, Attempt attempt)
{
    const NodeReport unitConfig = preset(seen.value_or(NodeReport{}));
    const QString address = attempt == Attempt::AlreadyDone && seen ? addressText(*seen)
                                                                    : addressText(unitConfig);
    SeriesRow row;
    row.number = unit;
    row.address = address;
    row.capacity = seen ? capacityFromByte((*seen)[Report::MaxUniverses]) : 0;
    row.serial = node.serial;
    row.time = clock.wallTime();
    row.result = result;
    row.kind = plan.kind;
    row.size = plan.kind == UnitKind::Curtain ? plan.size : 0;
    log.append(row);
    history.push_back({row, attempt});
}

void SeriesRun::printSummary()
{
    output.print(QStringLiteral("Fin de la série : %1 configuré(s) et vérifié(s), %2 échec(s), "
                                "%3 déjà configuré(s) ; prochain numéro : %4")
                     .arg(done.size())
                     .arg(failures)
                     .arg(alreadyDoneCount)
                     .arg(number));
}
