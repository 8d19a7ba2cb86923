#include "soak/soakrun.h"

#include "app/sharedstate.h"
#include "soak/quietstdout.h"
#include "testcommon.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using fakehid::DeviceId;
using fakehid::Fault;

namespace {

constexpr std::size_t TrailLength = 16;
constexpr int MostNodes = 2;
constexpr int HostEdit = Oracle::HostOctetEdit;
constexpr int ChipCount = 8;
constexpr int CurtainSizeCount = 3;
constexpr int LongestShortRead = 66;
constexpr unsigned short ForeignVendor = 0x046D;
const QStringList HistoryNames = {"display", "display2", "display3", "display4"};
const QStringList ClockWidgetNames = {"spi1freq", "lSpi1Freq", "spi2freq", "lSpi2Freq"};
const std::vector<Fault> AllFaults = {Fault::Error, Fault::Timeout, Fault::ZeroCount,
                                      Fault::Short};
const std::pair<ToolModel::Exchange, const char *> CoveredExchanges[] = {
    {ToolModel::Exchange::RequestWrite, "request write"},
    {ToolModel::Exchange::ReplyRead, "reply read"},
    {ToolModel::Exchange::CommandWrite, "command write"},
};
// The unit number a closing step sends, valid for curtains and costumes.
const QString FirstUnit = QStringLiteral("1");
// A node present at a tick's first enumeration and gone at its second.
const std::vector<bool> GoneWithinTick = {true, false};

NodeReport contentsOf(DeviceId device)
{
    NodeReport held = fakehid::node(device).configuration();
    held[Report::MaxUniverses] = static_cast<std::uint8_t>(fakehid::node(device).capacity());
    return held;
}

bool chipShowsClocks(int index)
{
    return !(index >= 0 && index < ChipCount) || index == Chip::LPD6803 || index == Chip::SN16716;
}

QString reportText(const NodeReport &report)
{
    QStringList bytes;
    for (const std::uint8_t byte : report)
        bytes << QString::number(byte);
    return bytes.join(QLatin1Char(' '));
}

template <typename T>
T *childOf(MainWindow &window, const QString &name)
{
    return window.findChild<T *>(name);
}

} // namespace

SoakRun::SoakRun(std::uint64_t seed)
    : dice(seed),
      foreign(fakehid::plug(NodeReport{}, LargeCapacity,
                            fakehid::DeviceInfo{ForeignVendor, 0x0050, 0xFF00, 1, {}, {}})),
      model(contentsOf, foreign),
      mainWindow(std::make_unique<MainWindow>())
{
    fakehid::recordCalls(true);
    MainWindow &window = *mainWindow;
    for (int edit = 0; edit < Oracle::EditCount; ++edit)
        edits[edit] = childOf<QLineEdit>(window, configEditNames[edit]);
    curtainNumber = childOf<QLineEdit>(window, "numRideau");
    costumeNumber = childOf<QLineEdit>(window, "numCostume");
    chips = childOf<QComboBox>(window, "output");
    curtainSizes = childOf<QComboBox>(window, "cbRideau");
    capacity = childOf<QLabel>(window, "maxUnivers");
    for (int line = 0; line < HistoryNames.size(); ++line)
        history[line] = childOf<QLabel>(window, HistoryNames[line]);
    for (int widget = 0; widget < ClockWidgetNames.size(); ++widget)
        clockWidgets[widget] = childOf<QWidget>(window, ClockWidgetNames[widget]);
    sendButton = childOf<QPushButton>(window, "bSend");
    resetButton = childOf<QPushButton>(window, "bReset");
    curtainButton = childOf<QPushButton>(window, "bAddRideau");
    costumeButton = childOf<QPushButton>(window, "bAddCostume");
    // The soak runs every refresh itself; the window's timer must not get
    // a chance to run one behind its back.
    const QList<QTimer *> timers =
        window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    if (!timers.isEmpty())
        timerRefreshes = std::make_unique<QSignalSpy>(timers.front(), SIGNAL(timeout()));
    window.show();
}

SoakRun::~SoakRun() = default;

