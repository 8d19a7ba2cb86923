#include "series/seriesrun.h"

#include "config/configtext.h"
#include "link/stoprequest.h"
#include "link/verifiedwrite.h"
#include "protocol/encoding.h"
#include "protocol/itemnames.h"
#include "protocol/presets.h"
#include "usb/hidpacing.h"

#include <algorithm>

namespace {

const QString LoggedTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

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

QString kindName(UnitKind kind, int unit, bool capital)
{
    const bool curtain = kind == UnitKind::Curtain;
    const QString name = capital ? (curtain ? QStringLiteral("Rideau %1") : QStringLiteral("Costume %1"))
                                 : (curtain ? QStringLiteral("rideau %1") : QStringLiteral("costume %1"));
    return name.arg(unit);
}

// The series' exchanges run at its own pace for as long as a poll lasts;
// the window's search and the command line keep theirs otherwise.
class SeriesPacingScope
{
public:
    SeriesPacingScope() : saved(hidPacing()) { setHidPacing(SeriesPacing); }
    ~SeriesPacingScope() { setHidPacing(saved); }
    SeriesPacingScope(const SeriesPacingScope &) = delete;
    SeriesPacingScope &operator=(const SeriesPacingScope &) = delete;

private:
    const HidPacing saved;
};

} // namespace

SeriesRun::SeriesRun(const SeriesPlan &plan, NodeFinder &finder, Clock &clock,
                     LineOutput &output, SeriesLog &log)
    : plan(plan), finder(finder), clock(clock), output(output), log(log), number(plan.from)
{
}

QString SeriesRun::unitName(int unit, bool capital) const
{
    return kindName(plan.kind, unit, capital);
}

std::optional<int> SeriesRun::numberAfter(const std::vector<SeriesRow> &rows)
{
    std::optional<int> next;
    for (const SeriesRow &row : rows) {
        if (row.verified())
            next = std::max(next.value_or(0), row.number + 1);
    }
    return next;
}

const SeriesRow *SeriesRun::verifiedRow(const std::vector<SeriesRow> &rows, int unit)
{
    const auto found = std::find_if(rows.rbegin(), rows.rend(), [unit](const SeriesRow &row) {
        return row.verified() && row.number == unit;
    });
    return found == rows.rend() ? nullptr : &*found;
}

// The address names the only number the node can be; its preset is then
// looked for among the kinds and sizes.
std::optional<HeldUnit> SeriesRun::heldUnit(const NodeReport &configuration)
{
    const int host = configuration[Report::IpAddress + Report::IpOctets - 1];
    const int unit = host - UnitHostOffset;
    if (unit < 0 || unit > LargestUnitNumber)
        return std::nullopt;
    const std::uint8_t capacity = configuration[Report::MaxUniverses];
    if (holdsConfiguration(configuration, costumeReport(unit, capacity)))
        return HeldUnit{UnitKind::Costume, 0, unit};
    for (int size = 0; size < CurtainSize::Count; ++size) {
        if (holdsConfiguration(configuration, curtainReport(unit, size, capacity)))
            return HeldUnit{UnitKind::Curtain, size, unit};
    }
    return std::nullopt;
}

bool SeriesRun::finished() const
{
    return plan.count > 0 && static_cast<int>(done.size()) >= plan.count;
}

bool SeriesRun::unitUnderWay() const
{
    return phase == Phase::Reading || phase == Phase::Storing || phase == Phase::ReadingBack;
}

void SeriesRun::run()
{
    for (;;) {
        switch (poll()) {
        case Step::Wait: clock.sleepMs(NodeFinder::PollIntervalMs); break;
        case Step::Pause: hidPauseFor(pause); break;
        case Step::Done: return;
        }
    }
}

