#pragma once

#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "link/systemclock.h"
#include "protocol/nodereport.h"
#include "series/serieslog.h"
#include "series/seriesrun.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class SeriesWindowUi;
}

// The series by plug-in alone, beside the main window and on the rules of
// nodeconfig-cli series: a single-shot timer drives the run's polls, each one
// exchange at most, so that the window never waits on a node; each plugged
// node becomes the next unit, one row per attempt. Every line of the run
// stays in the window's notes. The main window hears through signals what
// the series read and which number comes next. The log and the kind chosen
// are kept for the next start of the program.
class SeriesWindow : public QWidget, private LineOutput
{
    Q_OBJECT

public:
    explicit SeriesWindow(QWidget *parent);
    ~SeriesWindow() override;

    // The first numbers and curtain size the main form holds; shown while
    // no series runs.
    void startFrom(const QString &curtainNumber, int curtainSize, const QString &costumeNumber);
    // The main form's numbers changed (Ajouter, or typed): the next series
    // starts from them, or from the log's next number if that is higher.
    void followForm(const QString &curtainNumber, const QString &costumeNumber);
    bool isRunning() const;

signals:
    void runningChanged(bool running);
    // A unit of this kind was verified: the next one is `nextNumber`.
    void unitVerified(UnitKind kind, int nextNumber);
    // The chosen log holds numbers up to `nextNumber` - 1.
    void logNumbersRead(int nextNumber);
    // The series read this configuration from a node.
    void nodeRead(const NodeReport &configuration);

protected:
    // Ends a running series first, after the unit being written.
    void closeEvent(QCloseEvent *event) override;

private:
    // As long as nodeconfig-cli gives a read by default.
    static constexpr int ReadRetryWindowMs = 10000;
    // What the user sets before a series starts, and only then.
    using PlanInputs = std::array<QWidget *, 5>;

    void print(const QString &line) override;
    void note(const QString &line) override;

    void start();
    // Asks whether a number the log holds as verified is to be given again.
    void askToReuse(const SeriesPlan &wanted, const SeriesRow &row);
    void startPlan(const SeriesPlan &wanted);
    void stop();
    void poll();
    void schedule(SeriesRun::Step step);
    // Takes the run to its end at once: a unit under way is finished first.
    void finishNow();
    void runEnded();
    void chooseLog();
    void readChosenLog();
    // The log and kind of the last time, as the program starts.
    void restoreChoices();
    void rememberChoices();
    void showKindNumber();
    PlanInputs planInputs() const;
    void setRunning(bool running);
    SeriesPlan plan() const;
    bool isCostume() const;
    // The rows and the large result of the attempts not shown yet.
    void showNewAttempts();
    void showAttempt(const SeriesRun::AttemptRecord &record);
    void showResult(const SeriesRun::AttemptRecord &record);
    void showCounts();

    Ui::SeriesWindowUi *ui;
    SystemClock clock;
    NodeFinder finder;
    QTimer pollTimer;
    std::unique_ptr<SeriesLog> log;
    std::unique_ptr<SeriesRun> run;
    std::size_t shownAttempts = 0;
    bool polling = false;       // a poll is under way
    bool finishAfterPoll = false; // closed during a poll
    QString curtainNumber;
    QString costumeNumber;
    std::optional<int> logNext; // the number after those the chosen log holds
};
