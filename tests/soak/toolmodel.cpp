#include "soak/toolmodel.h"

#include <algorithm>

using fakehid::DeviceId;
using fakehid::LibraryCall;
using Kind = fakehid::LibraryCall::Kind;

namespace {

constexpr std::uint8_t ReportId = 0;
constexpr int FramedLength = static_cast<int>(Report::Size) + 1;
constexpr int Written = static_cast<int>(Report::Size);
constexpr int Failed = -1;

const QString Waiting = QStringLiteral("En attente de node");
const QString Connected = QString::fromUtf8("Connecté au node");
const QString Sending = QStringLiteral("Envoie des nouvelles valeurs");
const QString FactorySettings = QString::fromUtf8("Paramètres d'usine");
const QString Refused = QString::fromUtf8("Node détecté, accès refusé");

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Enumerate: return "enumeration";
    case Kind::Open: return "open";
    case Kind::Write: return "write";
    case Kind::Read: return "read";
    case Kind::Close: return "close";
    }
    return "?";
}

QString describe(const LibraryCall &call)
{
    QString text = QStringLiteral("%1 of device %2 giving %3")
                       .arg(QLatin1String(kindName(call.kind)))
                       .arg(call.device)
                       .arg(call.result);
    if (call.fault)
        text += QStringLiteral(" (fault %1)").arg(faultName(*call.fault));
    return text;
}

std::vector<std::uint8_t> framed(const NodeReport &report)
{
    std::vector<std::uint8_t> frame{ReportId};
    frame.insert(frame.end(), report.begin(), report.end());
    return frame;
}

QString frameDiff(const std::vector<std::uint8_t> &actual, const NodeReport &expected)
{
    const std::vector<std::uint8_t> wanted = framed(expected);
    if (actual.size() != wanted.size())
        return QStringLiteral(" %1 bytes instead of %2").arg(actual.size()).arg(wanted.size());
    QString diff;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (actual[i] != wanted[i])
            diff += QStringLiteral(" [report byte %1] %2 != %3")
                        .arg(static_cast<int>(i) - 1)
                        .arg(actual[i])
                        .arg(wanted[i]);
    }
    return diff;
}

QString screenDiff(const Oracle::Screenful &shown, const Oracle::Screenful &held)
{
    QString diff;
    for (int edit = 0; edit < Oracle::EditCount; ++edit) {
        if (shown.edits[edit] != held.edits[edit])
            diff += QStringLiteral(" [edit %1] '%2' != '%3'")
                        .arg(edit)
                        .arg(shown.edits[edit], held.edits[edit]);
    }
    if (shown.capacity != held.capacity)
        diff += QStringLiteral(" [capacity] %1 != %2").arg(shown.capacity, held.capacity);
    if (shown.chip != held.chip)
        diff += QStringLiteral(" [chip] %1 != %2").arg(shown.chip).arg(held.chip);
    return diff;
}

// The texts a send leaves in the display slots: the form's, clocks with a
// decimal point.
Oracle::Screenful sentTexts(const ToolModel::Screen &screen)
{
    Oracle::Screenful sent;
    sent.edits = screen.edits;
    for (int edit = 0; edit < Oracle::EditCount; ++edit) {
        if (Oracle::isClockEdit(edit))
            sent.edits[edit].replace(QLatin1Char(','), QLatin1Char('.'));
    }
    sent.capacity = screen.capacity;
    sent.chip = screen.chip;
    return sent;
}

} // namespace

QString faultName(fakehid::Fault fault)
{
    switch (fault) {
    case fakehid::Fault::Error: return QStringLiteral("Error");
    case fakehid::Fault::Timeout: return QStringLiteral("Timeout");
    case fakehid::Fault::ZeroCount: return QStringLiteral("ZeroCount");
    case fakehid::Fault::Short: return QStringLiteral("Short");
    }
    return QStringLiteral("?");
}

ToolModel::ToolModel(NodeContents contents, DeviceId foreignDevice)
    : nodeContents(std::move(contents)), foreign(foreignDevice)
{
    report[Report::Command] = cmdRequestConfig;
}

QString ToolModel::expect(const Calls &calls, std::size_t &at, Kind kind, DeviceId device,
                          const LibraryCall *&found) const
{
    const QString wanted =
        QStringLiteral("%1 of device %2").arg(QLatin1String(kindName(kind))).arg(device);
    if (at >= calls.size())
        return QStringLiteral("expected a %1, but the tool made no more calls").arg(wanted);
    const LibraryCall &call = calls[at];
    if (call.kind != kind || call.device != device)
        return QStringLiteral("expected a %1, got a %2").arg(wanted, describe(call));
    found = &call;
    ++at;
    return {};
}

