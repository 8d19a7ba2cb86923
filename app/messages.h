#pragma once

#include <QString>

// Every status message the tool shows, in one place: the window's status
// history shows them, the command-line tool prints them, and the window's
// font is chosen so that each fits the status line.
namespace Status {
// Connection monitor and transport.
extern const char *const WaitingForNode;
extern const char *const ConnectedToNode;
extern const char *const SendingNewValues;
extern const char *const NoNodeConnected;
extern const char *const AccessRefused;
extern const char *const UsbUnavailable;
// Commands.
extern const char *const FactorySettings;
// Checks of the form.
extern const char *const FillAllFields;
extern const char *const HostOctetTooLow;
extern const char *const Spi1FreqTooLow;
extern const char *const Spi1FreqTooHigh;
extern const char *const Spi2FreqTooLow;
extern const char *const Spi2FreqTooHigh;
// Checks of the unit numbers.
extern const char *const NoCurtainNumber;
extern const char *const NoCostumeNumber;
extern const char *const TooManyCurtains;
extern const char *const TooManyCostumes;
// Configuration files, in the window (the status bar gives the details).
extern const char *const ConfigurationOpened;
extern const char *const ConfigurationSaved;
extern const char *const FileRefused;
extern const char *const SaveFailed;
// "Ajouter" with a series log chosen (the status bar gives the details).
extern const char *const NumberInLog;
extern const char *const LogUnusable;
extern const char *const NotLogged;

// All of the above, for whoever needs to go through them.
extern const char *const All[];
extern const int Count;
} // namespace Status

// What to do about a node that is plugged in but cannot be opened, for the
// console: on Linux the missing udev rule, elsewhere another program.
extern const char *const AccessRefusedFix;
// The same for a command run from a terminal, which on Linux may also be run
// as root.
extern const char *const AccessRefusedCommandFix;

// Why no node can be looked for at all: the HID library (hidapi) did not
// start. For the console and nodeconfig-cli, after UsbUnavailable.
extern const char *const HidLibraryFailure;

// A message as the text the widgets and the console take.
inline QString message(const char *text)
{
    return QString::fromUtf8(text);
}

// A name or value inside a message, between French quotation marks.
QString quoted(const QString &text);
