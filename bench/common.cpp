#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/bench.h"

extern char** environ;

namespace bench {
namespace {

std::vector<std::string> environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    std::vector<std::string> set = {"SDL_AUDIODRIVER=", "LC_ALL=C"};
    set.insert(set.end(), extra.begin(), extra.end());
    for (const std::string& entry : set) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
        if (entry != name) env.push_back(entry);
    }
    return env;
}

}  // namespace

void fail(const std::string& what) {
    std::fprintf(stderr, "quavelin_bench: %s\n", what.c_str());
    std::exit(1);
}

Child::Child(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& extra)
    : harness::Child(std::move(argv), dir, environment(extra)) {}

Clock::time_point Child::expect(const std::string& text, std::size_t from, seconds within) {
    if (auto at = waitFor(text, Clock::now() + within, from)) return *at;
    fail("no \"" + text + "\" in: " + output() + errors());
}

Clock::time_point Child::type(const std::string& line) {
    readSome(0);
    Clock::time_point at = Clock::now();
    if (!write(line)) fail("the player ended: " + errors());
    return at;
}

Usage Child::finish(milliseconds timeout) {
    closeInput();
    harness::Ended ended = wait(Clock::now() + timeout);
    const rusage& r = ended.resources;
    return {static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6,
            static_cast<double>(r.ru_maxrss) / 1024, ended.status};
}

void Tries::add(Clock::time_point from, std::optional<Clock::time_point> to) {
    if (to)
        ms.push_back(Ms(*to - from).count());
    else
        ++missed;
}

std::string Tries::text() const {
    std::string text =
        fixed(median(ms), 1) + " / " + fixed(ms.empty() ? 0 : *std::ranges::max_element(ms), 1);
    return missed == 0 ? text : text + " (" + std::to_string(missed) + " missed)";
}

bool Tries::within(double medianMs, double worstMs) const {
    return missed == 0 && !ms.empty() && median(ms) <= medianMs && *std::ranges::max_element(ms) <= worstMs;
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

}  // namespace bench
