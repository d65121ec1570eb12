// The scene API log: "sceneapi.log" in the renderer's resource folder, one
// flushed line per statement, for what the live-link loader does.
//
// A statement
//     TAL_FILE_LOG(logWARNING) << "NO shared handle";
// writes, when its level is at most reportingLevel() (DEBUG4: everything) and
// the log file is open or can be opened,
//     vantrixlive_loader.cpp:234 - 14:03:07.042 WARNING:  NO shared handle
// : the source file's name after its last "/" or "\" (one in the first position
// does not count), ":", the line, " - ", NowTime(), " ", the level word, ":",
// two blanks, the message, a newline. The whole record goes out in one write
// and is flushed, so the file is complete up to the last statement.
//
// The file is opened at the first statement (installations of majors 5 to 20
// give the folder), replaced when it already holds 20 MiB or more, appended to
// otherwise, and stays open for the life of the process. When it cannot be
// opened, two lines go to the standard error stream and the statement is lost;
// the next statement tries again. With no installation at all there is no log:
// statements are skipped silently, nothing is written outside a resource folder.
//
// The time stamp is the local time of day, a point, and milliseconds counted
// from the first stamp modulo 1000 (not the wall clock's). Single-threaded use.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

namespace tal {

enum TLogLevel : int {
    logERROR = 0,
    logWARNING,
    logINFO,
    logDEBUG,
    logDEBUG1,
    logDEBUG2,
    logDEBUG3,
    logDEBUG4,
    logNONE
};

// A log that already holds this many bytes is started afresh when opened.
inline constexpr long long kLogReplaceSize = 20LL * 1024 * 1024;

const char* logLevelWord(int level);  // "ERROR" .. "NONE", "" outside 0..8
std::string NowTime();
void restartNowTime();  // the next stamp counts its milliseconds from 0

template <typename OutputPolicy>
class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    // Writes the record: the collected text and a newline. Never throws.
    virtual ~Log() {
        try {
            os << '\n';
            OutputPolicy::output(os.str());
        } catch (...) {
        }
    }

    std::ostringstream& startRecord(TLogLevel level, const char* sourceFile, int line) {
        std::string file = sourceFile != nullptr ? sourceFile : "";
        const std::size_t separator = file.find_last_of("\\/");
        if (separator != std::string::npos && separator > 0) file.erase(0, separator + 1);
        os << file << ':' << line << ' ' << "- " << NowTime() << ' ' << logLevelWord(level) << ": "
           << ' ';
        return os;
    }

    static TLogLevel reportingLevel() { return logDEBUG4; }

protected:
    std::ostringstream os;
};

class Output2FILE {
public:
    // The open log, opening it while it is not; null when it cannot be.
    static std::FILE* logFile();
    static void output(const std::string& record);
    // Closes the log so that the next statement opens it again (tests).
    static void closeLogFile();
};

class FILELog : public Log<Output2FILE> {};

}  // namespace tal

#define TAL_FILE_LOG_AT(level, sourceFile, line)                                                  \
    if ((level) > ::tal::FILELog::reportingLevel() || ::tal::Output2FILE::logFile() == nullptr) { \
    } else                                                                                        \
        ::tal::FILELog().startRecord((level), (sourceFile), (line))

#define TAL_FILE_LOG(level) TAL_FILE_LOG_AT(level, __FILE__, __LINE__)
