#include "platform/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace platform {

namespace {

constexpr int kBarCells = 30;
constexpr double kReadStep = 1.0 / 1024;  // a fraction moved this far reads the clock
constexpr unsigned kReadStride = 256;     // so does every this many-th update
constexpr long kMaxDelayMs = 3600L * 1000;

// The newest live enabled bar; each bar keeps the one it hides.
ProgressBar* gNewest = nullptr;

std::size_t columnsOf(std::FILE* out) {
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// `text` cut to at most `bytes` bytes, never inside a UTF-8 sequence.
std::string cut(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

std::chrono::milliseconds progressDelay() {
    const char* text = std::getenv("VX_PROGRESS_DELAY_MS");
    if (text && *text) {
        char* end = nullptr;
        const long ms = std::strtol(text, &end, 10);
        if (*end == '\0' && ms >= 0) return std::chrono::milliseconds(std::min(ms, kMaxDelayMs));
    }
    return std::chrono::seconds(1);
}

bool isTerminal(std::FILE* stream) { return stream != nullptr && ::isatty(::fileno(stream)) == 1; }

ProgressBar::ProgressBar(std::FILE* out, bool enabled, std::string label, Timing timing)
    : out_(out),
      enabled_(enabled && out != nullptr),
      label_(std::move(label)),
      timing_(std::move(timing)) {
    if (!enabled_) return;
    start_ = timing_.now();
    columns_ = columnsOf(out_);
    outer_ = gNewest;
    gNewest = this;
}

ProgressBar::~ProgressBar() {
    clear();
    if (enabled_ && gNewest == this) gNewest = outer_;
}

void ProgressBar::setLabel(std::string label) {
    label_ = std::move(label);
    kind_ = Kind::Label;
    fresh_ = true;
    readFraction_ = -1.0;
}

void ProgressBar::update(double fraction) {
    if (!enabled_) return;
    fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    kind_ = Kind::Fraction;
    fraction_ = fraction;
    const bool finished = fraction >= 1.0;
    if (!finished && !fresh_ && ++unread_ < kReadStride &&
        std::abs(fraction - readFraction_) < kReadStep)
        return;
    readFraction_ = fraction;
    poll(finished);
}

void ProgressBar::count(std::uint64_t done) {
    if (!enabled_) return;
    kind_ = Kind::Count;
    count_ = done;
    if (!fresh_ && ++unread_ < kReadStride) return;
    poll(false);
}

void ProgressBar::show() {
    if (!enabled_) return;
    kind_ = Kind::Label;
    poll(false);
}

void ProgressBar::redraw() {
    if (enabled_) poll(true);
}

void ProgressBar::poll(bool finished) {
    unread_ = 0;
    const Clock::time_point now = timing_.now();
    if (now - start_ < timing_.delay) return;
    if (!fresh_ && !finished && now - lastDraw_ < timing_.interval) return;
    draw(now);
}

void ProgressBar::draw(Clock::time_point now) {
    std::string tail;
    if (kind_ == Kind::Fraction) {
        const int filled = static_cast<int>(fraction_ * kBarCells);
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction_ * 100));
        tail = " [" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(kBarCells - filled), ' ') + "] " + percent;
    } else if (kind_ == Kind::Count) {
        tail = " " + std::to_string(count_);
    }
    // One column stays free: a line that fills the terminal would wrap.
    const std::size_t room = columns_ > tail.size() + 1 ? columns_ - tail.size() - 1 : 0;
    std::string line = cut(label_, room) + tail;
    line = cut(line, columns_ > 1 ? columns_ - 1 : 1);
    // A shorter line than the last one blanks what the last one left.
    const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
    std::fprintf(out_, "\r%s%s", line.c_str(), std::string(pad, ' ').c_str());
    if (pad > 0) std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    width_ = line.size();
    lastDraw_ = now;
    drawn_ = true;
    fresh_ = false;
}

void ProgressBar::clear() {
    if (!enabled_) return;
    fresh_ = true;
    readFraction_ = -1.0;
    if (!drawn_) return;
    std::fprintf(out_, "\r%s\r", std::string(width_, ' ').c_str());
    std::fflush(out_);
    drawn_ = false;
    width_ = 0;
}

void clearProgressLine() {
    if (gNewest) gNewest->clear();
}

}  // namespace platform
