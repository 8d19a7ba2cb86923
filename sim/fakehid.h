#pragma once

#include "sim/simulatednode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// An in-process implementation of the hidapi C API over simulated nodes,
// linked in place of the system library by the tests and the demo. This is
// its control side.
namespace fakehid {

// What enumeration shows of a device.
struct DeviceInfo {
    unsigned short vendorId = 0x1FC9;
    unsigned short productId = 0x0050;
    unsigned short usagePage = 0xFF00;
    unsigned short usage = 1;
    std::wstring serialNumber; // empty: the device reports none
    std::string path;          // empty: "fakehid:" and the device's number
};

// A failure the next write or read meets instead of the node.
enum class Fault {
    Error,     // the library reports a failure (-1)
    Timeout,   // a read gets nothing in time (0); a write fails (-1), as hidapi reports it
    ZeroCount, // the library reports 0 bytes moved
    Short,     // a read delivers only the first bytes of the answer
};

using DeviceId = int;
constexpr DeviceId NoDevice = -1;

// Plugs a device in; it is present from the next enumeration on.
DeviceId plug(const NodeReport &configuration = NodeReport{}, int capacity = LargeCapacity,
              const DeviceInfo &info = DeviceInfo{});
void unplug(DeviceId device);
// The next enumerations see the device present or absent by these values in
// turn; once they are used up, it stays as the last one said.
void setPresenceSchedule(DeviceId device, const std::vector<bool> &upcoming);
bool isPresent(DeviceId device);

SimulatedNode &node(DeviceId device);
// The path enumeration gives the device, as hid_open_path takes it.
std::string pathOf(DeviceId device);

// While refused, the device is enumerated but cannot be opened, as a node
// without access rights or held by another program.
void setOpenRefused(DeviceId device, bool refused);

// While set, hid_init fails, as with a missing or broken system library.
void setStartFailing(bool failing);

// While refused, every configuration write (command 1) to the device fails
// as the library reports a failure; requests still go through.
void setConfigurationWritesRefused(DeviceId device, bool refused);

void failNextWrite(Fault fault);
void failNextRead(Fault fault, int shortLength = 0);
// Drops the faults that no write or read has met yet.
void clearFaults();

// Counters of library calls since the last reset.
int enumerationCount();
int openCount();
int writeCount();
int readCount();
// Calls made with a handle that had already been closed: a use after free
// with the real library.
int releasedHandleCalls();

// One library call as the device side answered it, for tests that follow
// every exchange.
struct LibraryCall {
    enum class Kind { Enumerate, Open, Write, Read, Close };
    Kind kind;
    DeviceId device = NoDevice;     // the device concerned; NoDevice for an enumeration
                                    // or a handle already released
    int result = 0;                 // what the call returned; an open gives 1 or 0
    std::vector<std::uint8_t> data; // the bytes written, or those a read delivered
    std::vector<DeviceId> listed;   // the devices an enumeration listed, in its order
    std::optional<Fault> fault;     // the injected fault the call met, if any
    int timeoutMs = 0;              // how long a read was allowed to wait
};

// While on, every library call is recorded (off at start and after reset).
void recordCalls(bool on);
// The calls recorded since the last take, oldest first; the log is emptied.
std::vector<LibraryCall> takeCalls();

// Forgets every device, fault and counter, and releases every handle left
// open (also done at exit).
void reset();

} // namespace fakehid
