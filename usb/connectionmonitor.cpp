// The connection monitor: finds the node on every search tick, reads its
// configuration when it arrives or after a command wrote to it, and notices
// when it is gone. A node that is plugged in but cannot be opened is named
// rather than taken for no node at all, and so is a HID library that does
// not start.

#include "app/console.h"
#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "ui/mainwindow.h"
#include "usb/hexdump.h"
#include "usb/hidtransport.h"
#include "usb/nodeexchange.h"
#include "usb/nodeidentity.h"

namespace {

int openNode()
{
    return hidOpen(Node::MaxDevices, Node::VendorId, Node::ProductId, Node::AnyUsagePage,
                   Node::AnyUsage);
}

void printReply(int length)
{
    consolePrint("\nrecv %d bytes:\n", length);
    consolePrint("%s", hexDump(reportBuffer.data(), length).constData());
}

// Requests the configuration and decodes whatever the buffer then holds:
// after a failed or timed-out read that is the request itself.
void readNodeConfiguration()
{
    waitingForNode = false;
    nodeConnected = true;
    statusText = message(Status::ConnectedToNode);

    const int received = requestConfiguration(Node::Device, reportBuffer);
    lastReceiveLength = received;
    if (received < 0) {
        consolePrint("\nerror reading, device went offline\n");
        hidClose(Node::Device);
    } else if (received > 0) {
        printReply(received);
    }
    decodeReport(reportBuffer);
    reportBuffer[Report::Command] = cmdWriteConfig;
}

// Prints one line for each node the last search found but could not open,
// once for as long as it stays plugged in.
void nameRefusedNodes()
{
    const QStringList refused = hidRefusedPaths();
    for (const QString &path : refused) {
        if (!refusedNodePaths.contains(path))
            consolePrint("\nnode %s : accès refusé ; %s\n", path.toUtf8().constData(),
                         AccessRefusedFix);
    }
    refusedNodePaths = refused;
}

// Prints once, for as long as it lasts, that the HID library did not start.
void nameLibraryFailure()
{
    const bool failed = hidLibraryFailed();
    if (failed && !hidFailureNamed)
        consolePrint("\n%s : %s\n", Status::UsbUnavailable, HidLibraryFailure);
    hidFailureNamed = failed;
}

} // namespace

void MainWindow::searchDevice()
{
    // A series has the nodes to itself; it says what it reads.
    if (seriesRunning)
        return;
    if (waitingForNode) {
        statusText = message(Status::WaitingForNode);
        const int opened = openNode();
        nameRefusedNodes();
        nameLibraryFailure();
        if (opened > 0)
            readNodeConfiguration();
        else if (hidFailureNamed)
            statusText = message(Status::UsbUnavailable);
        else if (!refusedNodePaths.isEmpty())
            statusText = message(Status::AccessRefused);
        const bool readBack = opened > 0 && lastReceiveLength == static_cast<int>(Report::Size);
        settleOpenedFile(readBack);
        settleLoggedUnit(readBack);
    }
    if (nodeConnected && openNode() == 0) {
        nodeConnected = false;
        waitingForNode = true;
    }
}
