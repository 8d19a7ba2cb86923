#pragma once

#include "testcommon.h"

// Puts the process-wide state back as it is at start and forgets every
// simulated device.
void resetSharedState();
