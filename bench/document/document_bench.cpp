// Exports a document file of a generated grid of N x N quads (default 1000 x
// 1000: 1,000,000 quads with uvs and a phong tag, bench/mesh/grid_document.h)
// with vxhost, and compares it with reading the file's bytes from the page
// cache. The file is written by the document writer into a fresh folder in
// $TMPDIR (default /tmp).
//
//   document_bench [side] [repeats] [older-vxhost]     defaults 1000, 3, none
//
// Each round, in this order: the file's bytes read from the page cache (read
// in 1 MiB pieces into one buffer, and read whole into fresh pages as the
// loader does; wall and processor time), nlohmann's parser alone over the text in memory (accept:
// its lexer and grammar, no values kept), the document loaded in this process (time and peak memory
// above the resident size before it, VmHWM reset through /proc/self/clear_refs), then `vxhost
// export FILE -o SCENE` as a child process (time and its peak resident size, from wait4) with this
// build's vxhost and, when given, an older one, alternately, so that both meet the same load. Their
// scene files are compared byte for byte.
//
// Reported: best and median of each (the best is the figure to compare; the
// machine is shared; the exports' processor time is the steadier figure when
// it is busy), the ratio export / read, the grid's host model (the
// resident growth while it was built) and the export's peak against the
// target of 1.5 x the model plus the file's size.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/mesh/grid_document.h"
#include "host/document_loader.h"
#include "host/document_text.h"
#include "host/document_writer.h"
#include "tests/platform/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when unknown.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return 0;
}

void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

double mib(long kib) { return static_cast<double>(kib) / 1024.0; }

struct Times {
    std::vector<double> seconds;
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        const std::size_t n = s.size();
        return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
};

// Seconds to read the file in 1 MiB pieces into one buffer.
double readInPieces(const std::string& path) {
    std::vector<char> buffer(std::size_t{1} << 20);
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return since(start);
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto secs = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return secs(usage.ru_utime) + secs(usage.ru_stime);
}

struct Run {
    double seconds = -1;
    double cpu = 0;  // user + system seconds
    long peakKiB = 0;
};

