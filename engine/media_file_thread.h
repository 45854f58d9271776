// The one background thread per process that does the file work of media
// modules while the engine runs, so the audio thread never touches a file:
// loading a file a module was newly asked to play, writing what a recorder
// handed over, and freeing buffers the audio thread has retired. Modules
// register a client while the engine starts and unregister it when it
// stops; the thread runs while any client is registered and polls each one
// every few milliseconds (at once again while there is work), so the audio thread hands work over
// through its own lock-free rings and never has to signal anything. Threads: Register and
// Unregister on the editor thread; ServeMedia on the media thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/byte_ring.h"
#include "platform/new_file.h"

namespace ov {

class MediaFileThread {
 public:
  class Client {
   public:
    virtual ~Client() = default;
    // Does whatever work the client has waiting; true when there was some
    // (the thread then looks again at once). Media thread.
    virtual bool ServeMedia() = 0;
  };

  // How often each client is served at most: recorders buffer far more.
  static constexpr std::chrono::milliseconds kPollPeriod{5};

  static MediaFileThread& Instance();
  // A recorder's hand-over when the ring to this thread is full: nothing
  // waits on a real-time audio thread, but an offline bounce runs as fast
  // as it can and may get ahead of the disk by any amount, so it waits (up
  // to ten seconds) for `size` bytes of room. True when there is room.
  // Audio thread (the ring's producer).
  static bool WaitForRoom(const ByteRing& ring, uint32_t size, bool offline);
  // A recorder's writing: unless an earlier write failed, everything `ring`
  // holds goes to `file` from byte `start` + `written` on (`written` grows by
  // what was written), then `rewrite_header` brings the file's header up to
  // date. True when anything was written. A failed write or header sets
  // `failed`, and nothing is written after it. The ring's consumer, which
  // owns the file just then.
  static bool DrainToFile(ByteRing& ring, NewFile& file, uint64_t start, uint64_t& written,
                          std::atomic<bool>& failed, const std::function<bool()>& rewrite_header);
  ~MediaFileThread();

  // Starts the thread with the first client. Editor thread.
  void Register(Client& client);
  // Returns once the thread no longer serves the client (which may then be
  // destroyed); stops the thread with the last one. Editor thread.
  void Unregister(Client& client);

 private:
  MediaFileThread() = default;
  void Run();

  std::mutex mutex_;              // guards everything below, and the serving of clients
  std::condition_variable wake_;  // only for quitting: the audio thread never signals
  std::vector<Client*> clients_;
  std::thread thread_;
  bool quit_ = false;
};

}  // namespace ov
