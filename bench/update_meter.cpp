// update-meter: runs one complete update of updater-cli against
// instrument-sim and prints what it measured, one "key=value" a line, for
// bench/run.sh to put in its table:
//   wall time and its bound, the updater's CPU time overall and per phase,
//   its echo turnaround per kernel byte (timed by the simulator), the
//   streaming throughput and the updater's peak resident memory.
//
//   update-meter --sim PATH --cli PATH --ini FILE --kernel FILE --update FILE
//                --link PATH [--no-line-time] [--parent-tag TAG]
//                [--wrapper PROGRAM] [--device NAME] [--stream-seconds S]
//
// --stream-seconds stops the updater (SIGTERM twice, as an operator's
// second request) once it has streamed the update image for S seconds: the
// port feeds the line no faster than 38400 baud carries it, even when the
// simulator takes the bytes at once, so a large image would take hours.
// --wrapper runs the updater through another program and its arguments,
// separated by blanks (wine); --device is then the name the updater opens
// instead of the link (COM1), and --ini is given to the updater as it stands.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/sim_figures.h"
#include "engine/update_steps.h"

namespace {

using bench::ByteTimeMs;
using bench::ChildProcess;
using bench::FileSize;
using bench::JsonNumber;
using bench::kBootBaud;
using bench::kNsPerSecond;
using bench::SteadyNowNs;
using bench::WaitForLink;


// Phases of the update, each ended by the status line that starts the next.
struct Phase {
    const char* name;
    const char* endLine;  // null: ends with the result line
};
constexpr const char* TextOf(engine::UpdateStep step) { return engine::StepEntryOf(step).text; }
constexpr Phase kPhases[] = {
    {"dialogue", TextOf(engine::UpdateStep::kSynchronise)},
    {"sync", TextOf(engine::UpdateStep::kKernel)},
    {"kernel", TextOf(engine::UpdateStep::kUpdate)},
    {"streaming", TextOf(engine::UpdateStep::kClear)},
    {"commands", nullptr},
};

struct Options {
    std::string sim, cli, ini, kernel, update, link, wrapper, device;
    std::string parentTag = bench::kParentTag;
    bool lineTime = true;
    double streamSeconds = 0;  // 0: the whole update
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    std::map<std::string, std::string*> values = {
        {"--sim", &options.sim},       {"--cli", &options.cli},         {"--ini", &options.ini},
        {"--kernel", &options.kernel}, {"--update", &options.update},   {"--link", &options.link},
        {"--wrapper", &options.wrapper}, {"--device", &options.device}, {"--parent-tag", &options.parentTag},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-line-time") {
            options.lineTime = false;
        } else if (arg == "--stream-seconds" && i + 1 < argc) {
            options.streamSeconds = std::strtod(argv[++i], nullptr);
        } else if (values.contains(arg) && i + 1 < argc) {
            *values[arg] = argv[++i];
        } else {
            std::fprintf(stderr, "update-meter: unknown or incomplete option %s\n", arg.c_str());
            return std::nullopt;
        }
    }
    if (options.sim.empty() || options.cli.empty() || options.ini.empty() || options.kernel.empty() ||
        options.update.empty() || options.link.empty()) {
        std::fprintf(stderr, "update-meter: --sim, --cli, --ini, --kernel, --update and --link are needed\n");
        return std::nullopt;
    }
    return options;
}

// Bytes handed to the port so far, from a progress line "DATA:total:left".
std::optional<double> SentBytes(const std::string& line) {
    const std::size_t colon = line.find(':', 5);
    if (!line.starts_with("DATA:") || colon == std::string::npos) return std::nullopt;
    return std::strtod(line.c_str() + 5, nullptr) - std::strtod(line.c_str() + colon + 1, nullptr);
}

