#include "ui/serieswindow.h"

#include "app/sharedstate.h"
#include "protocol/itemnames.h"
#include "protocol/validation.h"
#include "ui/bytevalidator.h"
#include "ui/filechooser.h"
#include "ui_serieswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QStandardPaths>

namespace {

enum Column { NumberColumn, AddressColumn, SerialColumn, TimeColumn, ResultColumn };

// The unit's result is read from a step away: three times the usual text.
constexpr int ResultFontScale = 3;
const QColor VerifiedColour(0x2E, 0xA0, 0x43);
const QColor FailedColour(0xD0, 0x31, 0x2D);
const QColor AlreadyDoneColour(0xE0, 0xA0, 0x20);
const QString TimeFormat = QStringLiteral("HH:mm:ss");
const QString LogFilter = QStringLiteral("Journal CSV (*.csv);;Tous les fichiers (*)");
const QString ProposedLogName = QStringLiteral("serie.csv");

QString kindName(int curtainSize)
{
    return QStringLiteral("Rideau %1").arg(curtainSizeNames()[curtainSize]);
}

QString attemptWord(SeriesRun::Attempt attempt)
{
    switch (attempt) {
    case SeriesRun::Attempt::Verified: return QStringLiteral("vérifié");
    case SeriesRun::Attempt::AlreadyDone: return QStringLiteral("déjà configuré");
    case SeriesRun::Attempt::Failed: break;
    }
    return QStringLiteral("ÉCHEC");
}

QColor attemptColour(SeriesRun::Attempt attempt)
{
    switch (attempt) {
    case SeriesRun::Attempt::Verified: return VerifiedColour;
    case SeriesRun::Attempt::AlreadyDone: return AlreadyDoneColour;
    case SeriesRun::Attempt::Failed: break;
    }
    return FailedColour;
}

} // namespace

SeriesWindow::SeriesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::SeriesWindowUi), finder(clock, *this)
{
    ui->setupUi(this);
    for (int size = 0; size < curtainSizeNames().size(); ++size)
        ui->kind->addItem(kindName(size));
    ui->kind->addItem(QStringLiteral("Costume"));
    ui->firstNumber->setValidator(new ByteValidator(ByteFieldMin, ByteFieldMax, this));
    QFont large = ui->result->font();
    large.setPointSizeF(large.pointSizeF() * ResultFontScale);
    large.setBold(true);
    ui->result->setFont(large);

    connect(ui->bStart, &QPushButton::clicked, this, &SeriesWindow::start);
    connect(ui->bStop, &QPushButton::clicked, this, &SeriesWindow::stop);
    connect(ui->bLog, &QPushButton::clicked, this, &SeriesWindow::chooseLog);
    connect(ui->kind, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SeriesWindow::showKindNumber);
    connect(&pollTimer, &QTimer::timeout, this, &SeriesWindow::poll);
    pollTimer.setInterval(NodeFinder::PollIntervalMs);
}

SeriesWindow::~SeriesWindow()
{
    delete ui;
}

void SeriesWindow::startFrom(const QString &curtain, int curtainSize, const QString &costume)
{
    if (isRunning())
        return;
    curtainNumber = curtain;
    costumeNumber = costume;
    if (!isCostume())
        ui->kind->setCurrentIndex(curtainSize);
    showKindNumber();
}

bool SeriesWindow::isRunning() const
{
    return run && !run->isDone();
}

bool SeriesWindow::isCostume() const
{
    return ui->kind->currentIndex() == curtainSizeNames().size();
}

void SeriesWindow::showKindNumber()
{
    ui->firstNumber->setText(isCostume() ? costumeNumber : curtainNumber);
}

SeriesPlan SeriesWindow::plan() const
{
    SeriesPlan plan;
    plan.kind = isCostume() ? UnitKind::Costume : UnitKind::Curtain;
    plan.size = isCostume() ? 0 : ui->kind->currentIndex();
    plan.from = ui->firstNumber->text().toInt();
    plan.retryWindowMs = ReadRetryWindowMs;
    return plan;
}

