// Systems without a low-latency request for serial drivers: nothing to ask.

#include "comlink/posix/serial_low_latency.h"

void EnterLowLatency(int) {}

void LeaveLowLatency(int) {}
