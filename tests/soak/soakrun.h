#pragma once

#include "sim/fakehid.h"
#include "soak/oracle.h"
#include "soak/soakdice.h"
#include "soak/toolmodel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class MainWindow;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSignalSpy;
class QWidget;

// One seeded soak of the real window against simulated nodes. Each step is
// one random thing a user, the node or the timers do: a search tick, a
// refresh, typing, a click, a plug or unplug, a fault injected into the next
// exchange. After each step the tool's calls, state and window are compared
// with the model.
class SoakRun
{
public:
    explicit SoakRun(std::uint64_t seed);
    ~SoakRun();
    SoakRun(const SoakRun &) = delete;
    SoakRun &operator=(const SoakRun &) = delete;

    // Runs one step; returns what the tool did wrong, with the steps that
    // led there, or an empty string.
    QString step();
    // After the drawn steps: brings about on purpose, one checked step at a
    // time, each fault and outcome those steps did not meet, so that every
    // run covers them all whatever its seed. Returns what the tool did
    // wrong, as step() does, or an empty string.
    QString meetMissedEvents();
    // The faults and outcomes the run has not met yet.
    QString coverageGaps() const;
    QString summary() const;

    MainWindow &window() { return *mainWindow; }
    // Stops recording, drops the pending faults and unplugs every node.
    void unplugNodes();
    // Plugs a plain node in; returns what the window must show of it.
    Oracle::Screenful plugFreshNode();

private:
    enum class Action {
        Tick, Refresh, Type, TypeNumber, FillForm, ChooseChip, ChooseSize,
        Send, Reset, Curtain, Costume,
        PlugNew, Unplug, Replug, Schedule, Refuse, WriteFault, ReadFault, EditAndSend,
    };
    struct Weighted {
        Action action;
        int weight;
    };

    Action pickAction();
    QString perform(Action action);
    QString tick();
    QString refresh();
    QString click(QPushButton *button, Action action);
    void typeEdit(int edit, const QString &text);
    QString typeSomething();
    QString typeInto(int edit);
    QString editAndSend();
    QString typeNumber();
    QString fillForm();
    QString chooseChip(int index);
    QString chooseSize();
    QString changeDevices(Action action);
    QString injectFault(Action action);

    QString judged(QString failure);
    void startTrailEntry();
    QString closingStep(const QString &note, const std::function<QString()> &act);
    QString readyFreshNode();
    QString forceFault(ToolModel::Exchange exchange, fakehid::Fault fault);
    QString forceCleanReadBack();
    QString forceUnitAdvance();
    QString forceLossWithinTick();
    void setUnitNumber(bool curtain, const QString &text);

    QString checkTool();
    QString checkScreen() const;
    QString nothingCalled();
    std::vector<fakehid::DeviceId> nodesWhere(bool present) const;

    SoakDice dice;
    fakehid::DeviceId foreign;
    std::vector<fakehid::DeviceId> nodes;
    ToolModel model;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<QSignalSpy> timerRefreshes;

    std::array<QLineEdit *, Oracle::EditCount> edits{};
    QLineEdit *curtainNumber = nullptr;
    QLineEdit *costumeNumber = nullptr;
    QComboBox *chips = nullptr;
    QComboBox *curtainSizes = nullptr;
    QLabel *capacity = nullptr;
    std::array<QLabel *, 4> history{};
    std::array<QWidget *, 4> clockWidgets{};
    QPushButton *sendButton = nullptr;
    QPushButton *resetButton = nullptr;
    QPushButton *curtainButton = nullptr;
    QPushButton *costumeButton = nullptr;

    std::deque<QString> trail;
    int steps = 0;
    int ticks = 0;
    int refreshes = 0;
    int clicks = 0;
    int forcedEvents = 0;
};