SoakRun::Action SoakRun::pickAction()
{
    static const std::vector<Weighted> table = {
        {Action::Tick, 28},     {Action::Refresh, 22},   {Action::Type, 18},
        {Action::TypeNumber, 5}, {Action::FillForm, 2},  {Action::ChooseChip, 3},
        {Action::ChooseSize, 2}, {Action::Send, 7},      {Action::Reset, 2},
        {Action::Curtain, 5},   {Action::Costume, 5},    {Action::PlugNew, 2},
        {Action::Unplug, 2},    {Action::Replug, 2},     {Action::Schedule, 3},
        {Action::Refuse, 2},    {Action::WriteFault, 5}, {Action::ReadFault, 4},
        {Action::EditAndSend, 5},
    };
    static const int total = [] {
        int sum = 0;
        for (const Weighted &entry : table)
            sum += entry.weight;
        return sum;
    }();
    int roll = dice.below(total);
    for (const Weighted &entry : table) {
        if (roll < entry.weight)
            return entry.action;
        roll -= entry.weight;
    }
    return Action::Tick;
}

QString SoakRun::step()
{
    ++steps;
    return judged(perform(pickAction()));
}

// What a step did wrong, its own failure or the checks', with the steps
// that led there.
QString SoakRun::judged(QString failure)
{
    if (failure.isEmpty())
        failure = checkTool();
    if (failure.isEmpty())
        return {};
    QStringList lines = {failure, QStringLiteral("last steps, oldest first:")};
    for (const QString &done : trail)
        lines << QStringLiteral("  ") + done;
    lines << QStringLiteral("report buffer: ") + reportText(reportBuffer);
    return lines.join(QLatin1Char('\n'));
}

void SoakRun::startTrailEntry()
{
    if (trail.size() == TrailLength)
        trail.pop_front();
    trail.push_back(QStringLiteral("step %1: ").arg(steps));
}

QString SoakRun::perform(Action action)
{
    startTrailEntry();
    QString &note = trail.back();
    switch (action) {
    case Action::Tick:
        note += QStringLiteral("search tick");
        return tick();
    case Action::Refresh:
        note += QStringLiteral("refresh");
        return refresh();
    case Action::Type:
        return typeSomething();
    case Action::TypeNumber:
        return typeNumber();
    case Action::FillForm:
        note += QStringLiteral("fill the form");
        return fillForm();
    case Action::ChooseChip: {
        const int index = dice.below(ChipCount);
        note += QStringLiteral("choose chip %1").arg(index);
        return chooseChip(index);
    }
    case Action::ChooseSize:
        return chooseSize();
    case Action::Send:
        note += QStringLiteral("click Envoyer");
        return click(sendButton, action);
    case Action::EditAndSend:
        return editAndSend();
    case Action::Reset:
        note += QStringLiteral("click factory reset");
        return click(resetButton, action);
    case Action::Curtain:
        note += QStringLiteral("click add curtain");
        return click(curtainButton, action);
    case Action::Costume:
        note += QStringLiteral("click add costume");
        return click(costumeButton, action);
    case Action::WriteFault:
    case Action::ReadFault:
        return injectFault(action);
    case Action::PlugNew:
    case Action::Unplug:
    case Action::Replug:
    case Action::Schedule:
    case Action::Refuse:
        return changeDevices(action);
    }
    return {};
}

QString SoakRun::tick()
{
    ++ticks;
    {
        const QuietStdout quiet;
        QMetaObject::invokeMethod(mainWindow.get(), "searchDevice");
    }
    return model.tick(fakehid::takeCalls());
}

QString SoakRun::refresh()
{
    ++refreshes;
    QMetaObject::invokeMethod(mainWindow.get(), "updateDisplay");
    const QString failure = nothingCalled();
    return failure.isEmpty() ? model.refresh() : failure;
}

