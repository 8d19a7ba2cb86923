#pragma once

#include "net/artnetpackets.h"

#include <QHostAddress>
#include <QtGlobal>

#include <cstddef>

// One answer in the list of nodes: a node's reply for one bind index, as
// last heard from one address.
//
// A node is its address, its bind index and its MAC; a node that gives no
// MAC (all zeros) is its address and bind index alone. Everything else a
// reply says (names, patch, firmware) may change from one reply to the
// next, after an Envoyer, and updates the entry.
struct SeenNode {
    QHostAddress address;   // where the reply came from: the node's address
    ArtNet::PollReply reply;
    qint64 firstSeenMs = 0; // on the discovery's clock
    qint64 lastSeenMs = 0;
    bool gone = false;      // silent for three polls
    // A node without a MAC whose replies keep going back to what they said
    // before their last change: several nodes without a MAC answer at this
    // address and bind index in turn. Cleared once that has not happened
    // for as long as a node takes to be gone.
    qint64 severalWithoutMacMs = -1;

    // The reply's IP field names another address than the one it came from.
    bool addressFieldDiffers() const;
    // Every port-address the node outputs, in its reply's port order.
    std::vector<int> universes() const { return reply.outputPortAddresses(); }
    bool severalWithoutMac() const { return severalWithoutMacMs >= 0; }
};

// The reply's MAC as one number (0: none), to compare and count MACs
// without their text.
quint64 macNumber(const ArtNet::PollReply &reply);

// What a reply says about the node beyond its key: names, firmware, maker,
// patch and ports. Equal for two replies of one node while its setup is the
// same; the node report and the status bytes, which change from reply to
// reply, are left out.
std::size_t replyIdentity(const ArtNet::PollReply &reply);