// Stops the updater once it has streamed for the asked time: a first
// request, and the second one that stops it a moment later.
class StreamingStop {
public:
    explicit StreamingStop(double seconds) : seconds_(seconds) {}
    bool Enabled() const { return seconds_ > 0; }
    void StreamingBegan(double sentBytes) {
        beganNs_ = SteadyNowNs();
        beganBytes_ = sentBytes;
    }
    // After each line: asks `cli` to stop when the time has come.
    void Check(const ChildProcess& cli, double sentBytes) {
        if (!Enabled() || beganNs_ == 0 || requests_ >= 2) return;
        const std::uint64_t now = SteadyNowNs();
        if (requests_ == 0 && static_cast<double>(now - beganNs_) >= seconds_ * kNsPerSecond) {
            streamedS_ = static_cast<double>(now - beganNs_) / kNsPerSecond;
            streamedBytes_ = sentBytes - beganBytes_;
            cli.Terminate();
            firstRequestNs_ = now;
            requests_ = 1;
        } else if (requests_ == 1 && now - firstRequestNs_ >= kSecondRequestDelayNs) {
            cli.Terminate();
            requests_ = 2;
        }
    }
    bool Stopped() const { return requests_ > 0; }
    double StreamedSeconds() const { return streamedS_; }
    double StreamedBytes() const { return streamedBytes_; }

private:
    static constexpr std::uint64_t kSecondRequestDelayNs = 200'000'000;
    double seconds_;
    std::uint64_t beganNs_ = 0;
    std::uint64_t firstRequestNs_ = 0;
    double beganBytes_ = 0;
    double streamedS_ = 0;
    double streamedBytes_ = 0;
    int requests_ = 0;
};