// `exe export document -o scene`, its output discarded; seconds -1 on failure.
Run exportWith(const std::string& exe, const std::string& document, const std::string& scene) {
    std::remove(scene.c_str());
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(exe.c_str(), exe.c_str(), "export", document.c_str(), "-o", scene.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return {};
    Run run;
    run.peakKiB = usage.ru_maxrss;
    const auto secs = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    run.cpu = secs(usage.ru_utime) + secs(usage.ru_stime);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.seconds = since(start);
    return run;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

void report(const char* what, const Times& t, double bytes, const char* note = "") {
    std::printf("%-30s %7.3f s (%7.3f)  %6.0f MB/s  %s\n", what, t.best(), t.median(),
                bytes / t.best() / 1e6, note);
}

struct Results {
    Times pieces, piecesCpu, whole, wholeCpu, accept, load, loadCpu, fresh, freshCpu, old, oldCpu;
    long loadPeakKiB = 0, freshPeakKiB = 0, oldPeakKiB = 0;
    bool same = true;
};

// Wall and processor seconds of `work`.
template <class Work>
void timed(Times& wall, Times& processor, Work work) {
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    work();
    wall.seconds.push_back(since(start));
    processor.seconds.push_back(cpuSeconds() - cpu);
}

void round(Results& r, const std::string& document, const std::string& folder,
           const std::string& older) {
    timed(r.pieces, r.piecesCpu, [&] { readInPieces(document); });
    {
        host::loader::DocumentText text;
        std::string error;
        timed(r.whole, r.wholeCpu, [&] { text.read(document, error); });
        Times ignored;
        timed(r.accept, ignored, [&] {
            if (!nlohmann::json::accept(text.view())) std::printf("the document is not JSON\n");
        });
    }
    ::malloc_trim(0);  // what earlier rounds freed would hide the load's growth
    resetPeak();
    const long base = statusKiB("VmRSS");
    timed(r.load, r.loadCpu, [&] { host::LoadDocumentFile(document); });
    r.loadPeakKiB = std::max(r.loadPeakKiB, statusKiB("VmHWM") - base);

    const Run now = exportWith(VXHOST_EXE, document, folder + "/fresh.vxs");
    r.fresh.seconds.push_back(now.seconds);
    r.freshCpu.seconds.push_back(now.cpu);
    r.freshPeakKiB = std::max(r.freshPeakKiB, now.peakKiB);
    if (older.empty()) return;
    const Run then = exportWith(older, document, folder + "/old.vxs");
    r.old.seconds.push_back(then.seconds);
    r.oldCpu.seconds.push_back(then.cpu);
    r.oldPeakKiB = std::max(r.oldPeakKiB, then.peakKiB);
    r.same = r.same && contents(folder + "/fresh.vxs") == contents(folder + "/old.vxs");
}

void print(const Results& r, double bytes, long modelKiB, bool older) {
    report("read, 1 MiB pieces", r.pieces, bytes, "the page cache's pace");
    report("  its processor time", r.piecesCpu, bytes);
    report("read whole into fresh pages", r.whole, bytes, "as the loader reads it");
    report("  its processor time", r.wholeCpu, bytes);
    report("nlohmann accept (no values)", r.accept, bytes);
    report("load in process", r.load, bytes);
    report("  its processor time", r.loadCpu, bytes);
    report("vxhost export", r.fresh, bytes);
    report("  its processor time", r.freshCpu, bytes, "user + system");
    std::printf("  export / read in pieces      %.2f   (target <= 4)\n",
                r.fresh.best() / r.pieces.best());
    std::printf("  export / read whole          %.2f\n", r.fresh.best() / r.whole.best());
    std::printf("  in processor time: export / read in pieces %.2f, / read whole %.2f\n",
                r.freshCpu.best() / r.piecesCpu.best(), r.freshCpu.best() / r.wholeCpu.best());
    const double budget = 1.5 * static_cast<double>(modelKiB) + bytes / 1024.0;
    std::printf("load peak memory               %.1f MiB above the process before it\n",
                mib(r.loadPeakKiB));
    std::printf("vxhost export peak memory      %.1f MiB   (target <= 1.5 x model + file = %.1f)\n",
                mib(r.freshPeakKiB), budget / 1024.0);
    if (!older) return;
    report("older vxhost export", r.old, bytes);
    report("  its processor time", r.oldCpu, bytes, "user + system");
    std::printf("older vxhost export peak       %.1f MiB\n", mib(r.oldPeakKiB));
    std::printf("scene files identical          %s\n", r.same ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
    const int side = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string older = argc > 3 ? argv[3] : "";
    const testfiles::TempDir scratch("vx-document-bench");
    const std::string documentPath = scratch / "grid.json";
    const std::string loadBefore = loadAverage();

    long modelKiB = 0;
    {
        const long before = statusKiB("VmRSS");
        const std::unique_ptr<host::BaseDocument> grid = bench::makeGrid(side);
        modelKiB = statusKiB("VmRSS") - before;
        host::WriteDocumentFile(*grid, documentPath);
    }
    const double bytes = static_cast<double>(contents(documentPath).size());
    Results results;
    for (int r = 0; r < repeats; ++r) round(results, documentPath, scratch.path(), older);

    std::printf("grid                           %d x %d quads, UVW tag, phong tag\n", side, side);
    std::printf("document file                  %.1f MB\n", bytes / 1e6);
    std::printf("host model of the grid         %.1f MiB\n", mib(modelKiB));
    std::printf("load average                   %s before, %s after\n", loadBefore.c_str(),
                loadAverage().c_str());
    std::printf("times                          best of %d (median)\n", repeats);
    print(results, bytes, modelKiB, !older.empty());
    return 0;
}
