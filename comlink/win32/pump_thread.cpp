#include "comlink/pump_thread.h"

#include <utility>

std::thread StartPumpThread(std::function<void()> body) { return std::thread(std::move(body)); }
