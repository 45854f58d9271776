// Remembers which thread created an object, so that calls arriving on any
// other thread (host automation from the audio thread, say) can be told apart.
#pragma once

#include <thread>

namespace ov {

class ThreadIdentity {
 public:
  // Records the calling thread as the creating thread.
  ThreadIdentity() : creator_(std::this_thread::get_id()) {}

  // Any thread.
  bool IsCreatingThread() const { return std::this_thread::get_id() == creator_; }

 private:
  const std::thread::id creator_;
};

}  // namespace ov