QString SoakRun::click(QPushButton *button, Action action)
{
    ++clicks;
    {
        const QuietStdout quiet;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    const ToolModel::Calls calls = fakehid::takeCalls();
    switch (action) {
    case Action::Send:
        return model.send(calls);
    case Action::Reset:
        return model.factoryReset(calls);
    case Action::Curtain:
        return model.addUnit(true, calls);
    default:
        return model.addUnit(false, calls);
    }
}

// Types as a user does, through the field's validator, which may refuse
// some of the keys: the field then shows what it let through.
void SoakRun::typeEdit(int edit, const QString &text)
{
    QLineEdit *const field = edits[edit];
    if (dice.chance(80)) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
    } else {
        field->end(false);
    }
    QTest::keyClicks(field, text);
    model.edited(edit, field->text());
}

QString SoakRun::typeSomething()
{
    return typeInto(dice.below(Oracle::EditCount));
}

QString SoakRun::typeInto(int edit)
{
    // A hidden clock field cannot be typed into.
    if (edits[edit]->isHidden()) {
        trail.back() += QStringLiteral("nothing to type into");
        return nothingCalled();
    }
    const bool clock = Oracle::isClockEdit(edit);
    const QString text = clock ? dice.clockText() : edit == HostEdit ? dice.hostText()
                                                                     : dice.byteText();
    typeEdit(edit, text);
    trail.back() += QStringLiteral("type '%1' into %2, which shows '%3'")
                        .arg(text, configEditNames[edit], edits[edit]->text());
    return nothingCalled();
}

// What a user mostly does: change a field or three, then send at once.
QString SoakRun::editAndSend()
{
    // The fields with checks of their own come up more often.
    static const std::vector<int> checkedEdits = {HostEdit, Oracle::Spi1ClockEdit, Oracle::Spi2ClockEdit};
    const int changes = 1 + dice.below(3);
    for (int change = 0; change < changes; ++change) {
        const int edit = dice.chance(40) ? dice.pick(checkedEdits) : dice.below(Oracle::EditCount);
        const QString failure = typeInto(edit);
        if (!failure.isEmpty())
            return failure;
        trail.back() += QStringLiteral("; ");
    }
    trail.back() += QStringLiteral("click Envoyer");
    return click(sendButton, Action::Send);
}

QString SoakRun::typeNumber()
{
    const bool curtain = dice.chance(50);
    const QString text = dice.unitNumberText();
    setUnitNumber(curtain, text);
    const QLineEdit *const field = curtain ? curtainNumber : costumeNumber;
    trail.back() += QStringLiteral("type '%1' into %2, which shows '%3'")
                        .arg(text, field->objectName(), field->text());
    return nothingCalled();
}

void SoakRun::setUnitNumber(bool curtain, const QString &text)
{
    QLineEdit *const field = curtain ? curtainNumber : costumeNumber;
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    model.numberEdited(curtain, field->text());
}

QString SoakRun::fillForm()
{
    if (dice.chance(50)) {
        const QString failure = chooseChip(dice.chance(50) ? Chip::LPD6803 : Chip::SN16716);
        if (!failure.isEmpty())
            return failure;
    }
    for (int edit = 0; edit < Oracle::EditCount; ++edit) {
        if (!edits[edit]->isHidden())
            typeEdit(edit, dice.validText(Oracle::isClockEdit(edit), edit == HostEdit));
    }
    return nothingCalled();
}

QString SoakRun::chooseChip(int index)
{
    chips->setCurrentIndex(index);
    model.chipChosen(chips->currentIndex());
    return nothingCalled();
}

QString SoakRun::chooseSize()
{
    const int index = dice.below(CurtainSizeCount);
    trail.back() += QStringLiteral("choose curtain size %1").arg(index);
    curtainSizes->setCurrentIndex(index);
    model.curtainSizeChosen(curtainSizes->currentIndex());
    return nothingCalled();
}

std::vector<DeviceId> SoakRun::nodesWhere(bool present) const
{
    std::vector<DeviceId> found;
    for (const DeviceId node : nodes) {
        if (fakehid::isPresent(node) == present)
            found.push_back(node);
    }
    return found;
}

