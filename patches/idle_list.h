// The application's idle list: objects that get a turn in the host's idle
// calls, after the engine's messages have been delivered (library panel
// parts that asked for one; hosted plug-ins' editors will too). A turn that
// answers false leaves the list.
//
// Thread: editor.
#pragma once

#include <vector>

namespace ov {

class IdleClient {
 public:
  virtual ~IdleClient() = default;
  // One turn; false to leave the list.
  virtual bool OnIdle() = 0;
};

class IdleList {
 public:
  // Gives `client` its first turn at once and keeps it when that answers
  // true; a client is listed once however often it is added.
  void Add(IdleClient& client);
  void Remove(const IdleClient& client);
  bool Contains(const IdleClient& client) const;
  // A turn for every client listed when the run begins and still listed
  // when its turn comes: a turn may add or remove clients.
  void Run();

 private:
  std::vector<IdleClient*> clients_;
};

}  // namespace ov
