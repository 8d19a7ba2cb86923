#include "ui/serieswindow.h"

#include "app/messages.h"
#include "protocol/itemnames.h"
#include "protocol/validation.h"
#include "series/heldnumbers.h"
#include "ui/bytevalidator.h"
#include "ui/filechooser.h"
#include "ui/usersettings.h"
#include "ui_serieswindow.h"
#include "usb/hidpacing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
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
const QString LoggedTimeFormat = QStringLiteral("dd/MM/yyyy à HH:mm:ss");

QString kindName(int curtainSize)
{
    return QStringLiteral("Rideau %1").arg(curtainSizeNames()[curtainSize]);
}

// The kind at an index of the kind list, as the log names it.
QString kindText(int index)
{
    const int sizes = curtainSizeNames().size();
    return index < sizes ? unitKindText(UnitKind::Curtain, index) : unitKindText(UnitKind::Costume, 0);
}

// The large result's word: the row's, a failure in capitals to be seen
// from a step away.
QString attemptWord(SeriesRun::Attempt attempt)
{
    switch (attempt) {
    case SeriesRun::Attempt::Verified: return SeriesResult::verified();
    case SeriesRun::Attempt::AlreadyDone: return SeriesResult::alreadyDone();
    case SeriesRun::Attempt::NotLogged: return QStringLiteral("NON JOURNALISÉ");
    case SeriesRun::Attempt::OtherUnit:
    case SeriesRun::Attempt::Failed: break;
    }
    return QStringLiteral("ÉCHEC");
}

