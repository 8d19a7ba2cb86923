#pragma once

#include "usb/hidpacing.h"

#include <QString>
#include <QStringList>

// Raw HID access: finds devices by vendor, product, usage page and usage,
// keeps the opened ones in a numbered list, and moves one report at a time.
// Counts exclude the report-ID byte: > 0 bytes moved, 0 time-out, -1 error.

// Closes every device opened before, then opens up to max matching devices.
// A value of 0 or less for an identifier matches every device. Returns the
// number of devices opened.
int hidOpen(int max, int vendorId, int productId, int usagePage, int usage);

// Whether the last hidOpen that looked for devices could not start the HID
// library (hid_init failed): no device can be found then.
bool hidLibraryFailed();

// Reads one input report of device n into buf (at most len bytes).
int hidReceive(int n, void *buf, unsigned len, int timeoutMs);

// Writes the len bytes of buf as one report to device n, then pauses as
// hidPacing() says (the window: 500 ms after every write).
int hidSend(int n, const void *buf, unsigned len, int timeoutMs);

// Releases device n's handle; the other devices keep their numbers.
void hidClose(int n);

// Prints the last transfer failure as "err <code>: <text>".
void hidPrintError();

// What the system says of device n, as the last hidOpen found it: its path
// and its serial number (empty when it has none, or n has no entry).
QString hidDevicePath(int n);
QString hidSerialNumber(int n);

// Paths of the devices that the last hidOpen found matching but could not
// open (no access, or held by another program).
QStringList hidRefusedPaths();

// Longest report a transfer accepts, report-ID byte excluded.
constexpr unsigned HidMaxReportLength = 515;
