#include "usb/hidtransport.h"

#include "app/console.h"
#include "app/sharedstate.h"
#include "protocol/nodereport.h"

#include <hidapi.h>

#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

// One opened device. A handle released by hidClose is null while the entry
// keeps its place (and number) until the next hidOpen.
struct HidDeviceEntry {
    hid_device *handle = nullptr;
    bool open = true;
    QString path;
    QString serialNumber;
};

struct HidError {
    long code = 0;
    QString text;
};

constexpr unsigned char ReportId = 0;
constexpr std::size_t TransferBufferSize = HidMaxReportLength + 1;
constexpr int LargestIdentifier = 0xFFFF;
constexpr int TransferFailed = -1;
constexpr int TransferTimedOut = 0;

std::vector<HidDeviceEntry> deviceList;
HidPacing pacing = WindowPacing;
HidPause pauseOverride;
QStringList refusedPaths;
bool libraryFailed = false;
HidError lastError;

HidDeviceEntry *findEntry(int n)
{
    const std::size_t index = n <= 0 ? 0 : static_cast<std::size_t>(n);
    return index < deviceList.size() ? &deviceList[index] : nullptr;
}

void closeAllDevices()
{
    for (const HidDeviceEntry &entry : deviceList) {
        if (entry.handle != nullptr)
            hid_close(entry.handle);
    }
    deviceList.clear();
    refusedPaths.clear();
}

bool matches(int wanted, unsigned short actual)
{
    return wanted <= 0 || wanted == actual;
}

// The library's own filter takes 16 bits; anything else is filtered here,
// so that an identifier above 65535 matches no device instead of a truncated one.
unsigned short enumerationFilter(int identifier)
{
    return identifier > 0 && identifier <= LargestIdentifier
        ? static_cast<unsigned short>(identifier)
        : 0;
}

bool matchesDevice(const hid_device_info &info, int vendorId, int productId,
                   int usagePage, int usage)
{
    return matches(vendorId, info.vendor_id) && matches(productId, info.product_id)
        && matches(usagePage, info.usage_page) && matches(usage, info.usage);
}

void recordLibraryError(hid_device *handle)
{
    const int code = errno;
    const wchar_t *text = hid_error(handle);
    lastError = {code, text != nullptr ? QString::fromWCharArray(text) : QString()};
}

// A released handle is never handed to the library again: it would be a
// use after free.
int refuseReleasedHandle()
{
    lastError = {EBADF, QStringLiteral("device handle already released")};
    hidPrintError();
    return TransferFailed;
}

bool isConfigurationWrite(const unsigned char *report, unsigned len)
{
    return len > 0 && report[Report::Command] == cmdWriteConfig;
}

void announceConfigurationWrite(const unsigned char *report, unsigned len)
{
    if (isConfigurationWrite(report, len))
        statusText = message(Status::SendingNewValues);
}

void pauseAfterWrite(const unsigned char *report, unsigned len)
{
    if (!pacing.pauseAfterEveryWrite && !isConfigurationWrite(report, len))
        return;
    hidPauseFor(pacing.pauseAfterWriteMs);
}

} // namespace

void hidPauseFor(int milliseconds)
{
    if (pauseOverride)
        pauseOverride(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const HidPacing &hidPacing()
{
    return pacing;
}

void setHidPacing(const HidPacing &newPacing)
{
    pacing = newPacing;
}

void setHidPause(HidPause pause)
{
    pauseOverride = std::move(pause);
}

int hidOpen(int max, int vendorId, int productId, int usagePage, int usage)
{
    closeAllDevices();
    if (max <= 0)
        return 0;
    // Once the library has started, hid_init does nothing more; until then
    // each search tries again.
    libraryFailed = hid_init() != 0;
    if (libraryFailed)
        return 0;

    hid_device_info *const devices =
        hid_enumerate(enumerationFilter(vendorId), enumerationFilter(productId));
    int count = 0;
    for (const hid_device_info *info = devices; info != nullptr && count < max;
         info = info->next) {
        if (!matchesDevice(*info, vendorId, productId, usagePage, usage))
            continue;
        const QString path = QString::fromLocal8Bit(info->path);
        hid_device *const handle = hid_open_path(info->path);
        if (handle == nullptr) {
            refusedPaths.append(path);
            continue;
        }
        const QString serial = info->serial_number != nullptr
            ? QString::fromWCharArray(info->serial_number)
            : QString();
        deviceList.push_back({handle, true, path, serial});
        ++count;
    }
    hid_free_enumeration(devices);
    return count;
}

bool hidLibraryFailed()
{
    return libraryFailed;
}

int hidReceive(int n, void *buf, unsigned len, int timeoutMs)
{
    if (len > HidMaxReportLength)
        return TransferFailed;
    const HidDeviceEntry *const entry = findEntry(n);
    if (entry == nullptr || !entry->open)
        return TransferFailed;
    if (entry->handle == nullptr)
        return refuseReleasedHandle();

    // The library delivers the report without its report-ID byte.
    std::array<unsigned char, TransferBufferSize> transfer{};
    const int received = hid_read_timeout(entry->handle, transfer.data(), len, timeoutMs);
    if (received < 0) {
        recordLibraryError(entry->handle);
        hidPrintError();
        return TransferFailed;
    }
    if (received == 0)
        return TransferTimedOut;
    const unsigned copied = std::min(static_cast<unsigned>(received), len);
    std::memcpy(buf, transfer.data(), copied);
    return static_cast<int>(copied);
}

int hidSend(int n, const void *buf, unsigned len, int timeoutMs)
{
    if (len > HidMaxReportLength) {
        statusText = message(Status::NoNodeConnected);
        return TransferFailed;
    }
    const HidDeviceEntry *const entry = findEntry(n);
    if (entry == nullptr || !entry->open)
        return TransferFailed;

    const auto *const report = static_cast<const unsigned char *>(buf);
    std::array<unsigned char, TransferBufferSize> transfer{};
    transfer[0] = ReportId;
    std::memcpy(transfer.data() + 1, report, len);
    announceConfigurationWrite(report, len);
    if (entry->handle == nullptr)
        return refuseReleasedHandle();

    // hidapi has no write time-out: on Linux (hidraw) hid_write blocks until
    // the kernel takes the report, and elsewhere a write that times out is
    // reported as a failure (-1). So timeoutMs is not used and 0 is never
    // returned here.
    static_cast<void>(timeoutMs);
    const int written = hid_write(entry->handle, transfer.data(), len + 1);
    if (written < 0) {
        recordLibraryError(entry->handle);
        hidPrintError();
        return TransferFailed;
    }
    if (written == 0)
        return TransferFailed;
    pauseAfterWrite(report, len);
    return std::min(written - 1, static_cast<int>(len));
}

void hidClose(int n)
{
    HidDeviceEntry *const entry = findEntry(n);
    if (entry == nullptr || !entry->open || entry->handle == nullptr)
        return;
    hid_close(entry->handle);
    entry->handle = nullptr;
}

QString hidDevicePath(int n)
{
    const HidDeviceEntry *const entry = findEntry(n);
    return entry != nullptr ? entry->path : QString();
}

QString hidSerialNumber(int n)
{
    const HidDeviceEntry *const entry = findEntry(n);
    return entry != nullptr ? entry->serialNumber : QString();
}

QStringList hidRefusedPaths()
{
    return refusedPaths;
}

void hidPrintError()
{
    consolePrint("err %ld: %s\n", lastError.code, lastError.text.toUtf8().constData());
}
