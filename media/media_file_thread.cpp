#include "media/media_file_thread.h"

#include <algorithm>
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
