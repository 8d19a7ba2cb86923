// The display refresh: the only code that puts status messages and node
// data on screen, and the chip list's control of the clock fields.

#include "app/sharedstate.h"
#include "protocol/nodereport.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QStatusBar>

namespace {

// Chips driven with a clock of their own; any index outside the list
// (none selected) shows the clock fields too.
bool chipShowsFrequencies(int index)
{
    const bool known = index >= 0 && index < Chip::Count;
    return !known || index == Chip::LPD6803 || index == Chip::SN16716;
}

} // namespace

void MainWindow::updateDisplay()
{
    if (statusText != ui->display->text()) {
        ui->display4->setText(ui->display3->text());
        ui->display3->setText(ui->display2->text());
        ui->display2->setText(ui->display->text());
        ui->display->setText(statusText);
    }
    if (!dataReady)
        return;

    if (openedFile.isEmpty())
        fillForm(DisplayFields, outputTypeIndex);
    else
        ui->statusBar->showMessage(QStringLiteral("Node lu ; le formulaire garde la configuration "
                                                  "ouverte « %1 » : « Envoyer » l'y écrit")
                                       .arg(openedFile));
    ui->maxUnivers->setText(DisplayFields[Slot::MaxUniverses]);
    dataReady = false;
}

void MainWindow::fillForm(const FieldTexts &texts, int chipCode)
{
    formChipCode = chipCode;
    const ConfigEdits edits = configEdits();
    for (int slot = 0; slot < Slot::EditCount; ++slot) {
        // The chip goes in before the clocks, as its change may show them.
        if (slot == Slot::Spi1Freq)
            ui->output->setCurrentIndex(chipCode);
        edits[slot]->setText(texts[slot]);
    }
}

void MainWindow::on_output_currentIndexChanged(int index)
{
    const bool visible = chipShowsFrequencies(index);
    for (QWidget *const widget : frequencyWidgets())
        widget->setVisible(visible);
}
