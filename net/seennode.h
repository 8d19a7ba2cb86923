#pragma once

#include "net/artnetpackets.h"

#include <QHostAddress>
#include <QtGlobal>

// One answer in the list of nodes: a node's reply for one bind index, as
// last heard from one address.
struct SeenNode {
    QHostAddress address;   // where the reply came from: the node's address
    ArtNet::PollReply reply;
    qint64 firstSeenMs = 0; // on the discovery's clock
    qint64 lastSeenMs = 0;
    bool gone = false;      // silent for three polls

    // The reply's IP field names another address than the one it came from.
    bool addressFieldDiffers() const;
    // Every port-address the node outputs, in its reply's port order.
    std::vector<int> universes() const { return reply.outputPortAddresses(); }
};