void SeriesWindow::chooseLog()
{
    FileQuestion question;
    question.purpose = FileQuestion::Purpose::Save;
    question.caption = QStringLiteral("Journal de la série");
    question.proposedPath =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(ProposedLogName);
    question.filter = LogFilter;
    const QString path = chooseFile(this, question);
    if (!path.isEmpty())
        ui->logPath->setText(QDir::toNativeSeparators(path));
}

void SeriesWindow::start()
{
    const SeriesPlan wanted = plan();
    const QString numberFailure = unitNumberFailure(ui->firstNumber->text(), wanted.kind);
    if (!numberFailure.isEmpty())
        return note(numberFailure);
    auto newLog = std::make_unique<SeriesLog>();
    const QString logPath = QDir::fromNativeSeparators(ui->logPath->text());
    if (!logPath.isEmpty()) {
        const QString logFailure = newLog->open(logPath);
        if (!logFailure.isEmpty())
            return note(QStringLiteral("Journal : %1").arg(logFailure));
    }
    run.reset();
    log = std::move(newLog);
    LineOutput &lines = *this;
    run = std::make_unique<SeriesRun>(wanted, finder, clock, lines, *log);
    shownAttempts = 0;
    ui->attempts->setRowCount(0);
    ui->result->clear();
    ui->result->setPalette(palette());
    setRunning(true);
    showCounts();
    poll();
}

void SeriesWindow::stop()
{
    if (!isRunning())
        return;
    run->stop();
    // Asked while a poll writes a unit, the stop waits for that poll to end.
    if (!polling)
        poll();
}

void SeriesWindow::poll()
{
    polling = true;
    const SeriesRun::Step step = run->poll();
    polling = false;
    showNewAttempts();
    showCounts();
    if (step == SeriesRun::Step::Done)
        setRunning(false);
}

SeriesWindow::PlanInputs SeriesWindow::planInputs() const
{
    return {ui->kind, ui->firstNumber, ui->logPath, ui->bLog, ui->bStart};
}

void SeriesWindow::setRunning(bool running)
{
    for (QWidget *const input : planInputs())
        input->setEnabled(!running);
    ui->bStop->setEnabled(running);
    if (running)
        pollTimer.start();
    else
        pollTimer.stop();
    emit runningChanged(running);
}

void SeriesWindow::showNewAttempts()
{
    const std::vector<SeriesRun::AttemptRecord> &attempts = run->attempts();
    if (shownAttempts == attempts.size())
        return;
    for (; shownAttempts < attempts.size(); ++shownAttempts)
        showAttempt(attempts[shownAttempts]);
    showResult(attempts.back());
    // The main form reads the node again and shows what it now holds.
    waitingForNode = true;
}

void SeriesWindow::showAttempt(const SeriesRun::AttemptRecord &record)
{
    const SeriesRow &row = record.row;
    const int line = ui->attempts->rowCount();
    ui->attempts->insertRow(line);
    const QStringList cells = {QString::number(row.number), row.address, row.serial,
                               row.time.toString(TimeFormat), row.result};
    for (int column = NumberColumn; column <= ResultColumn; ++column)
        ui->attempts->setItem(line, column, new QTableWidgetItem(cells[column]));
    ui->attempts->scrollToBottom();
}

void SeriesWindow::showResult(const SeriesRun::AttemptRecord &record)
{
    ui->result->setText(QStringLiteral("%1 : %2")
                            .arg(run->unitName(record.row.number, true),
                                 attemptWord(record.attempt)));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, attemptColour(record.attempt));
    colours.setColor(QPalette::WindowText, Qt::white);
    ui->result->setPalette(colours);
    if (record.attempt == SeriesRun::Attempt::Failed)
        QApplication::beep();
}

void SeriesWindow::showCounts()
{
    ui->counts->setText(QStringLiteral("Configurés et vérifiés : %1 · échecs : %2 · déjà "
                                       "configurés : %3 · prochain numéro : %4")
                            .arg(run->verifiedCount())
                            .arg(run->failureCount())
                            .arg(run->alreadyDoneTotal())
                            .arg(run->nextNumber()));
}

void SeriesWindow::print(const QString &line)
{
    note(line);
}

void SeriesWindow::note(const QString &line)
{
    ui->notes->setText(line);
}

void SeriesWindow::closeEvent(QCloseEvent *event)
{
    stop();
    QWidget::closeEvent(event);
}
