#pragma once

#include "link/nodelink.h"
#include "protocol/nodereport.h"

enum class WriteResult {
    Verified,   // the node holds bytes 1..32 as written
    WriteFailed,
    NoReadBack, // written, but the node did not answer the read-back
    Differs,    // the node answers with another configuration
};

struct WriteOutcome {
    WriteResult result = WriteResult::WriteFailed;
    NodeReport readBack{}; // what the node answered, when it did
};

// Writes a configuration, reads it back and compares bytes 1..32; byte 33
// is the capacity the node reports whatever was written.
WriteOutcome writeVerified(NodeLink &link, const NodeReport &configuration);

// How a read-back after a write went: nullopt when the node did not answer.
WriteOutcome readBackOutcome(const std::optional<NodeReport> &readBack,
                             const NodeReport &configuration);

// True when a node's configuration holds bytes 1..32 of the written one.
bool holdsConfiguration(const NodeReport &node, const NodeReport &written);
