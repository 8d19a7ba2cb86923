#pragma once

// What nodeconfig-cli's exit status tells a script.
namespace Exit {
constexpr int Done = 0;        // done, and the node holds what was written
constexpr int NodeFailure = 1; // the node refused, did not answer, or read back otherwise
constexpr int BadInput = 2;    // bad arguments, file or value: nothing was written
constexpr int NoNode = 3;      // no node within the wait
constexpr int LogFailure = 4;  // a series' log row could not be stored: the series stopped
} // namespace Exit