QString SoakRun::changeDevices(Action action)
{
    QString &note = trail.back();
    const std::vector<DeviceId> present = nodesWhere(true);
    const std::vector<DeviceId> absent = nodesWhere(false);
    if (action == Action::PlugNew || nodes.empty()) {
        if (static_cast<int>(nodes.size()) == MostNodes) {
            const std::size_t replaced = static_cast<std::size_t>(dice.below(MostNodes));
            fakehid::unplug(nodes[replaced]);
            nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(replaced));
        }
        const NodeReport configuration = dice.configuration();
        const int capacityCode = dice.capacityCode();
        nodes.push_back(fakehid::plug(configuration, capacityCode));
        note += QStringLiteral("plug node %1, capacity %2: %3")
                    .arg(nodes.back())
                    .arg(capacityCode)
                    .arg(reportText(configuration));
    } else if (action == Action::Unplug && !present.empty()) {
        const DeviceId node = dice.pick(present);
        fakehid::unplug(node);
        note += QStringLiteral("unplug node %1").arg(node);
    } else if (action == Action::Replug && !absent.empty()) {
        const DeviceId node = dice.pick(absent);
        fakehid::setPresenceSchedule(node, {true});
        note += QStringLiteral("plug node %1 back").arg(node);
    } else if (action == Action::Schedule) {
        // Gone or back between the two enumerations of one tick, mostly.
        static const std::vector<std::vector<bool>> schedules = {
            {true, false}, {false, true}, {true, true, false}, {false, false, true}, {true},
        };
        const DeviceId node = dice.pick(nodes);
        const std::vector<bool> schedule = dice.pick(schedules);
        fakehid::setPresenceSchedule(node, schedule);
        QStringList seen;
        for (const bool there : schedule)
            seen << (there ? QStringLiteral("present") : QStringLiteral("absent"));
        note += QStringLiteral("node %1 will be %2").arg(node).arg(seen.join(QStringLiteral(", ")));
    } else if (action == Action::Refuse) {
        const DeviceId node = dice.pick(nodes);
        const bool refused = dice.chance(40);
        fakehid::setOpenRefused(node, refused);
        note += QStringLiteral("node %1 %2").arg(node).arg(refused ? QStringLiteral("refuses opens")
                                                                   : QStringLiteral("opens again"));
    } else {
        note += QStringLiteral("no device to change");
    }
    return nothingCalled();
}

QString SoakRun::injectFault(Action action)
{
    const Fault fault = dice.pick(AllFaults);
    if (action == Action::WriteFault) {
        fakehid::failNextWrite(fault);
        trail.back() += QStringLiteral("fault %1 on the next write").arg(faultName(fault));
    } else {
        const int length = dice.below(LongestShortRead + 1);
        fakehid::failNextRead(fault, length);
        trail.back() += QStringLiteral("fault %1 (%2 bytes) on the next read")
                            .arg(faultName(fault))
                            .arg(length);
    }
    return nothingCalled();
}

QString SoakRun::nothingCalled()
{
    const ToolModel::Calls calls = fakehid::takeCalls();
    if (!calls.empty())
        return QStringLiteral("%1 library calls where none was due").arg(calls.size());
    return {};
}

QString SoakRun::checkTool()
{
    QString failure = model.judgeStatus(statusText);
    if (!failure.isEmpty())
        return failure;
    if (waitingForNode != model.waiting() || nodeConnected != model.connected())
        return QStringLiteral("flags waiting %1 connected %2, expected %3 %4")
            .arg(waitingForNode)
            .arg(nodeConnected)
            .arg(model.waiting())
            .arg(model.connected());
    if (dataReady != model.dataReady())
        return QStringLiteral("dataReady is %1").arg(dataReady);
    if (reportBuffer != model.buffer())
        return QStringLiteral("report buffer differs from the expected: ")
            + reportText(model.buffer());
    if (lastReceiveLength != model.lastReceive())
        return QStringLiteral("last receive %1, expected %2")
            .arg(lastReceiveLength)
            .arg(model.lastReceive());
    if (fakehid::releasedHandleCalls() != 0)
        return QStringLiteral("a library call on a released handle");
    if (timerRefreshes && !timerRefreshes->isEmpty())
        return QStringLiteral("the refresh timer fired while the soak drove the window");
    return checkScreen();
}

