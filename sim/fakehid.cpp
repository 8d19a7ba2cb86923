#include "sim/fakehid.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

struct hid_device_ {
    fakehid::DeviceId device;
    std::wstring lastError;
};

namespace fakehid {
namespace {

struct PendingFault {
    Fault fault;
    int shortLength;
};

struct Device {
    SimulatedNode node;
    DeviceInfo info;
    bool present = true;
    bool openRefused = false;
    bool configurationWritesRefused = false;
    std::deque<bool> schedule;
};

constexpr unsigned char UnnumberedReportId = 0;
const char *const PathPrefix = "fakehid:";

struct Library {
    Library() = default;
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    // Handles a test leaves open are released with the library.
    ~Library()
    {
        for (const hid_device *handle : liveHandles)
            delete handle;
    }

    std::map<DeviceId, Device> devices;
    DeviceId nextId = 0;
    std::set<const hid_device *> liveHandles;
    std::optional<PendingFault> writeFault;
    std::optional<PendingFault> readFault;
    std::wstring globalError;
    int enumerations = 0;
    int opens = 0;
    int writes = 0;
    int reads = 0;
    int releasedCalls = 0;
    bool recording = false;
    bool startFails = false;
    std::vector<LibraryCall> calls;
};

// Destroyed at exit, which releases the handles left open.
std::unique_ptr<Library> &libraryInstance()
{
    static auto instance = std::make_unique<Library>();
    return instance;
}

Library &library()
{
    return *libraryInstance();
}

void replaceLibrary()
{
    libraryInstance() = std::make_unique<Library>();
}

Device *findDevice(DeviceId id)
{
    auto found = library().devices.find(id);
    return found == library().devices.end() ? nullptr : &found->second;
}

void advanceSchedules()
{
    for (auto &entry : library().devices) {
        Device &device = entry.second;
        if (device.schedule.empty())
            continue;
        device.present = device.schedule.front();
        if (device.schedule.size() > 1)
            device.schedule.pop_front();
        else
            device.schedule.clear();
    }
}

// The device behind a live handle, or null after recording why not.
Device *deviceOf(hid_device *handle)
{
    if (library().liveHandles.count(handle) == 0) {
        ++library().releasedCalls;
        errno = EBADF;
        return nullptr;
    }
    Device *device = findDevice(handle->device);
    if (device == nullptr || !device->present) {
        handle->lastError = L"device disconnected";
        errno = ENODEV;
        return nullptr;
    }
    return device;
}

LibraryCall callOf(LibraryCall::Kind kind, DeviceId device, int result)
{
    LibraryCall call{};
    call.kind = kind;
    call.device = device;
    call.result = result;
    return call;
}

void record(LibraryCall call)
{
    if (library().recording)
        library().calls.push_back(std::move(call));
}

// The device a handle was opened on, or NoDevice once it has been released.
DeviceId deviceIdOf(const hid_device *handle)
{
    return library().liveHandles.count(handle) != 0 ? handle->device : NoDevice;
}

int failWith(hid_device *handle, const wchar_t *text)
{
    handle->lastError = text;
    errno = EIO;
    return -1;
}

std::optional<PendingFault> takeFault(std::optional<PendingFault> &slot)
{
    std::optional<PendingFault> fault = slot;
    slot.reset();
    return fault;
}

char *copyString(const std::string &text)
{
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

hid_device_info *describe(DeviceId id, const Device &device)
{
    auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
    info->path = copyString(pathOf(id));
    if (!device.info.serialNumber.empty()) {
        const std::wstring &serial = device.info.serialNumber;
        auto *copy = static_cast<wchar_t *>(std::calloc(serial.size() + 1, sizeof(wchar_t)));
        std::wmemcpy(copy, serial.c_str(), serial.size());
        info->serial_number = copy;
    }
    info->vendor_id = device.info.vendorId;
    info->product_id = device.info.productId;
    info->usage_page = device.info.usagePage;
    info->usage = device.info.usage;
    info->interface_number = -1;
    return info;
}

// The device whose path this is, or NoDevice.
DeviceId deviceAt(const char *path)
{
    for (const auto &entry : library().devices) {
        if (pathOf(entry.first) == path)
            return entry.first;
    }
    return NoDevice;
}

bool matches(unsigned short wanted, unsigned short actual)
{
    return wanted == 0 || wanted == actual;
}

int writeReport(hid_device *dev, const unsigned char *data, size_t length,
                std::optional<Fault> &met)
{
    Device *device = deviceOf(dev);
    if (device == nullptr)
        return -1;
    if (const auto fault = takeFault(library().writeFault)) {
        met = fault->fault;
        if (fault->fault == Fault::ZeroCount)
            return 0;
        return failWith(dev, fault->fault == Fault::Timeout ? L"write timed out" : L"I/O error");
    }
    // As the kernel does for a device without numbered reports: a leading
    // report ID of 0 is dropped, anything else goes to the device as data.
    const bool withReportId = length > 0 && data[0] == UnnumberedReportId;
    const unsigned char *const report = withReportId ? data + 1 : data;
    const std::size_t reportLength = withReportId ? length - 1 : length;
    // The node's output report is 64 bytes: a longer one, such as a frame
    // whose report-ID byte is missing, does not fit and is refused.
    if (reportLength > Report::Size)
        return failWith(dev, L"report too long");
    if (device->configurationWritesRefused && reportLength > 0
        && report[Report::Command] == cmdWriteConfig)
        return failWith(dev, L"I/O error");
    device->node.receive(report, reportLength);
    return static_cast<int>(length);
}

int readReport(hid_device *dev, unsigned char *data, size_t length, std::optional<Fault> &met)
{
    Device *device = deviceOf(dev);
    if (device == nullptr)
        return -1;
    std::size_t deliver = Report::Size;
    if (const auto fault = takeFault(library().readFault)) {
        met = fault->fault;
        if (fault->fault == Fault::Error)
            return failWith(dev, L"I/O error");
        if (fault->fault != Fault::Short)
            return 0;
        deliver = static_cast<std::size_t>(std::max(fault->shortLength, 0));
    }
    if (!device->node.hasAnswer())
        return 0;
    const NodeReport answer = device->node.takeAnswer();
    const std::size_t count = std::min({deliver, length, answer.size()});
    std::memcpy(data, answer.data(), count);
    return static_cast<int>(count);
}

} // namespace

DeviceId plug(const NodeReport &configuration, int capacity, const DeviceInfo &info)
{
    const DeviceId id = library().nextId++;
    Device device{SimulatedNode(configuration, capacity), info, true, false, false, {}};
    library().devices.emplace(id, std::move(device));
    return id;
}

void unplug(DeviceId device)
{
    if (Device *found = findDevice(device)) {
        found->present = false;
        found->schedule.clear();
    }
}

void setPresenceSchedule(DeviceId device, const std::vector<bool> &upcoming)
{
    if (Device *found = findDevice(device))
        found->schedule.assign(upcoming.begin(), upcoming.end());
}

bool isPresent(DeviceId device)
{
    const Device *found = findDevice(device);
    return found != nullptr && found->present;
}

SimulatedNode &node(DeviceId device)
{
    return library().devices.at(device).node;
}

std::string pathOf(DeviceId device)
{
    const Device *found = findDevice(device);
    if (found != nullptr && !found->info.path.empty())
        return found->info.path;
    return PathPrefix + std::to_string(device);
}

void setOpenRefused(DeviceId device, bool refused)
{
    if (Device *found = findDevice(device))
        found->openRefused = refused;
}

void setStartFailing(bool failing)
{
    library().startFails = failing;
}

void setConfigurationWritesRefused(DeviceId device, bool refused)
{
    if (Device *found = findDevice(device))
        found->configurationWritesRefused = refused;
}

void failNextWrite(Fault fault)
{
    library().writeFault = PendingFault{fault, 0};
}

void failNextRead(Fault fault, int shortLength)
{
    library().readFault = PendingFault{fault, shortLength};
}

void clearFaults()
{
    library().writeFault.reset();
    library().readFault.reset();
}

int enumerationCount() { return library().enumerations; }
int openCount() { return library().opens; }
int writeCount() { return library().writes; }
int readCount() { return library().reads; }
int releasedHandleCalls() { return library().releasedCalls; }

void recordCalls(bool on)
{
    library().recording = on;
}

std::vector<LibraryCall> takeCalls()
{
    std::vector<LibraryCall> calls;
    calls.swap(library().calls);
    return calls;
}

void reset()
{
    replaceLibrary();
}

} // namespace fakehid

using namespace fakehid;

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    return library().startFails ? -1 : 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id)
{
    ++library().enumerations;
    advanceSchedules();
    hid_device_info *first = nullptr;
    hid_device_info **tail = &first;
    std::vector<DeviceId> listed;
    for (const auto &entry : library().devices) {
        const Device &device = entry.second;
        if (!device.present || !matches(vendor_id, device.info.vendorId)
            || !matches(product_id, device.info.productId))
            continue;
        *tail = describe(entry.first, device);
        tail = &(*tail)->next;
        listed.push_back(entry.first);
    }
    LibraryCall call = callOf(LibraryCall::Kind::Enumerate, NoDevice, static_cast<int>(listed.size()));
    call.listed = std::move(listed);
    record(std::move(call));
    return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    while (devs != nullptr) {
        hid_device_info *next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    if (path == nullptr)
        return nullptr;
    const DeviceId id = deviceAt(path);
    const Device *device = findDevice(id);
    if (device == nullptr || !device->present || device->openRefused) {
        record(callOf(LibraryCall::Kind::Open, id, 0));
        return nullptr;
    }
    ++library().opens;
    auto *handle = new hid_device{id, L"Success"};
    library().liveHandles.insert(handle);
    record(callOf(LibraryCall::Kind::Open, id, 1));
    return handle;
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t * /*serial_number*/)
{
    hid_device_info *devices = hid_enumerate(vendor_id, product_id);
    hid_device *handle = devices != nullptr ? hid_open_path(devices->path) : nullptr;
    hid_free_enumeration(devices);
    return handle;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device *dev, const unsigned char *data,
                                          size_t length)
{
    ++library().writes;
    const DeviceId id = deviceIdOf(dev);
    std::optional<Fault> fault;
    const int result = writeReport(dev, data, length, fault);
    LibraryCall call = callOf(LibraryCall::Kind::Write, id, result);
    call.data.assign(data, data + length);
    call.fault = fault;
    record(std::move(call));
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device *dev, unsigned char *data,
                                                 size_t length, int milliseconds)
{
    ++library().reads;
    const DeviceId id = deviceIdOf(dev);
    std::optional<Fault> fault;
    const int result = readReport(dev, data, length, fault);
    const std::size_t delivered = result > 0 ? static_cast<std::size_t>(result) : 0;
    LibraryCall call = callOf(LibraryCall::Kind::Read, id, result);
    call.data.assign(data, data + delivered);
    call.fault = fault;
    call.timeoutMs = milliseconds;
    record(std::move(call));
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    return hid_read_timeout(dev, data, length, 0);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device * /*dev*/, int /*nonblock*/)
{
    return 0;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    if (dev == nullptr)
        return;
    const DeviceId id = deviceIdOf(dev);
    record(callOf(LibraryCall::Kind::Close, id, 0));
    if (library().liveHandles.erase(dev) == 0) {
        ++library().releasedCalls;
        return;
    }
    if (Device *const device = findDevice(id))
        device->node.dropAnswers();
    delete dev;
}

HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *dev)
{
    if (dev == nullptr || library().liveHandles.count(dev) == 0)
        return library().globalError.c_str();
    return dev->lastError.c_str();
}

} // extern "C"
