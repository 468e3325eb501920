// fleet-meter: one updater-cli process updating many instrument-sim
// instruments at once, each on its own pseudo-terminal, and what it cost;
// one "key=value" a line for bench/run.sh:
//   how many instruments received both images byte-exact (the simulators'
//   verdicts), the wall time against the slowest instrument's bound, and
//   the updater's CPU time, overall and per instrument, and the summary
//   row of every instrument whose update did not succeed.
//
//   fleet-meter --sim PATH --cli PATH --ini FILE --kernel FILE --update FILE
//               --links DIR --instruments N

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/child_process.h"
#include "bench/sim_figures.h"
#include "engine/update_steps.h"

namespace {

using bench::ChildProcess;
using bench::kNsPerSecond;

constexpr auto kSimulatorsGrace = std::chrono::seconds(2);

struct Options {
    std::string sim, cli, ini, kernel, update, links;
    int instruments = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const std::string value = argv[i + 1];
        if (arg == "--sim") options.sim = value;
        else if (arg == "--cli") options.cli = value;
        else if (arg == "--ini") options.ini = value;
        else if (arg == "--kernel") options.kernel = value;
        else if (arg == "--update") options.update = value;
        else if (arg == "--links") options.links = value;
        else if (arg == "--instruments") options.instruments = std::atoi(value.c_str());
        else return false;
    }
    return argc % 2 == 1 && !options.sim.empty() && !options.cli.empty() && !options.ini.empty() &&
           !options.kernel.empty() && !options.update.empty() && !options.links.empty() && options.instruments > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "fleet-meter: --sim, --cli, --ini, --kernel, --update, --links and --instruments N "
                             "are needed\n");
        return 2;
    }
    std::vector<std::unique_ptr<ChildProcess>> sims;
    std::vector<std::string> cliArgs = {o.cli, "--ini", o.ini, "--yes", "--raw"};
    for (int i = 1; i <= o.instruments; ++i) {
        const std::string link = o.links + "/instrument" + std::to_string(i);
        sims.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            o.sim, "--link", link, "--kernel", o.kernel, "--update", o.update, "--json"}));
        if (!sims.back()->Started() || !bench::WaitForLink(link)) {
            std::fprintf(stderr, "fleet-meter: simulator %d did not start\n", i);
            return 1;
        }
        cliArgs.insert(cliArgs.end(), {"--device", link});
    }

    const std::uint64_t startNs = bench::SteadyNowNs();
    ChildProcess cli(cliArgs);
    if (!cli.Started()) {
        std::fprintf(stderr, "fleet-meter: updater-cli did not start\n");
        return 1;
    }
    // The summary table ends the output: a row per instrument.
    std::deque<std::string> summary;
    while (std::optional<std::string> line = cli.ReadLine()) {
        summary.push_back(*line);
        if (summary.size() > sims.size()) summary.pop_front();
    }
    const bench::ChildUsage used = cli.Wait();
    const std::uint64_t endNs = bench::SteadyNowNs();

    // A simulator ends its session half a second after the host's last
    // byte; one whose update failed midway would wait for a minute more.
    std::this_thread::sleep_for(kSimulatorsGrace);
    for (const std::unique_ptr<ChildProcess>& sim : sims) sim->Terminate();
    int exact = 0;
    double boundMs = 0;
    const double updateBytes = static_cast<double>(bench::FileSize(o.update));
    for (const std::unique_ptr<ChildProcess>& sim : sims) {
        const std::string json = sim->ReadAll();
        const bench::ChildUsage simUsed = sim->Wait();
        if (simUsed.exitStatus == 0 && bench::ImagesArrivedExact(json)) ++exact;
        boundMs = std::max(boundMs, bench::BoundOfUpdate(json, updateBytes, bench::kParentTag, true).boundMs);
    }

    const double wallNs = static_cast<double>(endNs - startNs);
    const double cpuPct = 100.0 * static_cast<double>(used.cpuNs) / wallNs;
    std::printf("instruments=%d\n", o.instruments);
    std::printf("byte_exact=%d\n", exact);
    std::printf("updater_exit=%d\n", used.exitStatus);
    for (const std::string& row : summary) {
        if (!row.ends_with(engine::kSuccessText)) std::printf("unsuccessful=%s\n", row.c_str());
    }
    std::printf("wall_s=%.6g\n", wallNs / kNsPerSecond);
    std::printf("bound_s=%.6g\n", boundMs / 1000.0);
    std::printf("wall_ratio=%.6g\n", boundMs > 0 ? wallNs / bench::kNsPerMs / boundMs : 0.0);
    std::printf("user_s=%.6g\n", static_cast<double>(used.userNs) / kNsPerSecond);
    std::printf("system_s=%.6g\n", static_cast<double>(used.systemNs) / kNsPerSecond);
    std::printf("cpu_pct=%.6g\n", cpuPct);
    std::printf("cpu_pct_per_instrument=%.6g\n", cpuPct / o.instruments);
    std::printf("peak_rss_kib=%ld\n", used.peakRssKiB);
    return used.exitStatus == 0 && exact == o.instruments ? 0 : 1;
}
