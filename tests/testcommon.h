#pragma once

#include "protocol/nodereport.h"

#include <QString>
#include <QStringList>

class QVariant;
class QWidget;

#include <initializer_list>
#include <utility>

// Closes every device the tool opened and puts the process-wide state back
// as it is at start, so that each test starts from a fresh process's state.
void resetToolState();

// A report with the given bytes at the given offsets and zeros elsewhere.
NodeReport reportWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes);

// A full, plausible node configuration: 192.168.1.50/24, LPD6803 at 0,8 MHz,
// universes 1..16, offset 3, capacity code 16, and 0xA0+i in reserved byte i.
NodeReport sampleConfiguration();

// Object names of the 31 configuration edits, in the order the form is
// checked and its texts are stored.
extern const QStringList configEditNames;

// The offsets where two reports differ, as " [offset] actual != expected".
QString reportDiff(const NodeReport &actual, const NodeReport &expected);

// Compares two reports byte for byte and names the bytes that differ.
#define COMPARE_REPORT(actual, expected)                                                   \
    do {                                                                                   \
        const QString diff = reportDiff(actual, expected);                                 \
        QVERIFY2(diff.isEmpty(), qPrintable(diff));                                        \
    } while (false)

// Every test process keeps its settings as INI files in a temporary folder
// of its own, on every system, never in the user's (nor in the registry):
// set up when the application object is made. Whether one of them holds
// the value, and their removal.
bool testSettingsHold(const QVariant &value);
void clearTestSettings();

// Runs the event loop until the window's refresh timer has fired, and so
// the status history and the fields have been refreshed, once.
void processRefresh(const QWidget &window);

// Everything standard output received while the object lives.
class CapturedOutput
{
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;
    QByteArray text();

private:
    int savedStdout;
    QString path;
};

// The Windows suite runs under Wine, whose emulator script says so. Wine 8
// loses the datagrams that the tool and the simulated nodes' responders
// exchange on 127.0.0.x once test frames flow, so those cases are skipped
// there and run on Linux.
bool runsUnderWine();