void Print(const char* key, double value) { std::printf("%s=%.6g\n", key, value); }
void Print(const std::string& key, double value) { Print(key.c_str(), value); }

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> parsed = ParseOptions(argc, argv);
    if (!parsed) return 2;
    const Options& o = *parsed;

    std::vector<std::string> simArgs = {o.sim, "--link", o.link, "--kernel", o.kernel, "--update", o.update,
                                        "--json"};
    if (!o.lineTime) simArgs.push_back("--no-line-time");
    ChildProcess sim(simArgs);
    if (!sim.Started() || !WaitForLink(o.link)) {
        std::fprintf(stderr, "update-meter: the simulator did not start\n");
        return 1;
    }

    std::vector<std::string> cliArgs;
    for (std::size_t from = 0; from < o.wrapper.size();) {
        const std::size_t blank = std::min(o.wrapper.find(' ', from), o.wrapper.size());
        if (blank > from) cliArgs.push_back(o.wrapper.substr(from, blank - from));
        from = blank + 1;
    }
    for (const std::string& arg : {o.cli, std::string("--ini"), o.ini, std::string("--device"),
                                   o.device.empty() ? o.link : o.device, std::string("--yes"),
                                   std::string("--raw")}) {
        cliArgs.push_back(arg);
    }
    const std::uint64_t startNs = SteadyNowNs();
    ChildProcess cli(cliArgs);
    if (!cli.Started()) {
        std::fprintf(stderr, "update-meter: updater-cli did not start\n");
        return 1;
    }

    // Phase boundaries: the time and the updater's CPU time when each
    // phase's closing status line came.
    std::vector<std::uint64_t> boundaryNs = {startNs};
    std::vector<std::uint64_t> boundaryCpuNs = {0};
    std::size_t phase = 0;
    long lines = 0;
    std::string lastLine;
    bool sawProgramming = false;
    StreamingStop stop(o.streamSeconds);
    double sentBytes = 0;
    while (std::optional<std::string> line = cli.ReadLine()) {
        if (line->ends_with('\r')) line->pop_back();  // the Windows program's line ends
        ++lines;
        stop.Check(cli, sentBytes);
        if (const std::optional<double> sent = SentBytes(*line)) {
            sentBytes = *sent;
            continue;
        }
        if (*line == "Sending update.") stop.StreamingBegan(sentBytes);
        lastLine = *line;
        if (*line == "Programming flash.") sawProgramming = true;
        if (phase >= std::size(kPhases)) continue;
        const char* end = kPhases[phase].endLine;
        const bool ends = end != nullptr ? *line == end
                                         : sawProgramming && *line != "Programming flash." &&
                                               *line != "Starting new code.";
        if (ends) {
            boundaryNs.push_back(SteadyNowNs());
            boundaryCpuNs.push_back(cli.CpuNsNow());
            ++phase;
        }
    }
    const bench::ChildUsage used = cli.Wait();
    const std::uint64_t endNs = SteadyNowNs();
    if (stop.Stopped()) sim.Terminate();  // it would wait for the rest of the image
    const std::string simJson = sim.ReadAll();
    const bench::ChildUsage simUsed = sim.Wait();

    const double wallS = static_cast<double>(endNs - startNs) / kNsPerSecond;
    Print("updater_exit", used.exitStatus);
    Print("sim_exit", simUsed.exitStatus);
    if (stop.Stopped()) {
        std::printf("result=stopped after %.0f s of streaming\n", stop.StreamedSeconds());
        Print("handed_bytes", stop.StreamedBytes());
        Print("handed_Bps", stop.StreamedBytes() / stop.StreamedSeconds());
        Print("peak_rss_kib", static_cast<double>(used.peakRssKiB));
        return 0;
    }
    std::printf("result=%s\n", lastLine.c_str());
    Print("lines", static_cast<double>(lines));
    Print("wall_s", wallS);
    Print("cpu_s", static_cast<double>(used.cpuNs) / kNsPerSecond);
    Print("user_s", static_cast<double>(used.userNs) / kNsPerSecond);
    Print("system_s", static_cast<double>(used.systemNs) / kNsPerSecond);
    Print("cpu_pct", 100.0 * static_cast<double>(used.cpuNs) / static_cast<double>(endNs - startNs));
    Print("peak_rss_kib", static_cast<double>(used.peakRssKiB));

    // Per phase, and the final pause with the closing of the port after the
    // last phase (its CPU time from the process's total).
    boundaryNs.push_back(endNs);
    boundaryCpuNs.push_back(std::max(used.cpuNs, boundaryCpuNs.back()));
    for (std::size_t i = 0; i + 1 < boundaryNs.size(); ++i) {
        const std::string name = i < std::size(kPhases) ? kPhases[i].name : "final_pause";
        const double wall = static_cast<double>(boundaryNs[i + 1] - boundaryNs[i]);
        const double cpu = static_cast<double>(boundaryCpuNs[i + 1] - boundaryCpuNs[i]);
        Print("phase_" + name + "_wall_s", wall / kNsPerSecond);
        Print("phase_" + name + "_cpu_s", cpu / kNsPerSecond);
        Print("phase_" + name + "_pct", wall > 0 ? 100.0 * cpu / wall : 0.0);
    }

    // The bound: every byte each way at its line time, the pauses that the
    // line does not fill, and the simulator's own lateness on the echoes.
    const double updateBytes = static_cast<double>(FileSize(o.update));
    const bench::UpdateBound bound = bench::BoundOfUpdate(simJson, updateBytes, o.parentTag, o.lineTime);
    Print("line_ms", bound.lineMs);
    Print("sim_share_ms", bound.simShareMs);
    Print("bound_s", bound.boundMs / 1000.0);
    Print("wall_ratio", bound.boundMs > 0 ? wallS * 1000.0 / bound.boundMs : 0.0);

    const double toMs = 1.0 / bench::kNsPerMs;
    Print("turnarounds", JsonNumber(simJson, "turnarounds").value_or(0));
    Print("turn_median_ms", JsonNumber(simJson, "turnaround_median_ns").value_or(0) * toMs);
    Print("turn_p99_ms", JsonNumber(simJson, "turnaround_p99_ns").value_or(0) * toMs);
    Print("turn_max_ms", JsonNumber(simJson, "turnaround_max_ns").value_or(0) * toMs);

    // Streaming, from the update command's echo to its status, as the
    // simulator sent them; less the part of the hold-back the line does not
    // fill.
    if (const std::optional<double> streamMs = JsonNumber(simJson, "stream_ms")) {
        const double busyMs = std::max(*streamMs - bound.holdBackExtraMs, 1.0);
        Print("stream_s", *streamMs / 1000.0);
        Print("stream_Bps", updateBytes * 1000.0 / busyMs);
        Print("stream_pct", 100.0 * updateBytes * ByteTimeMs(kBootBaud) / busyMs);
    }
    return used.exitStatus == 0 && simUsed.exitStatus == 0 ? 0 : 1;
}
