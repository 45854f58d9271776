#include "patches/idle_list.h"

#include <algorithm>

namespace ov {

void IdleList::Add(IdleClient& client) {
  if (Contains(client)) return;
  if (client.OnIdle() && !Contains(client)) clients_.push_back(&client);
}

void IdleList::Remove(const IdleClient& client) { std::erase(clients_, &client); }

bool IdleList::Contains(const IdleClient& client) const {
  return std::find(clients_.begin(), clients_.end(), &client) != clients_.end();
}

void IdleList::Run() {
  const std::vector<IdleClient*> turns = clients_;
  for (IdleClient* client : turns) {
    if (Contains(*client) && !client->OnIdle()) Remove(*client);
  }
}

}  // namespace ov
