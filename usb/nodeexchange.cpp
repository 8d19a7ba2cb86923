#include "usb/nodeexchange.h"

#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

int requestConfiguration(int device, NodeReport &report)
{
    report[Report::Command] = cmdRequestConfig;
    hidSend(device, report.data(), Report::Size, Node::WriteTimeoutMs);
    return hidReceive(device, report.data(), Report::Size, hidPacing().replyTimeoutMs);
}

int writeConfiguration(int device, NodeReport &report)
{
    report[Report::Command] = cmdWriteConfig;
    return hidSend(device, report.data(), Report::Size, Node::WriteTimeoutMs);
}
