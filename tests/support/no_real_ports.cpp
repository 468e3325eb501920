// Linked into every test program: keeps tests away from the machine's real
// serial devices. A link opened through the default port factory may reach
// only a pseudo-terminal (which a test creates and maps itself); any other
// device fails the test and is not opened. Tests that install their own port
// factory (simulated or scripted ports) are not affected. What counts as a
// pseudo-terminal is the system's business (port_guard_posix.cpp,
// port_guard_win32.cpp).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comlink/links.h"
#include "comlink/port_devices.h"
#include "comlink/serial.h"
#include "tests/support/port_guard.h"

namespace {

// A port whose device could not be opened: the link gives up before it
// touches any operation of it.
class RefusedPort final : public QvComLink {
public:
    RefusedPort() { lastError = LINK_ERR_GENERAL; }
};

std::unique_ptr<QvComLink> PseudoTerminalsOnly(int portIndex, int rxQueueSize, int txQueueSize) {
    const std::string path = PortDevicePath(portIndex);
    if (!test_support::ReachesPseudoTerminal(path)) {
        ADD_FAILURE() << "a test tried to open the device " << path << " (port index " << portIndex
                      << "); install a simulated port or map the index to a pseudo-terminal ("
                      << test_support::kPseudoTerminalHint << ")";
        return std::make_unique<RefusedPort>();
    }
    return std::make_unique<Links>(portIndex, rxQueueSize, txQueueSize);
}

class NoRealPorts final : public ::testing::Environment {
public:
    void SetUp() override { guard_ = std::make_unique<ScopedPortFactory>(PseudoTerminalsOnly); }
    void TearDown() override { guard_.reset(); }

private:
    std::unique_ptr<ScopedPortFactory> guard_;
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new NoRealPorts);  // owned by GoogleTest

}  // namespace
