// echo-floor: the echo turnaround of an ideal host, as the simulator times
// it: what the pty and the simulator add to every echoed byte whatever the
// host does. The host here blocks in poll() for each echo and writes the
// next kernel byte the moment the echo is read. Prints "key=value" lines:
// turnarounds, floor_median_ms, floor_p99_ms.
//
//   echo-floor --sim PATH --kernel FILE --link PATH

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/sim_figures.h"

namespace {

constexpr std::uint8_t kSyncProbe = 0x0D;
constexpr std::uint8_t kSyncReply = 0xAA;
constexpr int kReplyTimeoutMs = 500;
constexpr int kSyncAttempts = 100;
using bench::JsonNumber;

// The next byte within `timeoutMs`, or -1.
int ReadByte(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) return -1;
    std::uint8_t byte = 0;
    return read(fd, &byte, 1) == 1 ? byte : -1;
}

bool WriteByte(int fd, std::uint8_t byte) { return write(fd, &byte, 1) == 1; }

}  // namespace

int main(int argc, char** argv) {
    std::string sim, kernel, link;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--sim") sim = argv[i + 1];
        if (arg == "--kernel") kernel = argv[i + 1];
        if (arg == "--link") link = argv[i + 1];
    }
    std::ifstream file(kernel, std::ios::binary);
    const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (sim.empty() || link.empty() || image.empty()) {
        std::fprintf(stderr, "usage: echo-floor --sim PATH --kernel FILE --link PATH\n");
        return 2;
    }
    bench::ChildProcess simulator({sim, "--method", "1", "--kernel", kernel, "--link", link, "--json"});
    bench::WaitForLink(link);
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        std::fprintf(stderr, "echo-floor: cannot open %s\n", link.c_str());
        return 1;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    tcsetattr(fd, TCSANOW, &settings);

    bool synced = false;
    for (int attempt = 0; attempt < kSyncAttempts && !synced; ++attempt) {
        synced = WriteByte(fd, kSyncProbe) && ReadByte(fd, kReplyTimeoutMs) == kSyncReply;
    }
    bool echoed = synced;
    for (std::size_t i = 0; echoed && i < image.size(); ++i) {
        echoed = WriteByte(fd, image[i]) && ReadByte(fd, kReplyTimeoutMs) == image[i];
    }
    ReadByte(fd, kReplyTimeoutMs);  // the end code
    close(fd);
    simulator.Terminate();
    const std::string json = simulator.ReadAll();
    simulator.Wait();

    std::printf("floor_ok=%d\n", echoed ? 1 : 0);
    std::printf("floor_turnarounds=%.0f\n", JsonNumber(json, "turnarounds").value_or(0));
    std::printf("floor_median_ms=%.6g\n", JsonNumber(json, "turnaround_median_ns").value_or(0) / bench::kNsPerMs);
    std::printf("floor_p99_ms=%.6g\n", JsonNumber(json, "turnaround_p99_ns").value_or(0) / bench::kNsPerMs);
    return echoed ? 0 : 1;
}