QColor attemptColour(SeriesRun::Attempt attempt)
{
    switch (attempt) {
    case SeriesRun::Attempt::Verified: return VerifiedColour;
    case SeriesRun::Attempt::AlreadyDone:
    case SeriesRun::Attempt::OtherUnit: return AlreadyDoneColour;
    case SeriesRun::Attempt::Failed:
    case SeriesRun::Attempt::NotLogged: break;
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
    // The main window's hint: the udev rule, or another program holding it.
    finder.setAccessRefusedFix(message(AccessRefusedFix));
    QFont large = ui->result->font();
    large.setPointSizeF(large.pointSizeF() * ResultFontScale);
    large.setBold(true);
    ui->result->setFont(large);

    restoreChoices();
    connect(ui->bStart, &QPushButton::clicked, this, &SeriesWindow::start);
    connect(ui->bStop, &QPushButton::clicked, this, &SeriesWindow::stop);
    connect(ui->bLog, &QPushButton::clicked, this, &SeriesWindow::chooseLog);
    connect(ui->kind, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SeriesWindow::showKindNumber);
    connect(ui->logPath, &QLineEdit::textChanged, this, &SeriesWindow::readChosenLog);
    connect(ui->logPath, &QLineEdit::textChanged, this, &SeriesWindow::rememberChoices);
    connect(ui->kind, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SeriesWindow::rememberChoices);
    connect(&pollTimer, &QTimer::timeout, this, &SeriesWindow::poll);
    pollTimer.setSingleShot(true);
    readChosenLog();
}

SeriesWindow::~SeriesWindow()
{
    delete ui;
}

void SeriesWindow::startFrom(const QString &curtain, int curtainSize, const QString &costume)
{
    if (isRunning())
        return;
    if (!isCostume())
        ui->kind->setCurrentIndex(curtainSize);
    followForm(curtain, costume);
}

void SeriesWindow::followForm(const QString &curtain, const QString &costume)
{
    curtainNumber = curtain;
    costumeNumber = costume;
    if (!isRunning())
        showKindNumber();
}

void SeriesWindow::restoreChoices()
{
    const QString kind = rememberedSeriesKind();
    for (int index = 0; index < ui->kind->count(); ++index) {
        if (kindText(index) == kind)
            ui->kind->setCurrentIndex(index);
    }
    ui->logPath->setText(rememberedSeriesLog());
}

void SeriesWindow::rememberChoices()
{
    rememberSeriesKind(kindText(ui->kind->currentIndex()));
    rememberSeriesLog(ui->logPath->text());
}

bool SeriesWindow::isRunning() const
{
    return run && !run->isDone();
}

bool SeriesWindow::isCostume() const
{
    return ui->kind->currentIndex() == curtainSizeNames().size();
}

// A unit's number is its address, whatever its kind: the log's next number
// goes before a lower one of the form.
void SeriesWindow::showKindNumber()
{
    const QString formNumber = isCostume() ? costumeNumber : curtainNumber;
    const bool logAhead = logNext && (formNumber.isEmpty() || *logNext > formNumber.toInt());
    ui->firstNumber->setText(logAhead ? QString::number(*logNext) : formNumber);
}

// The number after those the log holds, as soon as the log is named; a log
// that cannot be read is said when the series starts.
void SeriesWindow::readChosenLog()
{
    std::vector<SeriesRow> rows;
    const QString logPath = QDir::fromNativeSeparators(ui->logPath->text());
    logNext.reset();
    if (!logPath.isEmpty() && SeriesLog::read(logPath, rows).isEmpty())
        logNext = numberAfter(heldNumbers(rows));
    showKindNumber();
    if (logNext)
        emit logNumbersRead(*logNext);
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
    question.appends = true;
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
    const HeldNumbers held = heldNumbers(log->rows());
    const auto heldFrom = held.find(wanted.from);
    if (heldFrom != held.end())
        return askToReuse(wanted, heldFrom->second);
    startPlan(wanted);
}

// Not a modal loop: the question waits on its own, and the series starts
// only once the user said so.
void SeriesWindow::askToReuse(const SeriesPlan &wanted, const SeriesRow &row)
{
    const QString unit = row.kind ? unitKindText(*row.kind, row.size) : QStringLiteral("unité");
    const QString time = row.time.toString(LoggedTimeFormat);
    const QString held = row.reservation()
                             ? QStringLiteral("réservé le %1 sans résultat (écriture interrompue, "
                                              "ou en cours sur un autre poste)")
                                   .arg(time)
                             : QStringLiteral("vérifié le %1").arg(time);
    auto *const question = new QMessageBox(
        QMessageBox::Warning, windowTitle(),
        QStringLiteral("Le journal tient déjà le numéro %1 (%2, %3), %4 (ligne %5).\n"
                       "Le redonner au prochain node fera deux nodes à cette adresse.")
            .arg(row.number)
            .arg(unit, row.address, held)
            .arg(row.line),
        QMessageBox::NoButton, this);
    question->setObjectName(QStringLiteral("reuseQuestion"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *const reuse =
        question->addButton(QStringLiteral("Redonner le numéro %1").arg(row.number),
                            QMessageBox::AcceptRole);
    question->setDefaultButton(question->addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole));
    connect(question, &QMessageBox::finished, this, [this, question, reuse, wanted](int) {
        if (question->clickedButton() != reuse) {
            note(QStringLiteral("Série non démarrée : choisissez un autre premier numéro"));
            return;
        }
        SeriesPlan reused = wanted;
        reused.reuseLogged = true;
        startPlan(reused);
    });
    question->open();
}

void SeriesWindow::startPlan(const SeriesPlan &wanted)
{
    LineOutput &lines = *this;
    run = std::make_unique<SeriesRun>(wanted, finder, clock, lines, *log);
    run->setReadObserver([this](const NodeReport &configuration) { emit nodeRead(configuration); });
    // The rows of earlier series stay, as the notes do.
    shownAttempts = 0;
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
    // A unit under way goes on to its end, on its timer; the run ends then.
    if (!polling && !run->unitUnderWay()) {
        pollTimer.stop();
        poll();
    }
}

void SeriesWindow::poll()
{
    polling = true;
    const SeriesRun::Step step = run->poll();
    polling = false;
    showNewAttempts();
    showCounts();
    if (finishAfterPoll)
        return finishNow();
    schedule(step);
}

void SeriesWindow::schedule(SeriesRun::Step step)
{
    switch (step) {
    case SeriesRun::Step::Wait: pollTimer.start(NodeFinder::PollIntervalMs); break;
    case SeriesRun::Step::Pause: pollTimer.start(run->pauseMs()); break;
    case SeriesRun::Step::Done: runEnded(); break;
    }
}

// Closing or quitting does not wait for the timers: the unit under way is
// finished here, its pauses slept, so that no node is left written but
// not verified, nor its row missing from the log.
void SeriesWindow::finishNow()
{
    finishAfterPoll = false;
    if (!isRunning())
        return;
    if (polling) {
        finishAfterPoll = true;
        run->stop();
        return;
    }
    pollTimer.stop();
    run->stop();
    while (!run->isDone()) {
        if (run->poll() == SeriesRun::Step::Pause)
            hidPauseFor(run->pauseMs());
    }
    showNewAttempts();
    showCounts();
    runEnded();
}

// The next series starts where this one ended.
void SeriesWindow::runEnded()
{
    pollTimer.stop();
    (isCostume() ? costumeNumber : curtainNumber) = QString::number(run->nextNumber());
    setRunning(false);
    readChosenLog();
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
    emit runningChanged(running);
}

void SeriesWindow::showNewAttempts()
{
    const std::vector<SeriesRun::AttemptRecord> &attempts = run->attempts();
    if (shownAttempts == attempts.size())
        return;
    for (; shownAttempts < attempts.size(); ++shownAttempts) {
        const SeriesRun::AttemptRecord &record = attempts[shownAttempts];
        showAttempt(record);
        // A unit not logged holds its number too: the next one goes on.
        if (record.attempt == SeriesRun::Attempt::Verified
            || record.attempt == SeriesRun::Attempt::NotLogged)
            emit unitVerified(record.row.kind.value_or(UnitKind::Curtain), record.row.number + 1);
    }
    showResult(attempts.back());
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
    // A node holding another unit is named by that unit, in the row's words.
    ui->result->setText(record.attempt == SeriesRun::Attempt::OtherUnit
                            ? QStringLiteral("Node %1").arg(record.row.result)
                            : QStringLiteral("%1 : %2")
                                  .arg(run->unitName(record.row.number, true),
                                       attemptWord(record.attempt)));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, attemptColour(record.attempt));
    colours.setColor(QPalette::WindowText, Qt::white);
    ui->result->setPalette(colours);
    if (attemptColour(record.attempt) == FailedColour)
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
    ui->notes->appendPlainText(line);
}

void SeriesWindow::closeEvent(QCloseEvent *event)
{
    finishNow();
    QWidget::closeEvent(event);
}
