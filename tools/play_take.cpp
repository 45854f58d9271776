#include "tools/play_take.h"

#include <algorithm>
#include <chrono>
#include <span>

namespace ov {
namespace {

constexpr double kRingSeconds = 2;
// As `orvane show`: a take longer than this keeps its first hour.
constexpr double kMaxSeconds = 3600;
constexpr auto kCollectPeriod = std::chrono::milliseconds(20);

}  // namespace

PlayTake::PlayTake(uint32_t channels, uint32_t rate, uint32_t max_period)
    : channels_(channels),
      max_period_(max_period),
      scratch_(std::size_t{channels} * max_period),
      ring_(static_cast<uint32_t>(sizeof(uint32_t) +
                                  (kRingSeconds * rate + max_period) * channels * sizeof(float))) {
  clip_.sample_rate = rate;
  clip_.channels.resize(channels);
  collector_ = std::thread(&PlayTake::Collect, this);
}

PlayTake::~PlayTake() {
  running_.store(false);
  if (collector_.joinable()) collector_.join();
}

void PlayTake::Add(const float* const* channels, uint32_t frames) {
  // One record per period, published at once: its frame count, then each
  // channel's samples.
  if (frames > max_period_) {
    dropped_frames_.fetch_add(frames, std::memory_order_relaxed);
    return;
  }
  for (uint32_t c = 0; c < channels_; ++c) {
    std::copy_n(channels[c], frames, scratch_.begin() + static_cast<std::ptrdiff_t>(c) * frames);
  }
  const std::span<const float> samples(scratch_.data(), std::size_t{channels_} * frames);
  if (!ring_.Write({std::as_bytes(std::span(&frames, 1)), std::as_bytes(samples)})) {
    dropped_frames_.fetch_add(frames, std::memory_order_relaxed);
  }
}

void PlayTake::Collect() {
  const auto max_frames = static_cast<std::size_t>(kMaxSeconds * clip_.sample_rate);
  const auto drain = [&] {
    uint32_t frames = 0;
    while (ring_.ReadValue(frames)) {
      for (std::vector<float>& channel : clip_.channels) {
        const std::size_t at = channel.size();
        const bool keep = at < max_frames;
        if (keep) channel.resize(at + frames);
        if (!keep || !ring_.Read(std::as_writable_bytes(std::span(channel.data() + at, frames)))) {
          ring_.Discard(static_cast<uint32_t>(sizeof(float) * frames));
        }
      }
    }
  };
  while (running_.load()) {
    drain();
    std::this_thread::sleep_for(kCollectPeriod);
  }
  drain();
}

bool PlayTake::Finish(const std::string& path, std::string* error) {
  running_.store(false);
  if (collector_.joinable()) collector_.join();
  return WriteFloatWavFile(path, clip_, error);
}

}  // namespace ov
