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

const QString HeldTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");
constexpr int MsPerSecond = 1000;

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
    heldAtStart = heldNumbers(log.rows(), 0, log.rowsAtOpen());
    if (plan.reuseLogged)
        reuse = plan.from;
}

QString SeriesRun::unitName(int unit, bool capital) const
{
    return ::unitName(plan.kind, unit, capital);
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
    switch (phase) {
    case Phase::Reading:
    case Phase::Reserving:
    case Phase::Storing:
    case Phase::ReadingBack:
    case Phase::Recording: return true;
    case Phase::StartUnit:
    case Phase::WaitingForNode:
    case Phase::WaitingForUnplug:
    case Phase::Done: break;
    }
    return false;
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
    case Phase::Reserving: return reserve();
    case Phase::Storing: phase = Phase::ReadingBack; return readBack();
    case Phase::ReadingBack: return readBack();
    case Phase::Recording: return storeRecord();
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
    if (reuse == unit)
        return false;
    const auto held = heldAtStart.find(unit);
    if (held == heldAtStart.end())
        return false;
    output.note(heldNumberText(log.path(), unitName(unit), held->second)
                + QStringLiteral(" : la série s'arrête avant de redonner ce numéro"));
    return true;
}

void SeriesRun::noteUnfinished()
{
    if (unfinishedSaid)
        return;
    unfinishedSaid = true;
    for (const SeriesRow &row : unfinishedReservations(heldAtStart))
        output.note(QStringLiteral("Le journal %1 tient le numéro %2 (%3) réservé le %4 sans "
                                   "résultat, ligne %5 : écriture interrompue, ou en cours sur un "
                                   "autre poste ; ce numéro n'est pas redonné")
                        .arg(quoted(log.path()))
                        .arg(row.number)
                        .arg(row.address, row.time.toString(HeldTimeFormat))
                        .arg(row.line));
}

std::optional<SeriesRun::Step> SeriesRun::startUnit()
{
    if (finished() || stopping())
        return finish();
    noteUnfinished();
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
        return failed(SeriesResult::noAnswer(), std::nullopt);
    }
    seen = *current;
    if (readObserver)
        readObserver(seen);
    if (const DoneUnit *unit = findDone(seen))
        return alreadyDone(*unit, seen);
    const std::optional<HeldUnit> held = heldUnit(seen);
    const bool sameUnit = held && held->number == number && held->kind == plan.kind
                          && (plan.kind == UnitKind::Costume || held->size == plan.size);
    if (held && !sameUnit)
        return otherUnit(*held, seen);
    noteSharedSerial(unitNode);
    lockTries = 0;
    phase = Phase::Reserving;
    return std::nullopt;
}

std::optional<SeriesRun::Step> SeriesRun::waitForLock()
{
    if (log.tryLock())
        return std::nullopt;
    if (!log.lockHeldElsewhere())
        return logFailure(log.lockFailure());
    if (++lockTries < SeriesLog::LockTries)
        return pauseFor(SeriesLog::LockRetryMs);
    return logFailure(QStringLiteral("%1 depuis plus de %2 s")
                          .arg(log.lockFailure())
                          .arg(SeriesLog::LockTries * SeriesLog::LockRetryMs / MsPerSecond));
}

// The number goes forward past those other programs took since the run
// began; one the log held then ends the run, as at the start of a unit.
std::optional<int> SeriesRun::takeNumber()
{
    const HeldNumbers takenSince = heldNumbers(log.rows(), log.rowsAtOpen());
    for (int unit = number;; ++unit) {
        const QString numberFailure = unitNumberFailure(QString::number(unit), plan.kind);
        if (!numberFailure.isEmpty()) {
            output.note(numberFailure);
            return std::nullopt;
        }
        if (loggedBefore(unit))
            return std::nullopt;
        if (takenSince.count(unit) > 0)
            continue;
        if (unit != number) {
            const SeriesRow &taken = takenSince.at(number);
            output.note(QStringLiteral("Le journal %1 tient désormais le %2 (ligne %3, un autre "
                                       "programme) : ce node devient le %4")
                            .arg(quoted(log.path()), unitName(number))
                            .arg(taken.line)
                            .arg(unitName(unit)));
        }
        return unit;
    }
}

std::optional<SeriesRun::Step> SeriesRun::reserve()
{
    if (const std::optional<Step> waiting = waitForLock())
        return waiting;
    const SeriesLog::Reservation reservation = log.reserve(
        [this] { return takeNumber(); },
        [this](int unit) {
            number = unit;
            written = preset(seen);
            return rowOf(number, addressText(written), seen, SeriesResult::reserved());
        });
    // The lock is kept until the unit's result is stored.
    if (!reservation.failure.isEmpty())
        return logFailure(reservation.failure);
    if (!reservation.number)
        return finish();
    return writeUnit();
}

std::optional<SeriesRun::Step> SeriesRun::writeUnit()
{
    if (!link->write(written))
        return failed(SeriesResult::writeFailure({WriteResult::WriteFailed, {}}, written), seen);
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
        return verified(outcome.readBack);
    return failed(SeriesResult::writeFailure(outcome, written), seen);
}

std::optional<SeriesRun::Step> SeriesRun::record(const SeriesRow &row, Attempt attempt,
                                                 const QString &line)
{
    pending = {row, attempt, line};
    lockTries = 0;
    phase = Phase::Recording;
    return std::nullopt;
}

