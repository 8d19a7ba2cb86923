#pragma once

#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "link/systemclock.h"
#include "series/serieslog.h"
#include "series/seriesrun.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class SeriesWindowUi;
}

// The series by plug-in alone, beside the main window and on the rules of
// nodeconfig-cli series: its timer polls the run, and each plugged node
// becomes the next unit, one row per attempt. The run's lines go to the
// window's notes.
class SeriesWindow : public QWidget, private LineOutput
{
    Q_OBJECT

public:
    explicit SeriesWindow(QWidget *parent);
    ~SeriesWindow() override;

    // The first numbers and curtain size the main form holds; shown while
    // no series runs.
    void startFrom(const QString &curtainNumber, int curtainSize, const QString &costumeNumber);
    bool isRunning() const;

signals:
    void runningChanged(bool running);

protected:
    // Ends a running series first; a unit is never left half written, as
    // the run's polls are whole.
    void closeEvent(QCloseEvent *event) override;

private:
    // As long as nodeconfig-cli gives a read by default.
    static constexpr int ReadRetryWindowMs = 10000;
    // What the user sets before a series starts, and only then.
    using PlanInputs = std::array<QWidget *, 5>;

    void print(const QString &line) override;
    void note(const QString &line) override;

    void start();
    void stop();
    void poll();
    void chooseLog();
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
    bool polling = false; // a poll is under way, perhaps writing a unit
    QString curtainNumber;
    QString costumeNumber;
};
