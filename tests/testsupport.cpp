#include "testsupport.h"

#include "sim/fakehid.h"

void resetSharedState()
{
    resetToolState();
    fakehid::reset();
}
