// The commands that write a configuration to the node: the form's send, the
// factory reset, and the curtain and costume set-up. Each writes the report
// buffer to device 0 and arms the read-back, so that the window ends up
// showing what the node holds. A unit set up with a series log chosen goes
// through that log as a series' unit does (ui/loggedunits.cpp).

#include "app/console.h"
#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "protocol/presets.h"
#include "protocol/validation.h"
#include "series/serieslog.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"
#include "usb/nodeexchange.h"
#include "usb/nodeidentity.h"

#include <algorithm>

namespace {

bool isWholeReport(int written)
{
    return written == static_cast<int>(Report::Size);
}

bool reportFailure(const QString &failure)
{
    if (failure.isEmpty())
        return true;
    statusText = failure;
    return false;
}

} // namespace

bool MainWindow::validateInputs()
{
    ConfigTexts texts;
    const ConfigEdits edits = configEdits();
    for (int slot = 0; slot < Slot::EditCount; ++slot)
        texts[slot] = edits[slot]->text();
    return reportFailure(configurationFailure(texts));
}

FieldTexts MainWindow::formTexts() const
{
    FieldTexts texts;
    const ConfigEdits edits = configEdits();
    for (int slot = 0; slot < Slot::EditCount; ++slot) {
        const QString text = edits[slot]->text();
        texts[slot] = Slot::isFrequency(slot) ? withDecimalPoint(text) : text;
    }
    texts[Slot::MaxUniverses] = ui->maxUnivers->text();
    return texts;
}

int MainWindow::shownChipCode() const
{
    // A chip code outside the list shows no item (index -1): the code the
    // form was filled with is then written back, not -1 cut to 0xFF.
    const int shown = ui->output->currentIndex();
    return shown >= 0 ? shown : formChipCode;
}

int MainWindow::writeToNode()
{
    const int written = writeConfiguration(Node::Device, reportBuffer);
    waitingForNode = true;
    awaitingReadBack = isWholeReport(written) && !openedFile.isEmpty();
    return written;
}

void MainWindow::settleOpenedFile(bool readBack)
{
    if (awaitingReadBack && readBack)
        openedFile.clear();
    awaitingReadBack = false;
}

// Writes a unit's preset; the number advances only when the node took it,
// so that a failed write can be repeated with the same number. With a
// series log chosen and a node connected, the number is reserved in it
// first, and the result stored: a write refused now, a read-back once the
// search read the node.
void MainWindow::writeUnit(const NodeReport &preset, QLineEdit *numberField, long long number,
                           UnitKind kind)
{
    // Without a node there is nothing to reserve a number for: the write
    // fails as it always did.
    const bool logged = nodeConnected && !chosenSeriesLog().isEmpty();
    if (logged && !reserveInLog(kind, static_cast<int>(number), preset))
        return;
    reportBuffer = preset;
    const bool written = isWholeReport(writeToNode());
    if (written)
        numberField->setText(QString::number(number + 1));
    else if (logged)
        storeUnitResult(SeriesResult::failed(
                            SeriesResult::writeFailure({WriteResult::WriteFailed, {}}, preset)),
                        false);
}

void MainWindow::on_bSend_clicked()
{
    if (!validateInputs())
        return;
    reportBuffer = encodingBase();
    const FieldTexts texts = formTexts();
    std::copy(texts.begin(), texts.begin() + Slot::Count, DisplayFields.begin());
    outputTypeIndex = shownChipCode();

    encodeFields(DisplayFields, outputTypeIndex, reportBuffer);
    writeToNode();
}

void MainWindow::on_bReset_clicked()
{
    statusText = message(Status::FactorySettings);
    reportBuffer = factoryReport(reportBuffer[Report::MaxUniverses]);
    const int written = writeToNode();
    consolePrint("r : %i", written);
}

bool MainWindow::checkCurtainNumber()
{
    return reportFailure(unitNumberFailure(ui->numRideau->text(), UnitKind::Curtain));
}

bool MainWindow::checkCostumeNumber()
{
    return reportFailure(unitNumberFailure(ui->numCostume->text(), UnitKind::Costume));
}

void MainWindow::on_bAddRideau_clicked()
{
    if (!checkCurtainNumber())
        return;
    const long long number = decimalTextToInteger(ui->numRideau->text());
    writeUnit(curtainReport(number, ui->cbRideau->currentIndex(),
                            reportBuffer[Report::MaxUniverses]),
              ui->numRideau, number, UnitKind::Curtain);
}

void MainWindow::on_bAddCostume_clicked()
{
    if (!checkCostumeNumber())
        return;
    const long long number = decimalTextToInteger(ui->numCostume->text());
    writeUnit(costumeReport(number, reportBuffer[Report::MaxUniverses]), ui->numCostume, number,
              UnitKind::Costume);
}