QString ToolModel::expectEnd(const Calls &calls, std::size_t at) const
{
    if (at < calls.size())
        return QStringLiteral("unexpected call: %1").arg(describe(calls[at]));
    return {};
}

void ToolModel::count(Exchange exchange, const LibraryCall &call)
{
    if (call.fault)
        ++tally[{exchange, *call.fault}];
}

void ToolModel::setStatus(const QString &text)
{
    status = text;
}

// One hidOpen: every handle still open is closed, the devices are listed,
// and each listed node is tried in turn until one opens.
QString ToolModel::openNode(const Calls &calls, std::size_t &at, bool &opened, bool &refused)
{
    const LibraryCall *call = nullptr;
    QString failure;
    if (entry && !entryReleased) {
        failure = expect(calls, at, Kind::Close, entryDevice, call);
        if (!failure.isEmpty())
            return QStringLiteral("device 0 left open: ") + failure;
    }
    entry = false;
    entryDevice = fakehid::NoDevice;
    entryReleased = false;

    failure = expect(calls, at, Kind::Enumerate, fakehid::NoDevice, call);
    if (!failure.isEmpty())
        return failure;
    const std::vector<DeviceId> listed = call->listed;
    refused = false;
    for (const DeviceId device : listed) {
        if (device == foreign)
            continue;
        failure = expect(calls, at, Kind::Open, device, call);
        if (!failure.isEmpty())
            return failure;
        if (call->result == 1) {
            entry = true;
            entryDevice = device;
            break;
        }
        refused = true;
    }
    opened = entry;
    return {};
}

// The request, the reply into the buffer, the decoding of whatever the
// buffer then holds.
QString ToolModel::readCycle(const Calls &calls, std::size_t &at)
{
    waitingFlag = false;
    connectedFlag = true;
    setStatus(Connected);

    report[Report::Command] = cmdRequestConfig;
    const LibraryCall *request = nullptr;
    QString failure = expect(calls, at, Kind::Write, entryDevice, request);
    if (!failure.isEmpty())
        return QStringLiteral("read-back: ") + failure;
    const QString diff = frameDiff(request->data, report);
    if (!diff.isEmpty())
        return QStringLiteral("request differs:") + diff;
    count(Exchange::RequestWrite, *request);

    const LibraryCall *reply = nullptr;
    failure = expect(calls, at, Kind::Read, entryDevice, reply);
    if (!failure.isEmpty())
        return QStringLiteral("read-back: ") + failure;
    count(Exchange::ReplyRead, *reply);
    if (reply->result > 0) {
        if (reply->data.size() > Report::Size)
            return QStringLiteral("a read delivered more than a report");
        std::copy(reply->data.begin(), reply->data.end(), report.begin());
    }
    lastReceived = reply->result < 0 ? Failed : reply->result;
    if (reply->result < 0) {
        const LibraryCall *close = nullptr;
        failure = expect(calls, at, Kind::Close, entryDevice, close);
        if (!failure.isEmpty())
            return QStringLiteral("after a read error: ") + failure;
        entryReleased = true;
    }

    pending = Oracle::decode(report);
    pendingChip = report[Report::OutputType];
    cleanContents.reset();
    if (request->result == FramedLength && reply->result == Written) {
        cleanContents = nodeContents(entryDevice);
        ++cleanReads;
    }
    report[Report::Command] = cmdWriteConfig;
    return {};
}

QString ToolModel::tick(const Calls &calls)
{
    std::size_t at = 0;
    const bool anyEnumeration = std::any_of(calls.begin(), calls.end(), [](const LibraryCall &c) {
        return c.kind == Kind::Enumerate;
    });
    if (!anyEnumeration)
        return QStringLiteral("a search tick looked for no device");
    QString failure;
    bool read = false;
    if (waitingFlag) {
        setStatus(Waiting);
        bool refused = false;
        failure = openNode(calls, at, read, refused);
        if (failure.isEmpty() && read)
            failure = readCycle(calls, at);
        else if (failure.isEmpty() && refused)
            setStatus(Refused); // a node is there but could not be opened
        if (!failure.isEmpty())
            return failure;
    }
    if (connectedFlag) {
        bool opened = false;
        bool refused = false;
        failure = openNode(calls, at, opened, refused);
        if (!failure.isEmpty())
            return QStringLiteral("presence check: ") + failure;
        if (!opened) {
            connectedFlag = false;
            waitingFlag = true;
            if (read)
                ++lostMidTick;
        }
    }
    return expectEnd(calls, at);
}

