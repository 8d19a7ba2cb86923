#include "ui/mainwindow.h"

#include "app/messages.h"
#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "protocol/itemnames.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "series/heldnumbers.h"
#include "series/serieslog.h"
#include "ui/bytevalidator.h"
#include "ui/formfont.h"
#include "ui/frequencyvalidator.h"
#include "ui/guidewindow.h"
#include "ui/networkwindow.h"
#include "ui/serieswindow.h"
#include "ui/usersettings.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QTimer>

namespace {

constexpr int RefreshIntervalMs = 15;

// What the status lines and the capacity label show once the tool runs.
LaterTexts laterTexts(const Ui::MainWindowUi &ui)
{
    QStringList messages;
    for (int index = 0; index < Status::Count; ++index)
        messages << message(Status::All[index]);
    const QStringList capacities = {QString::number(SmallCapacity),
                                    QString::number(LargeCapacity)};
    return {{ui.display, messages},  {ui.display2, messages},      {ui.display3, messages},
            {ui.display4, messages}, {ui.maxUnivers, capacities}};
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindowUi)
{
    ui->setupUi(this);
    installValidators();
    // The chip slot is already connected, so adding the first item selects
    // it and hides the clock fields of TS3001.
    ui->output->addItems(chipNames());
    ui->cbRideau->addItems(curtainSizeNames());
    restoreSeriesChoices();
    // Once every text is in place: the fixed geometry may be too small for
    // the platform's font.
    fitFormFont(ui->centralWidget, laterTexts(*ui));
    connectMenus();
    acceptConfigurationDrops();
    statusText = message(Status::WaitingForNode);

    // A child of the window: it runs as long as the window exists and goes
    // with it, so that a destroyed window leaves no timer behind.
    auto *const refreshTimer = new QTimer(this);
    connect(refreshTimer, SIGNAL(timeout()), this, SLOT(updateDisplay()));
    refreshTimer->start(RefreshIntervalMs);
    connect(searchTimer, SIGNAL(timeout()), this, SLOT(searchDevice()));
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::installValidators()
{
    auto *const byteValidator = new ByteValidator(ByteFieldMin, ByteFieldMax, this);
    auto *const frequencyValidator =
        new FrequencyValidator(LowestClockMhz, HighestClockMhz, ClockDecimals, this);
    frequencyValidator->setNotation(QDoubleValidator::StandardNotation);

    const ConfigEdits edits = configEdits();
    for (int slot = 0; slot < Slot::EditCount; ++slot)
        edits[slot]->setValidator(Slot::isFrequency(slot)
                                      ? static_cast<const QValidator *>(frequencyValidator)
                                      : byteValidator);
    ui->numRideau->setValidator(byteValidator);
    ui->numCostume->setValidator(byteValidator);
}

MainWindow::ConfigEdits MainWindow::configEdits() const
{
    return {ui->ipa1,   ui->ipa2,   ui->ipa3,   ui->ipa4,   ui->ipm1,     ui->ipm2,
            ui->ipm3,   ui->ipm4,   ui->ipb1,   ui->ipb2,   ui->ipb3,     ui->ipb4,
            ui->spi1freq, ui->spi2freq,
            ui->spi1p1, ui->spi1p2, ui->spi1p3, ui->spi1p4, ui->spi1p5,   ui->spi1p6,
            ui->spi1p7, ui->spi1p8, ui->spi2p1, ui->spi2p2, ui->spi2p3,   ui->spi2p4,
            ui->spi2p5, ui->spi2p6, ui->spi2p7, ui->spi2p8, ui->offset};
}

MainWindow::FrequencyWidgets MainWindow::frequencyWidgets() const
{
    return {ui->spi1freq, ui->lSpi1Freq, ui->spi2freq, ui->lSpi2Freq};
}

MainWindow::WritingButtons MainWindow::writingButtons() const
{
    return {ui->bSend, ui->bAddRideau, ui->bAddCostume, ui->bReset};
}

void MainWindow::setWritingEnabled(bool enabled)
{
    for (QPushButton *const button : writingButtons())
        button->setEnabled(enabled);
}

void MainWindow::connectMenus()
{
    connect(ui->actionOpen, &QAction::triggered, this, &MainWindow::openConfiguration);
    connect(ui->actionSave, &QAction::triggered, this, &MainWindow::saveConfiguration);
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(ui->actionSeries, &QAction::triggered, this, &MainWindow::showSeriesWindow);
    connect(ui->actionNetwork, &QAction::triggered, this, &MainWindow::showNetworkWindow);
    connect(ui->actionGuide, &QAction::triggered, this, &MainWindow::showGuide);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    for (QLineEdit *const octet : {ui->ipa1, ui->ipa2, ui->ipa3, ui->ipa4})
        connect(octet, &QLineEdit::textChanged, this, &MainWindow::showFormAddressOnNetwork);
}

// Files dropped anywhere on the window reach it: the edits, which would
// take a dropped file's name as text, let drops through.
void MainWindow::acceptConfigurationDrops()
{
    setAcceptDrops(true);
    for (QLineEdit *const edit : ui->centralWidget->findChildren<QLineEdit *>())
        edit->setAcceptDrops(false);
}

void MainWindow::showSeriesWindow()
{
    if (!seriesWindow) {
        seriesWindow = new SeriesWindow(this);
        connect(seriesWindow, &SeriesWindow::runningChanged, this,
                &MainWindow::seriesRunningChanged);
        connect(seriesWindow, &SeriesWindow::nodeRead, this, &MainWindow::showSeriesRead);
        connect(seriesWindow, &SeriesWindow::unitVerified, this, &MainWindow::followSeries);
        connect(seriesWindow, &SeriesWindow::logNumbersRead, this, &MainWindow::followLog);
        // One numbering: Ajouter's numbers are the next series' too.
        const auto followForm = [this] {
            seriesWindow->followForm(ui->numRideau->text(), ui->numCostume->text());
        };
        connect(ui->numRideau, &QLineEdit::textChanged, seriesWindow, followForm);
        connect(ui->numCostume, &QLineEdit::textChanged, seriesWindow, followForm);
    }
    seriesWindow->startFrom(ui->numRideau->text(), ui->cbRideau->currentIndex(),
                            ui->numCostume->text());
    seriesWindow->show();
    seriesWindow->raise();
    seriesWindow->activateWindow();
}

void MainWindow::showNetworkWindow()
{
    if (!networkWindow)
        networkWindow = new NetworkWindow(this, networkReach);
    showFormAddressOnNetwork();
    networkWindow->show();
    networkWindow->raise();
    networkWindow->activateWindow();
}

void MainWindow::showFormAddressOnNetwork()
{
    if (!networkWindow)
        return;
    const QStringList octets = {ui->ipa1->text(), ui->ipa2->text(), ui->ipa3->text(),
                                ui->ipa4->text()};
    networkWindow->setFormAddress(octets.join(QLatin1Char('.')));
}

void MainWindow::seriesRunningChanged(bool running)
{
    seriesRunning = running;
    // The form shows each node the series reads.
    openedFile.clear();
    setWritingEnabled(!running);
    if (!running)
        waitingForNode = true;
}

void MainWindow::showSeriesRead(const NodeReport &configuration)
{
    reportBuffer = configuration;
    decodeReport(reportBuffer);
    reportBuffer[Report::Command] = cmdWriteConfig;
}

void MainWindow::followSeries(UnitKind kind, int nextNumber)
{
    (kind == UnitKind::Curtain ? ui->numRideau : ui->numCostume)->setText(QString::number(nextNumber));
}

void MainWindow::restoreSeriesChoices()
{
    const QString kind = rememberedSeriesKind();
    for (int size = 0; size < ui->cbRideau->count(); ++size) {
        if (kind == unitKindText(UnitKind::Curtain, size))
            ui->cbRideau->setCurrentIndex(size);
    }
    const QString logPath = chosenSeriesLog();
    std::vector<SeriesRow> rows;
    if (logPath.isEmpty() || !SeriesLog::read(logPath, rows).isEmpty())
        return;
    if (const std::optional<int> next = numberAfter(heldNumbers(rows)))
        followLog(*next);
}

// A unit's number is its address, whatever its kind: both fields go past
// the log's numbers.
void MainWindow::followLog(int nextNumber)
{
    for (QLineEdit *const field : {ui->numRideau, ui->numCostume}) {
        if (field->text().isEmpty() || field->text().toInt() < nextNumber)
            field->setText(QString::number(nextNumber));
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (seriesWindow)
        seriesWindow->close();
    if (networkWindow)
        networkWindow->close();
    if (guideWindow)
        guideWindow->close();
    QMainWindow::closeEvent(event);
}