std::optional<SeriesRun::Step> SeriesRun::storeRecord()
{
    if (const std::optional<Step> waiting = waitForLock())
        return waiting;
    const QString failure = log.append(pending.row);
    log.unlock();
    if (!failure.isEmpty())
        return logFailure(failure);
    output.print(pending.line);
    count(pending.row, pending.attempt);
    return unitEnded();
}

// Said on standard output where the unit's line would have been: a script
// reading the results sees it.
SeriesRun::Step SeriesRun::logFailure(const QString &why)
{
    log.unlock();
    logFailed = true;
    if (phase != Phase::Recording) {
        const QString reason =
            QStringLiteral("le numéro ne peut pas être réservé dans le journal (%1)").arg(why);
        output.print(QStringLiteral("%1 : %2 ; %3 n'est pas écrit ; la série s'arrête")
                         .arg(unitName(number, true), reason, unitNode.label()));
        // An attempt the log could not keep: the window shows it all the same.
        count(rowFor(number, seen, SeriesResult::failed(reason), Attempt::Failed), Attempt::Failed);
        return finish();
    }
    SeriesRow row = pending.row;
    if (pending.attempt == Attempt::Verified) {
        output.print(QStringLiteral("%1 : %2, écrit et relu identique sur %3, mais NON "
                                    "JOURNALISÉ (%4) : le numéro %5 reste réservé dans le journal "
                                    "; la série s'arrête")
                         .arg(unitName(number, true), row.address, unitNode.label(), why)
                         .arg(number));
        row.result = QStringLiteral("écrit et relu identique, non journalisé : %1").arg(why);
        count(row, Attempt::NotLogged);
    } else {
        output.print(pending.line);
        output.print(QStringLiteral("Cette ligne n'a pas pu être enregistrée dans le journal "
                                    "(%1) ; la série s'arrête")
                         .arg(why));
        row.result += QStringLiteral(" (non journalisé : %1)").arg(why);
        count(row, pending.attempt);
    }
    return finish();
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
    log.unlock();
    link.reset();
    phase = Phase::Done;
    printSummary();
    return Step::Done;
}

std::optional<SeriesRun::Step> SeriesRun::verified(const NodeReport &readBack)
{
    const int capacity = capacityFromByte(readBack[Report::MaxUniverses]);
    const QString line = QStringLiteral("%1 : %2, %3 univers, %4 : %5")
                             .arg(unitName(number, true), addressText(written),
                                  QString::number(capacity), unitNode.label(),
                                  SeriesResult::verified());
    return record(rowFor(number, readBack, SeriesResult::verified(), Attempt::Verified),
                  Attempt::Verified, line);
}

std::optional<SeriesRun::Step> SeriesRun::alreadyDone(const DoneUnit &unit,
                                                      const NodeReport &current)
{
    const QString line = QStringLiteral("Node %1 déjà configuré dans cette série (%2) : pas réécrit")
                             .arg(unitNode.label(), unitName(unit.number));
    return record(rowFor(unit.number, current, SeriesResult::alreadyDone(), Attempt::AlreadyDone),
                  Attempt::AlreadyDone, line);
}

// Written earlier, by another run or by hand: the technician decides
// whether it goes back in its box or is renumbered.
std::optional<SeriesRun::Step> SeriesRun::otherUnit(const HeldUnit &held,
                                                    const NodeReport &current)
{
    const QString heldName = ::unitName(held.kind, held.number);
    const QString address = addressText(current);
    const QString line = QStringLiteral("Node %1 : %2 ; débranchez-le, ou renumérotez-le à la "
                                        "main : le numéro reste %3")
                             .arg(unitNode.label(), SeriesResult::otherUnit(heldName, address))
                             .arg(number);
    SeriesRow row = rowOf(held.number, address, current, SeriesResult::otherUnit(heldName, address));
    row.kind = held.kind;
    row.size = held.size;
    return record(row, Attempt::OtherUnit, line);
}

std::optional<SeriesRun::Step> SeriesRun::failed(const QString &reason,
                                                 const std::optional<NodeReport> &current)
{
    const QString line = QStringLiteral("%1 : échec, %2 ; %3 : le numéro reste %4")
                             .arg(unitName(number, true), reason, unitNode.label(),
                                  QString::number(number));
    return record(rowFor(number, current, SeriesResult::failed(reason), Attempt::Failed),
                  Attempt::Failed, line);
}

// The attempt is counted once its row is stored (or known lost).
void SeriesRun::count(const SeriesRow &row, Attempt attempt)
{
    history.push_back({row, attempt});
    switch (attempt) {
    case Attempt::Verified:
    case Attempt::NotLogged:
        done.push_back({number, unitNode.serial, written});
        if (reuse == number)
            reuse.reset();
        ++number;
        failurePending = false;
        break;
    case Attempt::AlreadyDone:
    case Attempt::OtherUnit: ++alreadyDoneCount; break;
    case Attempt::Failed:
        ++failures;
        failurePending = true;
        break;
    }
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

SeriesRow SeriesRun::rowFor(int unit, const std::optional<NodeReport> &current,
                            const QString &result, Attempt attempt) const
{
    const QString address = attempt == Attempt::AlreadyDone && current
                                ? addressText(*current)
                                : addressText(preset(current.value_or(NodeReport{})));
    return rowOf(unit, address, current, result);
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
