#include "sim/virtualnode/uhidnode.h"

#include "usb/nodeidentity.h"

#include <linux/input.h>
#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr char DeviceName[] = "nodeconfig virtual node";
constexpr unsigned DeviceVersion = 0x0100;
constexpr std::uint8_t NoReportId = 0;
constexpr std::size_t BytesShown = 8;
constexpr std::uint16_t ReplyUnsupported = EIO;

// Vendor-defined usage page 0xFF00, usage 1: one application collection
// with a 64-byte input and a 64-byte output report, without report IDs.
constexpr std::uint8_t ReportDescriptor[] = {
    0x06, 0x00, 0xFF, // Usage Page (0xFF00, vendor defined)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x40,       //   Report Count (64)
    0x09, 0x01,       //   Usage (1)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x95, 0x40,       //   Report Count (64)
    0x09, 0x01,       //   Usage (1)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

ReportData stripReportId(const std::uint8_t *data, std::size_t size)
{
    if (size == Report::Size + 1 && data[0] == NoReportId)
        return {data + 1, Report::Size};
    return {data, std::min(size, Report::Size)};
}

UhidNode::UhidNode(SimulatedNode &simulated, std::FILE *log) : node(simulated), logFile(log)
{
}

UhidNode::~UhidNode()
{
    destroy();
    if (fd >= 0)
        ::close(fd);
}

bool UhidNode::create(const std::string &uhidPath, const std::string &serial)
{
    fd = ::open(uhidPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        lastError = systemError(uhidPath.c_str());
        return false;
    }

    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req &request = event.u.create2;
    std::strncpy(reinterpret_cast<char *>(request.name), DeviceName, sizeof request.name - 1);
    std::strncpy(reinterpret_cast<char *>(request.phys), "nodeconfig-virtual-node",
                 sizeof request.phys - 1);
    std::strncpy(reinterpret_cast<char *>(request.uniq), serial.c_str(), sizeof request.uniq - 1);
    request.rd_size = sizeof ReportDescriptor;
    std::memcpy(request.rd_data, ReportDescriptor, sizeof ReportDescriptor);
    request.bus = BUS_USB;
    request.vendor = Node::VendorId;
    request.product = Node::ProductId;
    request.version = DeviceVersion;
    if (!sendEvent(&event, sizeof event)) {
        lastError = systemError("UHID_CREATE2");
        return false;
    }
    created = true;
    print("node: created \"%s\" %04X:%04X, capacity %d, serial \"%s\"\n", DeviceName,
          static_cast<unsigned>(Node::VendorId), static_cast<unsigned>(Node::ProductId),
          node.capacity(), serial.c_str());
    return true;
}

void UhidNode::destroy()
{
    if (!created)
        return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    sendEvent(&event, sizeof event);
    created = false;
    print("node: destroyed\n");
}

bool UhidNode::serviceOnce(int timeoutMs)
{
    pollfd watched{fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    if (ready == 0)
        return true;

    uhid_event event{};
    const ssize_t got = ::read(fd, &event, sizeof event);
    if (got < 0) {
        if (errno == EINTR || errno == EAGAIN)
            return true;
        lastError = systemError("read /dev/uhid");
        return false;
    }
    switch (event.type) {
    case UHID_START:
        print("node: started\n");
        break;
    case UHID_OPEN:
        print("node: opened\n");
        break;
    case UHID_CLOSE:
        print("node: closed\n");
        break;
    case UHID_OUTPUT:
        handleOutput(event.u.output.data, std::min<std::size_t>(event.u.output.size, UHID_DATA_MAX));
        break;
    case UHID_GET_REPORT:
        answerGetReport(event.u.get_report.id);
        break;
    case UHID_SET_REPORT:
        answerSetReport(event.u.set_report.id);
        break;
    default:
        break;
    }
    return true;
}

void UhidNode::handleOutput(const std::uint8_t *data, std::size_t size)
{
    const ReportData report = stripReportId(data, size);
    const bool framed = report.bytes != data;
    print("node: received command %u (%zu bytes%s):", report.length > 0 ? report.bytes[0] : 0u,
          size, framed ? ", report ID 0" : "");
    for (std::size_t i = 0; i < std::min(report.length, BytesShown); ++i)
        print(" %02X", report.bytes[i]);
    print("\n");

    node.receive(report.bytes, report.length);
    if (!node.hasAnswer())
        return;
    const NodeReport answer = node.takeAnswer();
    if (muted) {
        print("node: muted, no answer\n");
        return;
    }
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<std::uint16_t>(answer.size());
    std::copy(answer.begin(), answer.end(), event.u.input2.data);
    if (!sendEvent(&event, sizeof event))
        print("node: could not send the answer: %s\n", std::strerror(errno));
}

// Feature reports are not part of the node: refuse them at once, so that
// no caller waits for the kernel's time-out.
void UhidNode::answerGetReport(std::uint32_t id)
{
    uhid_event event{};
    event.type = UHID_GET_REPORT_REPLY;
    event.u.get_report_reply.id = id;
    event.u.get_report_reply.err = ReplyUnsupported;
    sendEvent(&event, sizeof event);
}

void UhidNode::answerSetReport(std::uint32_t id)
{
    uhid_event event{};
    event.type = UHID_SET_REPORT_REPLY;
    event.u.set_report_reply.id = id;
    event.u.set_report_reply.err = ReplyUnsupported;
    sendEvent(&event, sizeof event);
}

bool UhidNode::sendEvent(const void *event, std::size_t size)
{
    const ssize_t written = ::write(fd, event, size);
    return written == static_cast<ssize_t>(size);
}

void UhidNode::print(const char *format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list copy;
    va_copy(copy, arguments);
    std::vprintf(format, arguments);
    std::fflush(stdout);
    if (logFile != nullptr) {
        std::vfprintf(logFile, format, copy);
        std::fflush(logFile);
    }
    va_end(copy);
    va_end(arguments);
}
