#include "vxs/progress_bar.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vxs {

namespace {

constexpr int kBarCells = 30;

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, bool enabled, std::string label, Clock::duration interval,
                         std::function<Clock::time_point()> now)
    : out_(out),
      enabled_(enabled && out != nullptr),
      label_(std::move(label)),
      interval_(interval),
      now_(std::move(now)) {}

void ProgressBar::update(double fraction) {
    if (!enabled_) return;
    fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    const Clock::time_point now = now_();
    if (drawn_ && fraction < 1.0 && now - lastDraw_ < interval_) return;
    lastDraw_ = now;
    drawn_ = true;
    const int filled = static_cast<int>(fraction * kBarCells);
    std::string line = label_ + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarCells - filled), ' ') + "] ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
    line += percent;
    width_ = line.size();
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
}

void ProgressBar::clear() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(out_, "\r%s\r", std::string(width_, ' ').c_str());
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace vxs
