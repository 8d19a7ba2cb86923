#pragma once

#include "protocol/nodereport.h"
#include "sim/fakehid.h"
#include "soak/oracle.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// A fault's name, for the soak's messages.
QString faultName(fakehid::Fault fault);

// The tool as the soak expects it to behave: the state it must hold, what
// its window must show, and the library calls each of its slots must make.
// Each judge takes the calls fakehid recorded while the slot ran, learns
// from them what the library answered, moves the model on, and says what the
// tool did otherwise (an empty string when nothing).
class ToolModel
{
public:
    using Calls = std::vector<fakehid::LibraryCall>;
    // What a node holds now, its capacity code included: what a clean
    // read-back of it must show.
    using NodeContents = std::function<NodeReport(fakehid::DeviceId)>;

    // The steps of the exchanges where a fault can strike.
    enum class Exchange { RequestWrite, ReplyRead, CommandWrite };
    using FaultTally = std::map<std::pair<Exchange, fakehid::Fault>, int>;

    // Everything the window shows that the soak compares.
    struct Screen {
        Oracle::EditTexts edits;
        QString capacity = QStringLiteral("0");
        int chip = 0;
        int curtainSize = 0;
        QString curtainNumber = QStringLiteral("1");
        QString costumeNumber = QStringLiteral("1");
        QStringList history = {QStringLiteral("En attente de node"), QString(), QString(),
                               QString()};
    };

    ToolModel(NodeContents nodeContents, fakehid::DeviceId foreignDevice);

    QString tick(const Calls &calls);
    QString refresh();
    QString send(const Calls &calls);
    QString factoryReset(const Calls &calls);
    QString addUnit(bool curtain, const Calls &calls);

    // What the user changed on the form, as the widgets now show it.
    void edited(int edit, const QString &text);
    void numberEdited(bool curtain, const QString &text);
    void chipChosen(int index);
    void curtainSizeChosen(int index);

    // Compares the tool's status text with the expected one. A tick that
    // found a node it could not open may also have said so.
    QString judgeStatus(const QString &actual);

    const Screen &screen() const { return shown; }
    const NodeReport &buffer() const { return report; }
    bool waiting() const { return waitingFlag; }
    bool connected() const { return connectedFlag; }
    bool dataReady() const { return pending.has_value(); }
    int lastReceive() const { return lastReceived; }

    const FaultTally &faultsMet() const { return tally; }
    int cleanReadBacks() const { return cleanReads; }
    int commandsWritten() const { return commandWrites; }
    int unitsAdvanced() const { return advances; }
    // Ticks that opened a node and lost it at the presence check.
    int lostWithinTick() const { return lostMidTick; }

private:
    QString expect(const Calls &calls, std::size_t &at, fakehid::LibraryCall::Kind kind,
                   fakehid::DeviceId device, const fakehid::LibraryCall *&found) const;
    QString expectEnd(const Calls &calls, std::size_t at) const;
    // One hidOpen; opened when a node opened, refused when one could not.
    QString openNode(const Calls &calls, std::size_t &at, bool &opened, bool &refused);
    QString readCycle(const Calls &calls, std::size_t &at);
    QString writeCommand(const Calls &calls, std::size_t &at, int &result);
    void count(Exchange exchange, const fakehid::LibraryCall &call);
    void setStatus(const QString &text);

    NodeContents nodeContents;
    fakehid::DeviceId foreign;

    NodeReport report{};
    // The chip codes, listed or not, that the next refresh brings and that
    // the form shows.
    int pendingChip = 0;
    int formChip = 0;
    bool waitingFlag = true;
    bool connectedFlag = false;
    int lastReceived = 0;
    QString status = QStringLiteral("En attente de node");

    // The transport's device 0: whether it exists, its device, and whether
    // its handle has been released.
    bool entry = false;
    fakehid::DeviceId entryDevice = fakehid::NoDevice;
    bool entryReleased = false;

    // A decoding not yet shown, and the node it came from when the
    // read-back was clean.
    std::optional<Oracle::Screenful> pending;
    std::optional<NodeReport> cleanContents;

    Screen shown;
    FaultTally tally;
    int cleanReads = 0;
    int commandWrites = 0;
    int advances = 0;
    int lostMidTick = 0;
};
