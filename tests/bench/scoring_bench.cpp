// Times proxy candidate scoring on a synthetic busy machine: 5,000 listeners, 100,000 TCP rows and
// 2,000 processes, with probes that answer at once, so only the scoring itself is measured. The same
// machine at half and at double size shows whether the cost grows in step with the input.
// Touches no network: the probes are stand-ins.
#include "parallel/progress.h"
#include "synthetic_machine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace wirelux;
using bench::BusyMachine;

constexpr int kRounds = 7;

double time_once(const BusyMachine& m, std::size_t& candidates) {
    const ScoringInputs inputs = bench::instant_scoring_inputs(m);
    const auto start = std::chrono::steady_clock::now();
    const ProxyAssessmentLists lists = assess_proxy_candidates(m.snapshot, inputs);
    const auto stop = std::chrono::steady_clock::now();
    candidates = lists.candidates.size();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

void run(const char* label, std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    const BusyMachine m = bench::busy_machine(listeners, rows, processes);
    std::vector<double> times;
    std::size_t candidates = 0;
    for (int round = 0; round < kRounds; ++round)
        times.push_back(time_once(m, candidates));
    std::sort(times.begin(), times.end());
    std::printf(
        "%-7s %6zu listeners %7zu rows %5u processes: median %8.1f ms  best %8.1f ms  (%zu candidates)\n",
        label, listeners, rows, processes, times[times.size() / 2], times.front(), candidates);
}

} // namespace

int main() {
    progress_init(false);
    run("half", 2500, 50000, 1000);
    run("target", 5000, 100000, 2000);
    run("double", 10000, 200000, 4000);
    return 0;
}
