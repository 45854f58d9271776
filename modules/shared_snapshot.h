// Immutable values the editor hands to the audio thread: each published
// value is never changed again, readers count the one they hold, and the
// editor frees an old value only once no reader holds it or is taking it.
//
// A reader announces the entry it is about to count (a hazard pointer)
// before counting it, so the editor cannot free it between the two steps.
// One reading thread per channel (the audio thread); every generator that
// reads keeps its own Hold.
//
// Threads: Publish and the destructor on the editor thread; Hold on the
// audio thread (or the editor thread while audio is stopped).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace ov {

template <typename T>
class SharedSnapshot {
  struct Entry {
    explicit Entry(std::unique_ptr<const T> v) : value(std::move(v)) {}
    std::unique_ptr<const T> value;
    std::atomic<int32_t> readers{0};
  };

 public:
  // What one reader holds: at most one entry, counted.
  class Hold {
   public:
    Hold() = default;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold() { Release(); }
    // Takes the newest value when it differs from the one held; true when
    // it did. Allocates nothing.
    bool Refresh() {
      if (channel_ == nullptr) return false;
      if (channel_->newest_.load() == held_) return false;
      Entry* entry = nullptr;
      do {
        entry = channel_->newest_.load();
        channel_->hazard_.store(entry);
      } while (channel_->newest_.load() != entry);
      if (entry != nullptr) entry->readers.fetch_add(1);
      channel_->hazard_.store(nullptr);
      if (held_ != nullptr) held_->readers.fetch_sub(1);
      held_ = entry;
      return true;
    }
    void Release() {
      if (held_ != nullptr) held_->readers.fetch_sub(1);
      held_ = nullptr;
    }
    // The channel to read; keeps it alive. Editor thread, audio stopped.
    void Attach(std::shared_ptr<SharedSnapshot> channel) {
      Release();
      channel_ = std::move(channel);
    }
    // The value held, or null when nothing was published.
    const T* get() const { return held_ != nullptr ? held_->value.get() : nullptr; }

   private:
    std::shared_ptr<SharedSnapshot> channel_;
    Entry* held_ = nullptr;
  };

  SharedSnapshot() = default;
  SharedSnapshot(const SharedSnapshot&) = delete;
  SharedSnapshot& operator=(const SharedSnapshot&) = delete;

  // Makes `value` the newest, then frees the older values nobody holds.
  void Publish(std::unique_ptr<const T> value) {
    entries_.push_back(std::make_unique<Entry>(std::move(value)));
    newest_.store(entries_.back().get());
    std::erase_if(entries_, [&](const std::unique_ptr<Entry>& entry) {
      return entry.get() != newest_.load() && entry->readers.load() == 0 &&
             hazard_.load() != entry.get();
    });
  }
  // The newest value published, for the editor's own reading.
  const T* Newest() const {
    const Entry* entry = newest_.load();
    return entry != nullptr ? entry->value.get() : nullptr;
  }
  // How many values are kept (the newest and those still held).
  std::size_t Kept() const { return entries_.size(); }

 private:
  std::vector<std::unique_ptr<Entry>> entries_;
  std::atomic<Entry*> newest_{nullptr};
  std::atomic<Entry*> hazard_{nullptr};
};

}  // namespace ov
