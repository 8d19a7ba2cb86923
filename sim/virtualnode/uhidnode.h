#pragma once

#include "sim/simulatednode.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A simulated node published to the kernel as a USB HID device through
// /dev/uhid: every output report the kernel hands over goes to the node, and
// the node's answer goes back as one input report.
class UhidNode
{
public:
    UhidNode(SimulatedNode &node, std::FILE *log);
    ~UhidNode();
    UhidNode(const UhidNode &) = delete;
    UhidNode &operator=(const UhidNode &) = delete;

    // Opens the uhid device file and creates the HID device, with a serial
    // number when one is given (hidapi reports it as the device's serial).
    // On failure, returns false with the reason in error().
    bool create(const std::string &uhidPath, const std::string &serial = std::string());
    // Waits up to timeoutMs for one kernel event and handles it. Returns
    // false when the device file failed (not on a time-out or a signal).
    bool serviceOnce(int timeoutMs);
    // Removes the HID device; the kernel's clients see it unplugged.
    void destroy();
    // A muted node takes every report and never answers, as a hung node.
    void setMuted(bool on) { muted = on; }

    const std::string &error() const { return lastError; }

private:
    void handleOutput(const std::uint8_t *data, std::size_t size);
    void answerGetReport(std::uint32_t id);
    void answerSetReport(std::uint32_t id);
    bool sendEvent(const void *event, std::size_t size);
    void print(const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    SimulatedNode &node;
    std::FILE *logFile;
    int fd = -1;
    bool created = false;
    bool muted = false;
    std::string lastError;
};

// The 64 report bytes of one output report. Written through hidraw, the
// kernel hands over the report-ID byte 0 in front of them (65 bytes); a
// report without it (64 bytes, as a USB device gets it) is taken as is.
struct ReportData {
    const std::uint8_t *bytes;
    std::size_t length;
};
ReportData stripReportId(const std::uint8_t *data, std::size_t size);