QString ToolModel::refresh()
{
    if (status != shown.history.front()) {
        shown.history.pop_back();
        shown.history.prepend(status);
    }
    if (!pending)
        return {};
    shown.edits = pending->edits;
    shown.capacity = pending->capacity;
    shown.chip = pending->chip;
    formChip = pendingChip;
    QString failure;
    if (cleanContents) {
        const QString diff = screenDiff(*pending, Oracle::decode(*cleanContents));
        if (!diff.isEmpty())
            failure = QStringLiteral("after a clean read-back the fields differ from the node:")
                + diff;
    }
    pending.reset();
    cleanContents.reset();
    return failure;
}

// A command's write to device 0: refused without a library call when there
// is no device 0 or its handle is released; announced when device 0 exists.
QString ToolModel::writeCommand(const Calls &calls, std::size_t &at, int &result)
{
    waitingFlag = true;
    result = Failed;
    if (!entry)
        return expectEnd(calls, at);
    setStatus(Sending);
    if (entryReleased)
        return expectEnd(calls, at);
    const LibraryCall *write = nullptr;
    QString failure = expect(calls, at, Kind::Write, entryDevice, write);
    if (!failure.isEmpty())
        return QStringLiteral("command: ") + failure;
    const QString diff = frameDiff(write->data, report);
    if (!diff.isEmpty())
        return QStringLiteral("command differs:") + diff;
    count(Exchange::CommandWrite, *write);
    ++commandWrites;
    if (write->result == FramedLength)
        result = Written;
    return expectEnd(calls, at);
}

QString ToolModel::send(const Calls &calls)
{
    const std::optional<QString> verdict = Oracle::formFailure(shown.edits);
    if (!verdict)
        return QStringLiteral("the oracle does not model the clock texts '%1' and '%2'")
            .arg(shown.edits[Oracle::Spi1ClockEdit], shown.edits[Oracle::Spi2ClockEdit]);
    const QString &failure = *verdict;
    if (!failure.isEmpty()) {
        setStatus(failure);
        return calls.empty() ? QString()
                             : QStringLiteral("the form fails its check (%1), yet the tool "
                                              "called the library: %2")
                                   .arg(failure, describe(calls.front()));
    }
    // A chip code the list does not hold shows no item: the code the form
    // last showed is written back as it came.
    const int chip = shown.chip >= 0 ? shown.chip : formChip;
    report = Oracle::sendReport(report, shown.edits, chip, shown.capacity);
    // The form's texts take the display slots; a decoding still waiting
    // for the refresh now brings these.
    if (pending) {
        pending = sentTexts(shown);
        pendingChip = chip;
        cleanContents.reset();
    }
    std::size_t at = 0;
    int result = Failed;
    return writeCommand(calls, at, result);
}

QString ToolModel::factoryReset(const Calls &calls)
{
    setStatus(FactorySettings);
    report = Oracle::factoryReport(report[Report::MaxUniverses]);
    std::size_t at = 0;
    int result = Failed;
    return writeCommand(calls, at, result);
}

QString ToolModel::addUnit(bool curtain, const Calls &calls)
{
    QString &number = curtain ? shown.curtainNumber : shown.costumeNumber;
    const QString failure = Oracle::unitFailure(number, curtain);
    if (!failure.isEmpty()) {
        setStatus(failure);
        return calls.empty() ? QString()
                             : QStringLiteral("the unit number fails its check (%1), yet the "
                                              "tool called the library: %2")
                                   .arg(failure, describe(calls.front()));
    }
    const long long value = Oracle::decimalValue(number);
    const std::uint8_t oldCapacity = report[Report::MaxUniverses];
    report = curtain ? Oracle::curtainReport(value, shown.curtainSize, oldCapacity)
                     : Oracle::costumeReport(value, oldCapacity);
    std::size_t at = 0;
    int result = Failed;
    const QString written = writeCommand(calls, at, result);
    if (result == Written) {
        number = QString::number(value + 1);
        ++advances;
    }
    return written;
}

void ToolModel::edited(int edit, const QString &text)
{
    shown.edits[edit] = text;
}

void ToolModel::numberEdited(bool curtain, const QString &text)
{
    (curtain ? shown.curtainNumber : shown.costumeNumber) = text;
}

void ToolModel::chipChosen(int index)
{
    shown.chip = index;
}

void ToolModel::curtainSizeChosen(int index)
{
    shown.curtainSize = index;
}

QString ToolModel::judgeStatus(const QString &actual)
{
    if (actual == status)
        return {};
    return QStringLiteral("status '%1', expected '%2'").arg(actual, status);
}