QString SoakRun::checkScreen() const
{
    const ToolModel::Screen &expected = model.screen();
    QString diff;
    for (int edit = 0; edit < Oracle::EditCount; ++edit) {
        if (edits[edit]->text() != expected.edits[edit])
            diff += QStringLiteral(" %1 '%2' != '%3'")
                        .arg(configEditNames[edit], edits[edit]->text(), expected.edits[edit]);
    }
    if (capacity->text() != expected.capacity)
        diff += QStringLiteral(" maxUnivers '%1' != '%2'").arg(capacity->text(), expected.capacity);
    if (chips->currentIndex() != expected.chip)
        diff += QStringLiteral(" output %1 != %2").arg(chips->currentIndex()).arg(expected.chip);
    if (curtainSizes->currentIndex() != expected.curtainSize)
        diff += QStringLiteral(" cbRideau %1").arg(curtainSizes->currentIndex());
    if (curtainNumber->text() != expected.curtainNumber)
        diff += QStringLiteral(" numRideau '%1' != '%2'")
                    .arg(curtainNumber->text(), expected.curtainNumber);
    if (costumeNumber->text() != expected.costumeNumber)
        diff += QStringLiteral(" numCostume '%1' != '%2'")
                    .arg(costumeNumber->text(), expected.costumeNumber);
    for (int line = 0; line < HistoryNames.size(); ++line) {
        if (history[line]->text() != expected.history[line])
            diff += QStringLiteral(" %1 '%2' != '%3'")
                        .arg(HistoryNames[line], history[line]->text(), expected.history[line]);
    }
    const bool clocksShown = chipShowsClocks(expected.chip);
    for (const QWidget *widget : clockWidgets) {
        if (widget->isHidden() == clocksShown)
            diff += QStringLiteral(" %1 %2").arg(widget->objectName(),
                                                 clocksShown ? QStringLiteral("hidden")
                                                             : QStringLiteral("shown"));
    }
    return diff.isEmpty() ? QString() : QStringLiteral("the window differs:") + diff;
}

// One step of the closing phase: done and checked as a drawn step is.
QString SoakRun::closingStep(const QString &note, const std::function<QString()> &act)
{
    ++steps;
    startTrailEntry();
    trail.back() += QStringLiteral("closing, ") + note;
    return judged(act());
}

// Leaves the tool waiting, whatever it was doing, with one fresh node
// plugged in that opens and answers: every node gone and no fault pending,
// a tick loses the node the tool held, if any, and finds none.
QString SoakRun::readyFreshNode()
{
    const QString failure =
        closingStep(QStringLiteral("unplug every node, drop the pending faults, search tick"), [this] {
            fakehid::clearFaults();
            for (const DeviceId node : nodes)
                fakehid::unplug(node);
            nodes.clear();
            return tick();
        });
    if (!failure.isEmpty())
        return failure;
    return closingStep(QStringLiteral("plug a fresh node"), [this] {
        nodes = {fakehid::plug(dice.configuration(), dice.capacityCode())};
        return nothingCalled();
    });
}

QString SoakRun::forceFault(ToolModel::Exchange exchange, Fault fault)
{
    QString failure = readyFreshNode();
    if (!failure.isEmpty())
        return failure;
    if (exchange == ToolModel::Exchange::CommandWrite) {
        // The tick reads the node and keeps it open for the command.
        failure = closingStep(QStringLiteral("search tick"), [this] { return tick(); });
        if (!failure.isEmpty())
            return failure;
        return closingStep(QStringLiteral("fault %1 on the next write, click factory reset")
                               .arg(faultName(fault)),
                           [this, fault] {
                               fakehid::failNextWrite(fault);
                               return click(resetButton, Action::Reset);
                           });
    }
    const bool onRequest = exchange == ToolModel::Exchange::RequestWrite;
    return closingStep(QStringLiteral("fault %1 on the next %2, search tick")
                           .arg(faultName(fault), onRequest ? QStringLiteral("write")
                                                            : QStringLiteral("read")),
                       [this, fault, onRequest] {
                           if (onRequest)
                               fakehid::failNextWrite(fault);
                           else
                               fakehid::failNextRead(fault, dice.below(LongestShortRead + 1));
                           return tick();
                       });
}

