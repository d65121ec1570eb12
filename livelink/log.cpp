#include "livelink/log.h"

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>

#include "livelink/live_services.h"
#include "platform/regular_file.h"

namespace tal {

namespace {

// The log is looked for in installations of these major versions.
constexpr int kMinVersion = 5;
constexpr int kMaxVersion = 20;

std::FILE* g_logFile = nullptr;

std::mutex g_startTickMutex;
std::optional<std::uint32_t> g_startTick;

}  // namespace

const char* logLevelWord(int level) {
    static const char* const words[] = {"ERROR",  "WARNING", "INFO",   "DEBUG", "DEBUG1",
                                        "DEBUG2", "DEBUG3",  "DEBUG4", "NONE"};
    return level >= 0 && level <= logNONE ? words[level] : "";
}

std::string NowTime() {
    const platform::Clock& clock = *liveServices().clock;
    const std::optional<platform::TimeOfDay> time = clock.localTimeOfDay();
    if (!time) return "Error in NowTime()";
    const std::uint32_t now = clock.tickCount();
    std::uint32_t start = 0;
    {
        std::lock_guard<std::mutex> lock(g_startTickMutex);
        if (!g_startTick) g_startTick = now;
        start = *g_startTick;
    }
    // Unsigned 32-bit difference: correct across the tick count's wrap.
    const long milliseconds = static_cast<long>((now - start) % 1000u);
    char text[200];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", time->hour, time->minute, time->second,
                  milliseconds);
    return text;
}

void restartNowTime() {
    std::lock_guard<std::mutex> lock(g_startTickMutex);
    g_startTick.reset();
}

std::FILE* Output2FILE::logFile() {
    if (g_logFile != nullptr) return g_logFile;
    const std::string folder =
        liveServices().installation->readResourceFolder(kMinVersion, kMaxVersion);
    // Without a resource folder there is nowhere the log belongs.
    if (folder.empty()) return nullptr;
    const std::string path = folder + "/sceneapi.log";
    // The folder comes from the registry: only a regular file is logged to,
    // and never after waiting on something else at that name.
    std::string error;
    g_logFile = platform::openRegularLog(path, static_cast<std::uint64_t>(kLogReplaceSize), error);
    if (g_logFile == nullptr) {
        std::fputs("could not open log file:\n", stderr);
        std::fprintf(stderr, "opening log: %s\n", error.c_str());
    }
    return g_logFile;
}

void Output2FILE::output(const std::string& record) {
    std::FILE* file = logFile();
    if (file == nullptr) return;
    std::fwrite(record.data(), 1, record.size(), file);
    std::fflush(file);
}

void Output2FILE::closeLogFile() {
    if (g_logFile != nullptr) std::fclose(g_logFile);
    g_logFile = nullptr;
}

}  // namespace tal
