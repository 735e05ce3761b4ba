#pragma once
// Breaks the layers on purpose, for the test of the layer check.

#include "keys/keynames.h"
#include "platform/hidrawdevice.h"
