// Runs the player (release build) and reference players on prepared media and prints every figure
// of the benchmark side by side, as medians of several runs, with its target.
//   quavelin_bench --media DIR --pulse SERVER --sink NAME --device-bench PROGRAM --copy-frames N
//                  [--reps N] [--seconds S] [--tries N] [--markdown FILE]
// DIR is prepared by bench/run; SERVER is the private PulseAudio server whose null sink NAME
// our player and the reference players all play to; PROGRAM is the sound backend's own driver
// (bench/sound), which plays one file through the device alone and times track changes; N is the
// decoded length of one copy in the 1 GB file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/player/child.h"
#include "bench/player/latency.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;
using Ms = std::chrono::duration<double, std::milli>;

struct Options {
    std::string media;
    std::string pulse;
    std::string sink;
    std::string deviceBench;  // the sound backend's driver: play FILE | change A B COUNT
    long copyFrames = 0;
    int reps = 3;
    int tries = 10;
    double seconds = 60;
    std::string markdown;
};

const std::string kDirPrompt = "Please type to new Directory~$ ";
const std::string kPrompt = "Quavelin~ ";
// A word that is no command: reading it makes the player show what it has printed so far.
const std::string kNothing = "x\n";

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double maxOf(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::vector<std::string> quietEnv(const std::string& driver) {
    return playerEnvironment({"LC_ALL=C", "SDL_AUDIODRIVER=" + driver});
}

// The player picks its own output for the server.
std::vector<std::string> pulseEnv(const Options& o) {
    return playerEnvironment({"LC_ALL=C", "PULSE_SERVER=" + o.pulse});
}

std::vector<std::string> diskEnv(const std::string& file) {
    return playerEnvironment({"LC_ALL=C", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file});
}

void fail(const std::string& what) {
    std::fprintf(stderr, "quavelin_bench: %s\n", what.c_str());
    std::exit(1);
}

// Watches SDL's disk output for the first sample that is not silence. The file holds the output
// format: 32-bit float samples. A decoded silent MP3 is not all zeros, so anything below -40 dB
// counts as silence.
class SoundWatch {
public:
    explicit SoundWatch(std::string path) : path_(std::move(path)) {}
    ~SoundWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    SoundWatch(const SoundWatch&) = delete;
    SoundWatch& operator=(const SoundWatch&) = delete;

    // True once sound has come out; reads what was written since the last call.
    bool heard() {
        if (heard_) return true;
        if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        for (;;) {
            ssize_t n = fd_ < 0 ? 0 : ::pread(fd_, chunk_.data(), sizeof chunk_, offset_);
            std::size_t samples = n > 0 ? static_cast<std::size_t>(n) / sizeof(float) : 0;
            if (samples == 0) return false;
            auto end = chunk_.begin() + static_cast<std::ptrdiff_t>(samples);
            if (std::any_of(chunk_.begin(), end, [](float x) { return x > 0.01f || x < -0.01f; }))
                return heard_ = true;
            offset_ += static_cast<off_t>(samples * sizeof(float));
        }
    }

private:
    std::string path_;
    int fd_ = -1;
    off_t offset_ = 0;
    bool heard_ = false;
    std::array<float, 16384> chunk_{};
};

// The moment sound first comes out, or nothing by the deadline.
std::optional<Clock::time_point> firstSound(const std::string& path, Clock::time_point deadline) {
    SoundWatch watch(path);
    while (Clock::now() < deadline) {
        if (watch.heard()) return Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::nullopt;
}

// ---- 1 and 5: real-time playback ----------------------------------------------------------------

struct Played {
    Usage usage;
    double mainThreadMs = 0;    // the player's own thread (the poll loop) while the track played
    double otherThreadsMs = 0;  // the sound library's threads over the same time
    std::string errors;
};

std::map<pid_t, std::int64_t> cpuByThread(pid_t pid) {
    std::map<pid_t, std::int64_t> ns;
    for (pid_t tid : threadsOf(pid)) ns[tid] = threadCpuNs(pid, tid);
    return ns;
}

// The player: a directory typed, then nothing until the track has played; then "exit".
Played playWithPlayer(const Options& o, const std::string& dir) {
    Child player({QUAVELIN_BINARY}, o.media, pulseEnv(o));
    if (!player.waitFor(kDirPrompt, Clock::now() + std::chrono::seconds(10)))
        fail("the player did not start");
    player.write(dir + "\n" + kNothing);
    auto started = player.waitFor(kPrompt, Clock::now() + std::chrono::seconds(10));
    if (!started) fail("the player did not start the track");
    auto before = cpuByThread(player.pid());
    std::this_thread::sleep_until(*started + std::chrono::duration<double>(o.seconds + 0.5));
    auto after = cpuByThread(player.pid());
    Played played;
    for (const auto& [tid, ns] : after) {
        double ms = static_cast<double>(ns - (before.count(tid) ? before[tid] : 0)) / 1e6;
        (tid == player.pid() ? played.mainThreadMs : played.otherThreadsMs) += ms;
    }
    player.write("exit\n");
    played.usage = player.finish(std::chrono::seconds(10));
    played.errors = player.errors();
    return played;
}

Played playWith(const Options& o, const std::vector<std::string>& argv) {
    Child child(argv, o.media, pulseEnv(o));
    Played played;
    played.usage = child.finish(std::chrono::milliseconds(static_cast<int>(o.seconds * 1000) + 30'000));
    played.errors = child.errors();
    return played;
}

// ---- 2: start-up and first audio ------------------------------------------------------------------

std::vector<double> startupToPrompt(const Options& o, int runs) {
    std::vector<double> ms;
    for (int k = 0; k < runs; ++k) {
        Child player({QUAVELIN_BINARY}, o.media, quietEnv("dummy"));
        auto shown = player.waitFor(kDirPrompt, Clock::now() + std::chrono::seconds(10));
        if (!shown) fail("no first prompt");
        ms.push_back(Ms(*shown - player.started()).count());
        player.finish(std::chrono::seconds(5));
    }
    return ms;
}

std::vector<double> directoryToFirstAudio(const Options& o, const std::string& dir, int runs) {
    std::vector<double> ms;
    const std::string disk = o.media + "/disk-output.raw";
    for (int k = 0; k < runs; ++k) {
        fs::remove(disk);
        Child player({QUAVELIN_BINARY}, o.media, diskEnv(disk));
        if (!player.waitFor(kDirPrompt, Clock::now() + std::chrono::seconds(10))) fail("no first prompt");
        auto typed = Clock::now();
        player.write(dir + "\n");
        auto heard = firstSound(disk, typed + std::chrono::seconds(10));
        if (!heard) fail("no audio after entering " + dir);
        ms.push_back(Ms(*heard - typed).count());
        player.write("exit\n");
        player.finish(std::chrono::seconds(5));
    }
    fs::remove(disk);
    return ms;
}

// ---- 3: directory scan and listing -----------------------------------------------------------------

// Entries are made once and kept between runs of the benchmark.
void makeDirectory(const std::string& path, int entries, int mp3s) {
    const std::string done = path + "/.complete";
    if (fs::exists(done)) return;
    fs::remove_all(path);
    fs::create_directories(path);
    char name[64];
    for (int k = 0; k < entries; ++k) {
        // Created in an order unlike the sorted one.
        int n = static_cast<int>((static_cast<long>(k) * 7919) % entries);
        if (n < mp3s)
            std::snprintf(name, sizeof name, "/track %06d.mp3", n);
        else
            std::snprintf(name, sizeof name, "/other %06d.txt", n);
        int fd = ::open((path + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) fail("can't create " + path + name);
        ::close(fd);
    }
    std::ofstream(done).flush();
}

struct Scanned {
    std::vector<double> ms;
    std::vector<double> maxRssKb;
};

Scanned scanAndList(const Options& o, const std::string& dir, int runs) {
    Scanned s;
    for (int k = 0; k < runs; ++k) {
        Child player({QUAVELIN_BINARY}, o.media, quietEnv("dummy"));
        if (!player.waitFor(kDirPrompt, Clock::now() + std::chrono::seconds(10))) fail("no first prompt");
        auto typed = Clock::now();
        std::size_t from = player.output().size();
        player.write(dir + "\n" + kNothing);
        auto listed = player.waitFor(kPrompt, Clock::now() + std::chrono::seconds(30), from);
        if (!listed) fail("no listing of " + dir);
        s.ms.push_back(Ms(*listed - typed).count());
        player.write("exit\n");
        s.maxRssKb.push_back(static_cast<double>(player.finish(std::chrono::seconds(5)).maxRssKb));
    }
    return s;
}

// ---- 4: track change --------------------------------------------------------------------------

// close + open + play + length on the device alone, in the sound backend's own driver, while a
// plays: its median and longest time in milliseconds.
std::pair<double, double> deviceChange(const Options& o, const std::string& dir, int runs) {
    Child driver({o.deviceBench, "change", "a.mp3", "b.mp3", std::to_string(runs)}, o.media + "/" + dir,
                 quietEnv("dummy"));
    Usage usage = driver.finish(std::chrono::seconds(60));
    std::istringstream figures(driver.output());
    double middle = 0, longest = 0;
    if (usage.status != 0 || !(figures >> middle >> longest)) fail("the backend's driver failed in " + dir);
    return {middle, longest};
}

// ---- The table ------------------------------------------------------------------------------------

struct Row {
    std::string measure;
    std::string ours;
    std::string reference;
    std::string ratio;
    std::string target;
    std::string met;  // "yes", "NO" or empty
};

std::string format(const char* fmt, double value) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

std::string verdict(bool met) { return met ? "yes" : "NO"; }

void printTable(const std::vector<Row>& rows, const Options& o) {
    std::array<std::size_t, 6> width{7, 4, 9, 5, 6, 3};
    auto cells = [](const Row& r) {
        return std::array<std::string, 6>{r.measure, r.ours, r.reference, r.ratio, r.target, r.met};
    };
    for (const Row& r : rows) {
        auto c = cells(r);
        for (std::size_t k = 0; k < c.size(); ++k) width[k] = std::max(width[k], c[k].size());
    }
    auto line = [&](const std::array<std::string, 6>& c) {
        std::string text;
        for (std::size_t k = 0; k < c.size(); ++k) {
            text += c[k] + std::string(width[k] - c[k].size(), ' ');
            if (k + 1 < c.size()) text += "  ";
        }
        std::printf("%s\n", text.c_str());
    };
    std::printf("\n");
    line({"Measure", "ours", "reference", "ratio", "target", "met"});
    for (const Row& r : rows) line(cells(r));

    if (o.markdown.empty()) return;
    std::ofstream md(o.markdown);
    md << "| Measure | quavelin | reference | ratio | target | met |\n|---|---|---|---|---|---|\n";
    for (const Row& r : rows)
        md << "| " << r.measure << " | " << r.ours << " | " << r.reference << " | " << r.ratio << " | "
           << r.target << " | " << r.met << " |\n";
}

void progress(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
    std::fflush(stderr);
}

// ---- 6: typed command -> answered and heard ------------------------------------------------------

std::string timesOf(const Tries& t) {
    std::string text = format("%.1f", median(t.ms)) + " / " + format("%.1f", maxOf(t.ms));
    if (t.missed > 0) text += " (" + std::to_string(t.missed) + " missed)";
    return text;
}

bool within(const Tries& t, double medianMs, double worstMs) {
    return t.missed == 0 && !t.ms.empty() && median(t.ms) <= medianMs && maxOf(t.ms) <= worstMs;
}

void latencyRows(const Options& o, std::vector<Row>& rows) {
    Monitor monitor(o.pulse, o.sink + ".monitor");
    LatencySetup setup{o.media, o.pulse, o.sink, o.tries, &monitor};
    progress("6: the method's own delay (pacat)");
    Calibration method = calibrate(setup);
    std::fprintf(stderr, "bench:   onset %s, end %s\n", timesOf(method.onset).c_str(),
                 timesOf(method.end).c_str());
    progress("6: typed commands, the player");
    PlayerLatency ours = playerLatency(setup);
    std::fprintf(stderr, "bench:   time %s, pause %s, rel %s, n %s, f %s, d %s\n",
                 timesOf(ours.answer).c_str(), timesOf(ours.pause).c_str(), timesOf(ours.resume).c_str(),
                 timesOf(ours.next).c_str(), timesOf(ours.forward).c_str(), timesOf(ours.back).c_str());
    progress("6: typed commands, mpg123 -R");
    ReferenceLatency theirs = referenceLatency(setup);
    std::fprintf(stderr, "bench:   PAUSE %s, PAUSE again %s, LOAD %s\n", timesOf(theirs.pause).c_str(),
                 timesOf(theirs.resume).c_str(), timesOf(theirs.next).c_str());
    progress("6: jump, f and d on the 1 GB file");
    BigFileLatency big = bigFileLatency(setup, o.copyFrames);

    const std::string heard = "<= 50 / <= 100";
    auto add = [&](const std::string& measure, const Tries& t, const std::string& reference,
                   const std::string& target, bool met) {
        rows.push_back({measure, timesOf(t), reference, "", target, verdict(met)});
    };
    rows.push_back({"method: pacat (5 ms) write -> onset at the monitor, ms", timesOf(method.onset), "", "",
                    "its own error", ""});
    rows.push_back({"method: end of a 100 ms tone -> silence heard, ms", timesOf(method.end), "", "",
                    "its own error", ""});
    add("time typed -> first byte of its answer, ms", ours.answer, "", "<= 10 / <= 20",
        within(ours.answer, 10, 20));
    add("pause typed -> monitor silent, ms", ours.pause, "mpg123 -R PAUSE " + timesOf(theirs.pause), heard,
        within(ours.pause, 50, 100));
    add("rel typed -> sound again, ms", ours.resume, "PAUSE again " + timesOf(theirs.resume), heard,
        within(ours.resume, 50, 100));
    add("n typed -> next track's first sound, ms", ours.next, "LOAD " + timesOf(theirs.next), heard,
        within(ours.next, 50, 100));
    add("f typed -> the sound 10 s on, ms", ours.forward, "", heard, within(ours.forward, 50, 100));
    add("d typed -> the sound 10 s back, ms", ours.back, "", heard, within(ours.back, 50, 100));
    add("1 GB MP3: jump typed -> the sound there, ms", big.jump, "", "<= 50 median",
        within(big.jump, 50, 1e9));
    add("1 GB MP3: f typed -> the sound where it lands, ms", big.forward, "", "<= 50 median",
        within(big.forward, 50, 1e9));
    add("1 GB MP3: d typed -> the sound where it lands, ms", big.back, "", "<= 50 median",
        within(big.back, 50, 1e9));
    rows.push_back({"the player's output stream (media.name)", ours.stream, "", "", "", ""});
}

Options parse(int argc, char** argv) {
    Options o;
    const std::map<std::string, std::function<void(const std::string&)>> setters = {
        {"--media", [&](const std::string& v) { o.media = v; }},
        {"--pulse", [&](const std::string& v) { o.pulse = v; }},
        {"--sink", [&](const std::string& v) { o.sink = v; }},
        {"--device-bench", [&](const std::string& v) { o.deviceBench = v; }},
        {"--copy-frames", [&](const std::string& v) { o.copyFrames = std::atol(v.c_str()); }},
        {"--tries", [&](const std::string& v) { o.tries = std::max(10, std::atoi(v.c_str())); }},
        {"--reps", [&](const std::string& v) { o.reps = std::max(1, std::atoi(v.c_str())); }},
        {"--seconds", [&](const std::string& v) { o.seconds = std::atof(v.c_str()); }},
        {"--markdown", [&](const std::string& v) { o.markdown = v; }},
    };
    for (int k = 1; k + 1 < argc; k += 2) {
        auto setter = setters.find(argv[k]);
        if (setter == setters.end()) fail(std::string("unknown option ") + argv[k]);
        setter->second(argv[k + 1]);
    }
    if (o.media.empty() || o.pulse.empty() || o.sink.empty() || o.deviceBench.empty() || o.copyFrames <= 0)
        fail(
            "usage: quavelin_bench --media DIR --pulse SERVER --sink NAME --device-bench PROGRAM"
            " --copy-frames N [--reps N] [--seconds S] [--tries N] [--markdown FILE]");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    std::vector<Row> rows;

    // 1 and 5. Each repetition plays the same files at once in every player, all to the one sink.
    progress("1, 5: real-time playback, ours against mpg123 and paplay on a PulseAudio null sink");
    std::vector<double> cpuPlayer, rssPlayer, cpuMpg123, rssMpg123, cpuDeviceMp3, rssDeviceMp3;
    std::vector<double> cpuDeviceWav, rssDeviceWav, cpuPaplay, rssPaplay, mainMs, audioMs;
    for (int rep = 0; rep < o.reps; ++rep) {
        std::array<Played, 5> results;
        std::vector<std::thread> runs;
        runs.emplace_back([&] { results[0] = playWithPlayer(o, "play"); });
        runs.emplace_back([&] {
            results[1] = playWith(o, {"mpg123", "-q", "-o", "pulse", "play/music.mp3"});
        });
        runs.emplace_back([&] { results[2] = playWith(o, {o.deviceBench, "play", "play/music.mp3"}); });
        runs.emplace_back([&] { results[3] = playWith(o, {o.deviceBench, "play", "music.wav"}); });
        runs.emplace_back([&] { results[4] = playWith(o, {"paplay", "music.wav"}); });
        for (std::thread& t : runs) t.join();
        for (const Played& p : results)
            if (!p.errors.empty()) std::fprintf(stderr, "bench: a player said: %s", p.errors.c_str());
        cpuPlayer.push_back(results[0].usage.cpuSeconds);
        rssPlayer.push_back(static_cast<double>(results[0].usage.maxRssKb));
        mainMs.push_back(results[0].mainThreadMs);
        audioMs.push_back(results[0].otherThreadsMs);
        cpuMpg123.push_back(results[1].usage.cpuSeconds);
        rssMpg123.push_back(static_cast<double>(results[1].usage.maxRssKb));
        cpuDeviceMp3.push_back(results[2].usage.cpuSeconds);
        rssDeviceMp3.push_back(static_cast<double>(results[2].usage.maxRssKb));
        cpuDeviceWav.push_back(results[3].usage.cpuSeconds);
        rssDeviceWav.push_back(static_cast<double>(results[3].usage.maxRssKb));
        cpuPaplay.push_back(results[4].usage.cpuSeconds);
        rssPaplay.push_back(static_cast<double>(results[4].usage.maxRssKb));
        std::fprintf(stderr, "bench:   run %d of %d: player %.3f s, mpg123 %.3f s\n", rep + 1, o.reps,
                     cpuPlayer.back(), cpuMpg123.back());
    }
    auto compare = [&](const std::string& measure, const std::vector<double>& ours,
                       const std::vector<double>& ref, const std::string& refName, double scale,
                       const char* fmt, double target) {
        double a = median(ours) * scale, b = median(ref) * scale;
        double ratio = b > 0 ? a / b : 0;
        rows.push_back({measure, format(fmt, a), refName + " " + format(fmt, b), format("%.2f", ratio),
                        "<= " + format("%.1f", target), verdict(ratio <= target)});
    };
    std::string len = format("%.0f", o.seconds);
    compare("CPU s, " + len + " s MP3, player", cpuPlayer, cpuMpg123, "mpg123", 1, "%.3f", 0.5);
    compare("peak RSS MB, MP3, player", rssPlayer, rssMpg123, "mpg123", 1.0 / 1024, "%.1f", 1.2);
    compare("CPU s, " + len + " s MP3, device alone", cpuDeviceMp3, cpuMpg123, "mpg123", 1, "%.3f", 0.5);
    compare("peak RSS MB, MP3, device alone", rssDeviceMp3, rssMpg123, "mpg123", 1.0 / 1024, "%.1f", 1.2);
    compare("CPU s, " + len + " s WAV, device alone", cpuDeviceWav, cpuPaplay, "paplay", 1, "%.3f", 1.0);
    compare("peak RSS MB, WAV, device alone", rssDeviceWav, rssPaplay, "paplay", 1.0 / 1024, "%.1f", 1.5);

    progress("2: start-up");
    std::vector<double> startup = startupToPrompt(o, 30);
    rows.push_back({"start -> first prompt, ms (median / max)",
                    format("%.1f", median(startup)) + " / " + format("%.1f", maxOf(startup)), "", "", "< 10",
                    verdict(median(startup) < 10)});
    std::vector<double> firstAudio = directoryToFirstAudio(o, "tone", 10);
    rows.push_back({"directory typed -> first audio, ms",
                    format("%.1f", median(firstAudio)) + " / " + format("%.1f", maxOf(firstAudio)), "", "",
                    "< 50", verdict(median(firstAudio) < 50)});

    progress("3: directory scan and listing");
    makeDirectory(o.media + "/huge", 100'000, 60'000);
    makeDirectory(o.media + "/small", 100, 60);
    Scanned huge = scanAndList(o, "huge", 7);
    Scanned small = scanAndList(o, "small", 7);
    rows.push_back({"scan + list 100000 entries (60000 MP3), ms",
                    format("%.1f", median(huge.ms)) + " / " + format("%.1f", maxOf(huge.ms)),
                    "100 entries " + format("%.1f", median(small.ms)), "", "< 150",
                    verdict(median(huge.ms) < 150)});
    rows.push_back({"peak RSS MB, 100000 entries", format("%.1f", median(huge.maxRssKb) / 1024),
                    "100 entries " + format("%.1f", median(small.maxRssKb) / 1024),
                    format("%.2f", median(huge.maxRssKb) / median(small.maxRssKb)), "no growth",
                    verdict(median(huge.maxRssKb) <= median(small.maxRssKb) * 1.02)});

    progress("4: track change on the device alone");
    auto [change, changeLongest] = deviceChange(o, "change", 20);
    auto [changeBig, changeBigLongest] = deviceChange(o, "bigchange", 20);
    rows.push_back({"close + open + play, small MP3, ms",
                    format("%.2f", change) + " / " + format("%.2f", changeLongest), "", "", "< 20",
                    verdict(changeLongest < 20)});
    rows.push_back({"close + open + play, 10 MB MP3, ms",
                    format("%.2f", changeBig) + " / " + format("%.2f", changeBigLongest), "", "", "< 20",
                    verdict(changeBigLongest < 20)});

    rows.push_back({"idle: player thread CPU over " + len + " s playback, ms", format("%.1f", median(mainMs)),
                    "audio threads " + format("%.0f", median(audioMs)), "", "near 0",
                    verdict(median(mainMs) < 0.001 * o.seconds * 1000)});

    latencyRows(o, rows);
    printTable(rows, o);
    return 0;
}
