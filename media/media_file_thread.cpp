#include "media/media_file_thread.h"

#include <algorithm>

namespace ov {

MediaFileThread& MediaFileThread::Instance() {
  static MediaFileThread instance;
  return instance;
}

MediaFileThread::~MediaFileThread() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
}

void MediaFileThread::Register(Client& client) {
  std::thread finished;
  {
    std::lock_guard lock(mutex_);
    clients_.push_back(&client);
    if (clients_.size() > 1) return;
    // A thread told to quit by the last client may still be on its way out.
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
  std::lock_guard lock(mutex_);
  quit_ = false;
  if (!thread_.joinable()) thread_ = std::thread(&MediaFileThread::Run, this);
}

void MediaFileThread::Unregister(Client& client) {
  std::thread finished;
  {
    std::lock_guard lock(mutex_);
    clients_.erase(std::remove(clients_.begin(), clients_.end(), &client), clients_.end());
    if (!clients_.empty()) return;
    quit_ = true;
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
}

void MediaFileThread::Run() {
  while (!quit_) {
    bool busy = false;
    {
      std::lock_guard lock(mutex_);
      for (Client* client : clients_) busy |= client->ServeMedia();
    }
    if (!busy) std::this_thread::sleep_for(kPollPeriod);
  }
}

}  // namespace ov