QString SoakRun::forceCleanReadBack()
{
    const QString failure = readyFreshNode();
    if (!failure.isEmpty())
        return failure;
    return closingStep(QStringLiteral("search tick"), [this] { return tick(); });
}

QString SoakRun::forceUnitAdvance()
{
    QString failure = forceCleanReadBack();
    if (!failure.isEmpty())
        return failure;
    return closingStep(QStringLiteral("type '%1' into numRideau, click add curtain").arg(FirstUnit),
                       [this] {
                           setUnitNumber(true, FirstUnit);
                           return click(curtainButton, Action::Curtain);
                       });
}

QString SoakRun::forceLossWithinTick()
{
    const QString failure = readyFreshNode();
    if (!failure.isEmpty())
        return failure;
    return closingStep(QStringLiteral("the node will be present, then absent; search tick"), [this] {
        fakehid::setPresenceSchedule(nodes.front(), GoneWithinTick);
        return tick();
    });
}

QString SoakRun::meetMissedEvents()
{
    // Each forcing starts from a waiting tool and a fresh node, so that its
    // event cannot miss whatever the drawn steps left behind.
    std::vector<std::pair<std::function<bool()>, std::function<QString()>>> events;
    for (const auto &exchange : CoveredExchanges) {
        for (const Fault fault : AllFaults) {
            const ToolModel::Exchange where = exchange.first;
            events.emplace_back([this, where, fault] { return model.faultsMet().count({where, fault}) > 0; },
                                [this, where, fault] { return forceFault(where, fault); });
        }
    }
    events.emplace_back([this] { return model.cleanReadBacks() > 0; }, [this] { return forceCleanReadBack(); });
    events.emplace_back([this] { return model.unitsAdvanced() > 0; }, [this] { return forceUnitAdvance(); });
    events.emplace_back([this] { return model.lostWithinTick() > 0; }, [this] { return forceLossWithinTick(); });
    for (const auto &event : events) {
        if (event.first())
            continue;
        ++forcedEvents;
        const QString failure = event.second();
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

QString SoakRun::coverageGaps() const
{
    QStringList gaps;
    for (const auto &exchange : CoveredExchanges) {
        for (const Fault fault : AllFaults) {
            if (model.faultsMet().count({exchange.first, fault}) == 0)
                gaps << QStringLiteral("fault %1 never met a %2")
                            .arg(faultName(fault))
                            .arg(QLatin1String(exchange.second));
        }
    }
    if (model.cleanReadBacks() == 0)
        gaps << QStringLiteral("no clean read-back");
    if (model.unitsAdvanced() == 0)
        gaps << QStringLiteral("no unit number advanced");
    if (model.lostWithinTick() == 0)
        gaps << QStringLiteral("no node lost between the two enumerations of a tick");
    return gaps.join(QStringLiteral("; "));
}

QString SoakRun::summary() const
{
    int faults = 0;
    for (const auto &met : model.faultsMet())
        faults += met.second;
    return QStringLiteral("%1 steps: %2 search ticks, %3 refreshes, %4 clicks, %5 command "
                          "writes, %6 units advanced, %7 clean read-backs, %8 faults met, %9 nodes lost "
                          "within a tick, %10 of the events forced at the close")
        .arg(steps)
        .arg(ticks)
        .arg(refreshes)
        .arg(clicks)
        .arg(model.commandsWritten())
        .arg(model.unitsAdvanced())
        .arg(model.cleanReadBacks())
        .arg(faults)
        .arg(model.lostWithinTick())
        .arg(forcedEvents);
}

Oracle::Screenful SoakRun::plugFreshNode()
{
    NodeReport configuration = dice.configuration();
    configuration[Report::OutputType] = Chip::LPD6803;
    const DeviceId fresh = fakehid::plug(configuration, LargeCapacity);
    nodes = {fresh};
    return Oracle::decode(contentsOf(fresh));
}

void SoakRun::unplugNodes()
{
    fakehid::recordCalls(false);
    fakehid::clearFaults();
    for (const DeviceId node : nodes)
        fakehid::unplug(node);
}
