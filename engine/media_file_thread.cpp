#include "engine/media_file_thread.h"

#include <algorithm>
#include <array>
#include <thread>

namespace ov {

MediaFileThread& MediaFileThread::Instance() {
  static MediaFileThread instance;
  return instance;
}

MediaFileThread::~MediaFileThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool MediaFileThread::WaitForRoom(const ByteRing& ring, uint32_t size, bool offline) {
  constexpr int kOfflineWaitMs = 10000;
  if (ring.WritableSize() >= size) return true;
  if (!offline) return false;
  for (int waited = 0; waited < kOfflineWaitMs; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (ring.WritableSize() >= size) return true;
  }
  return false;
}

bool MediaFileThread::DrainToFile(ByteRing& ring, NewFile& file, uint64_t start,
                                  uint64_t& written, std::atomic<bool>& failed,
                                  const std::function<bool()>& rewrite_header) {
  if (failed.load(std::memory_order_relaxed)) return false;
  std::array<uint8_t, 4096> chunk;
  bool wrote = false;
  while (const uint32_t size = std::min<uint32_t>(ring.ReadableSize(), chunk.size())) {
    ring.Read(std::as_writable_bytes(std::span(chunk.data(), size)));
    if (!file.WriteAt(start + written, std::span(chunk.data(), size))) {
      failed = true;
      return false;
    }
    written += size;
    wrote = true;
  }
  if (wrote && !rewrite_header()) {
    failed = true;
    return false;
  }
  return wrote;
}

void MediaFileThread::Register(Client& client) {
  std::lock_guard lock(mutex_);
  clients_.push_back(&client);
  if (clients_.size() > 1) return;
  quit_ = false;
  thread_ = std::thread(&MediaFileThread::Run, this);
}

void MediaFileThread::Unregister(Client& client) {
  std::thread finished;
  {
    std::lock_guard lock(mutex_);
    const auto listed = std::find(clients_.begin(), clients_.end(), &client);
    if (listed == clients_.end()) return;
    clients_.erase(listed);
    if (!clients_.empty()) return;
    quit_ = true;
    finished = std::move(thread_);
  }
  wake_.notify_all();
  finished.join();
}

void MediaFileThread::Run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    bool busy = false;
    for (Client* client : clients_) busy |= client->ServeMedia();
    if (!busy) wake_.wait_for(lock, kPollPeriod, [this] { return quit_; });
  }
}

}  // namespace ov
