// "Ajouter" with a series log chosen in the series window: the form's unit
// goes through the log as a series' unit does. Its number is reserved
// under the log's lock before the node is written, and refused when the log
// holds it already; its result row follows the read-back that the search
// does after every write. Without a log, "Ajouter" writes as it always did.

#include "app/messages.h"
#include "app/sharedstate.h"
#include "config/configtext.h"
#include "link/verifiedwrite.h"
#include "protocol/encoding.h"
#include "series/heldnumbers.h"
#include "series/serieslog.h"
#include "ui/mainwindow.h"
#include "ui/usersettings.h"
#include "ui_mainwindow.h"
#include "usb/hidpacing.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <QDir>

namespace {

// The unit's row as the form gives it: its kind, size and number, the
// capacity of the node last read and the serial number of the one open.
SeriesRow formUnitRow(UnitKind kind, int size, int number, const NodeReport &preset,
                      const QString &result)
{
    SeriesRow row;
    row.number = number;
    row.address = addressText(preset);
    row.capacity = nodeConnected ? capacityFromByte(reportBuffer[Report::MaxUniverses]) : 0;
    row.serial = hidSerialNumber(Node::Device);
    row.time = QDateTime::currentDateTime();
    row.result = result;
    row.kind = kind;
    row.size = kind == UnitKind::Curtain ? size : 0;
    return row;
}

} // namespace

QString MainWindow::chosenSeriesLog() const
{
    return QDir::fromNativeSeparators(rememberedSeriesLog());
}

bool MainWindow::reserveInLog(UnitKind kind, int number, const NodeReport &preset)
{
    // A unit still waiting for its read-back keeps its reservation, without
    // a result: its number is not given again.
    loggedUnit.reset();
    const QString path = chosenSeriesLog();
    auto log = std::make_unique<SeriesLog>();
    QString failure = log->open(path);
    if (failure.isEmpty())
        failure = lockSeriesLog(*log, hidPauseFor);
    if (!failure.isEmpty()) {
        reportFileOutcome(Status::LogUnusable, failure);
        return false;
    }
    const int size = ui->cbRideau->currentIndex();
    QString refusal;
    const SeriesLog::Reservation reservation = log->reserve(
        [&log, &refusal, &path, kind, number]() -> std::optional<int> {
            const HeldNumbers held = heldNumbers(log->rows());
            const auto found = held.find(number);
            if (found == held.end())
                return number;
            refusal = heldNumberText(path, unitName(kind, number), found->second)
                      + QStringLiteral(" : rien n'est écrit");
            return std::nullopt;
        },
        [kind, size, &preset](int unit) {
            return formUnitRow(kind, size, unit, preset, SeriesResult::reserved());
        });
    log->unlock();
    if (!reservation.failure.isEmpty()) {
        reportFileOutcome(Status::LogUnusable, reservation.failure);
        return false;
    }
    if (!reservation.number) {
        reportFileOutcome(Status::NumberInLog, refusal);
        return false;
    }
    unitLog = std::move(log);
    loggedUnit = std::make_unique<SeriesRow>(unitLog->rows().back());
    loggedPreset = preset;
    return true;
}

void MainWindow::storeUnitResult(const QString &result, bool nodeWritten)
{
    if (!loggedUnit)
        return;
    SeriesRow row = *loggedUnit;
    loggedUnit.reset();
    row.result = result;
    row.time = QDateTime::currentDateTime();
    if (nodeConnected)
        row.capacity = capacityFromByte(reportBuffer[Report::MaxUniverses]);
    QString failure = lockSeriesLog(*unitLog, hidPauseFor);
    if (failure.isEmpty()) {
        failure = unitLog->append(row);
        unitLog->unlock();
    }
    const QString name = unitName(*row.kind, row.number, true);
    // A write the node refused changed nothing on it: the log alone failed.
    if (!failure.isEmpty())
        return reportFileOutcome(nodeWritten ? Status::NotLogged : Status::LogUnusable,
                                 QStringLiteral("%1 : %2, mais pas enregistré dans le journal "
                                                "(%3) : le numéro %4 y reste réservé")
                                     .arg(name, result, failure)
                                     .arg(row.number));
    ui->statusBar->showMessage(QStringLiteral("%1 : %2, inscrit au journal %3")
                                   .arg(name, result, quoted(unitLog->path())));
}

void MainWindow::settleLoggedUnit(bool readBack)
{
    if (!loggedUnit)
        return;
    const std::optional<NodeReport> node =
        readBack ? std::optional<NodeReport>(reportBuffer) : std::nullopt;
    storeUnitResult(SeriesResult::ofWrite(readBackOutcome(node, loggedPreset), loggedPreset), true);
}
