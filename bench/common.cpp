// The benchmark's driver, quavelin_bench MEDIA REPS SECONDS TRIES, and what its parts share: it runs
// the player and mpg123 on bench/run's media and prints the figures beside their targets.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/bench.h"

extern char** environ;

namespace bench {

void fail(const std::string& what) {
    std::fprintf(stderr, "quavelin_bench: %s\n", what.c_str());
    std::exit(1);
}

Child::Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& extra)
    : harness::Child(std::move(argv), dir, [&] {
          std::vector<std::string> env(extra);
          for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
          return env;
      }()) {}

Clock::time_point Child::expect(const std::string& text, std::size_t from) {
    if (auto at = waitFor(text, Clock::now() + seconds(60), from)) return *at;
    fail("no \"" + text + "\" in: " + output() + errors());
}

Clock::time_point Child::type(const std::string& line) {
    readSome(0);
    Clock::time_point at = Clock::now();
    if (!write(line)) fail("the player ended: " + errors());
    return at;
}

std::tuple<double, double, int> Child::finish(milliseconds timeout) {
    closeInput();
    harness::Ended ended = wait(Clock::now() + timeout);
    const rusage& r = ended.resources;
    return {static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6,
            static_cast<double>(r.ru_maxrss) / 1024, ended.status};
}

void Tries::add(Clock::time_point from, std::optional<Clock::time_point> to) {
    if (!to) return void(++missed);
    ms.push_back(std::chrono::duration<double, std::milli>(*to - from).count());
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::ranges::sort(values);
    std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string verdict(bool met) { return met ? "yes" : "NO"; }

std::string text(const Tries& tries) {
    double worst = tries.ms.empty() ? 0 : *std::ranges::max_element(tries.ms);
    std::string text = fixed(median(tries.ms), 1) + " / " + fixed(worst, 1);
    return tries.missed == 0 ? text : text + " (" + std::to_string(tries.missed) + " missed)";
}

void addTimes(Table& table, const std::string& measure, const Tries& tries, double medianMs, double worstMs,
              const std::string& reference) {
    if (medianMs == 0) return table.push_back({measure, text(tries), reference, "", "", ""});
    bool met = tries.missed == 0 && !tries.ms.empty() && median(tries.ms) <= medianMs &&
               (worstMs == 0 || *std::ranges::max_element(tries.ms) <= worstMs);
    std::string target =
        "<= " + fixed(medianMs, 0) + (worstMs == 0 ? " median" : " / <= " + fixed(worstMs, 0));
    table.push_back({measure, text(tries), reference, "", target, verdict(met)});
}

}  // namespace bench

int main(int argc, char** argv) {
    using namespace bench;
    if (argc != 5) fail("usage: quavelin_bench MEDIA REPS SECONDS TRIES");
    Setup setup{argv[1], std::max(1, std::atoi(argv[2])), std::atof(argv[3]),
                std::max(1, std::atoi(argv[4]))};
    Table table;
    playbackRows(setup, table);
    latencyRows(setup, table);
    soundRows(setup, table);
    std::printf("| Measure | quavelin | reference | ratio | target | met |\n|---|---|---|---|---|---|\n");
    for (const Row& r : table)
        std::printf("| %s | %s | %s | %s | %s | %s |\n", r.measure.c_str(), r.ours.c_str(),
                    r.reference.c_str(), r.ratio.c_str(), r.target.c_str(), r.met.c_str());
}