SeriesRun::Step SeriesRun::poll()
{
    // A stop asked between polls ends the run before it looks for a node,
    // so that no new unit is begun after it.
    if (phase != Phase::Done && !unitUnderWay() && stopping())
        return finish();
    const SeriesPacingScope pacing;
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
    case Phase::Reading: return readNode();
    case Phase::Storing: phase = Phase::ReadingBack; return readBack();
    case Phase::ReadingBack: return readBack();
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

bool SeriesRun::loggedBefore(int unit)
{
    if (plan.reuseLogged)
        return false;
    const SeriesRow *const row = verifiedRow(log.rows(), unit);
    if (!row)
        return false;
    output.note(QStringLiteral("Le journal %1 tient déjà le %2 (%3), vérifié le %4, ligne %5 : "
                               "la série s'arrête avant de redonner ce numéro")
                    .arg(quoted(log.path()), unitName(unit), row->address,
                         row->time.toString(LoggedTimeFormat))
                    .arg(row->line));
    return true;
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
    if (loggedBefore(number))
        return finish();
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
    // The search cannot go on (hidapi did not start): the series ends and
    // says why, in the console as in the series window.
    if (found->result != FindResult::Found) {
        output.note(found->failure);
        return finish();
    }
    unitNode = found->node;
    link.emplace(unitNode.device, clock, plan.retryWindowMs);
    retries.emplace(clock, plan.retryWindowMs);
    phase = Phase::Reading;
    return std::nullopt;
}

SeriesRun::Step SeriesRun::pauseFor(int milliseconds)
{
    pause = milliseconds;
    return Step::Pause;
}

std::optional<SeriesRun::Step> SeriesRun::readNode()
{
    const std::optional<NodeReport> current = link->readOnce();
    if (!current) {
        if (retries->another())
            return pauseFor(ReadRetries::PauseMs);
        failed(QStringLiteral("le node ne répond pas"), std::nullopt);
        return unitEnded();
    }
    seen = *current;
    if (readObserver)
        readObserver(seen);
    if (const DoneUnit *unit = findDone(seen)) {
        alreadyDone(*unit, seen);
        return unitEnded();
    }
    const std::optional<HeldUnit> held = heldUnit(seen);
    const bool sameUnit = held && held->number == number && held->kind == plan.kind
                          && (plan.kind == UnitKind::Costume || held->size == plan.size);
    if (held && !sameUnit) {
        otherUnit(*held, seen);
        return unitEnded();
    }
    noteSharedSerial(unitNode);
    return writeUnit(seen);
}

std::optional<SeriesRun::Step> SeriesRun::writeUnit(const NodeReport &current)
{
    written = preset(current);
    if (!link->write(written)) {
        failed(failureReason({WriteResult::WriteFailed, {}}, written), current);
        return unitEnded();
    }
    retries.emplace(clock, plan.retryWindowMs);
    phase = Phase::Storing;
    return pauseFor(StorePauseMs);
}

std::optional<SeriesRun::Step> SeriesRun::readBack()
{
    const std::optional<NodeReport> current = link->readOnce();
    if (!current && retries->another())
        return pauseFor(ReadRetries::PauseMs);
    if (current && readObserver)
        readObserver(*current);
    const WriteOutcome outcome = readBackOutcome(current, written);
    if (outcome.result == WriteResult::Verified)
        verified(outcome.readBack);
    else
        failed(failureReason(outcome, written), seen);
    return unitEnded();
}

std::optional<SeriesRun::Step> SeriesRun::unitEnded()
{
    link.reset();
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
    link.reset();
    phase = Phase::Done;
    printSummary();
    return Step::Done;
}

void SeriesRun::verified(const NodeReport &readBack)
{
    const int capacity = capacityFromByte(readBack[Report::MaxUniverses]);
    output.print(QStringLiteral("%1 : %2, %3 univers, %4 : %5")
                     .arg(unitName(number, true), addressText(written), QString::number(capacity),
                          unitNode.label(), SeriesResult::verified()));
    record(number, readBack, SeriesResult::verified(), Attempt::Verified);
    done.push_back({number, unitNode.serial, written});
    ++number;
    failurePending = false;
}

void SeriesRun::alreadyDone(const DoneUnit &unit, const NodeReport &current)
{
    ++alreadyDoneCount;
    output.print(QStringLiteral("Node %1 déjà configuré dans cette série (%2) : pas réécrit")
                     .arg(unitNode.label(), unitName(unit.number)));
    record(unit.number, current, SeriesResult::alreadyDone(), Attempt::AlreadyDone);
}

// Written earlier, by another run or by hand: the technician decides
// whether it goes back in its box or is renumbered.
void SeriesRun::otherUnit(const HeldUnit &held, const NodeReport &current)
{
    ++alreadyDoneCount;
    const QString heldName = kindName(held.kind, held.number, false);
    const QString address = addressText(current);
    output.print(QStringLiteral("Node %1 : %2 ; débranchez-le, ou renumérotez-le à la main : le "
                                "numéro reste %3")
                     .arg(unitNode.label(), SeriesResult::otherUnit(heldName, address))
                     .arg(number));
    SeriesRow row = rowOf(held.number, address, current, SeriesResult::otherUnit(heldName, address));
    row.kind = held.kind;
    row.size = held.size;
    keep(row, Attempt::OtherUnit);
}

void SeriesRun::failed(const QString &reason, const std::optional<NodeReport> &current)
{
    ++failures;
    failurePending = true;
    output.print(QStringLiteral("%1 : échec, %2 ; %3 : le numéro reste %4")
                     .arg(unitName(number, true), reason, unitNode.label(), QString::number(number)));
    record(number, current, SeriesResult::failed(reason), Attempt::Failed);
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
SeriesRow SeriesRun::rowOf(int unit, const QString &address,
                           const std::optional<NodeReport> &current, const QString &result) const
{
    SeriesRow row;
    row.number = unit;
    row.address = address;
    row.capacity = current ? capacityFromByte((*current)[Report::MaxUniverses]) : 0;
    row.serial = unitNode.serial;
    row.time = clock.wallTime();
    row.result = result;
    row.kind = plan.kind;
    row.size = plan.kind == UnitKind::Curtain ? plan.size : 0;
    return row;
}

void SeriesRun::record(int unit, const std::optional<NodeReport> &current, const QString &result,
                       Attempt attempt)
{
    const QString address = attempt == Attempt::AlreadyDone && current
                                ? addressText(*current)
                                : addressText(preset(current.value_or(NodeReport{})));
    keep(rowOf(unit, address, current, result), attempt);
}

void SeriesRun::keep(const SeriesRow &row, Attempt attempt)
{
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
