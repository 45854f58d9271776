// "OS Command": starts a program each time "Trigger in" goes high (above
// 3.33 V, low again only below 1.67 V). The engine only asks: the request
// travels to the application, which starts the "Command" line, split into
// arguments as Windows programs split theirs, in the library folder, without
// a shell, and reaps it in its idle.
//
// A project may come from anyone, so the command starts only when the user
// allowed it: ORVANE_ALLOW_COMMANDS=1 in the environment at engine start.
// Otherwise the first rise tells the user once how to allow it, and no
// command is asked for.
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread, which posts a message and
// nothing more.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_system_command : public ug_base {
 public:
  enum Plug : int32_t { kTrigger, kCommand };
  static constexpr float kHighAbove = 0.33333334f;
  static constexpr float kLowBelow = 0.16666667f;
  static constexpr std::string_view kNotAllowed =
      "did not start its command: starting programs a project names needs "
      "ORVANE_ALLOW_COMMANDS=1 in the environment";

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // Requests that could not be posted (the ring to the editor was full).
  uint32_t LostRequests() const { return lost_requests_; }
  // Whether commands may start, as read at open.
  bool Allowed() const { return allowed_; }

 private:
  void Scan(int32_t position, int32_t count);
  // The level after `value`; a rise asks for the command.
  void Follow(float value);

  float* trigger_ = nullptr;
  bool high_ = false;
  bool allowed_ = false;
  bool refusal_told_ = false;
  uint32_t lost_requests_ = 0;
};

}  // namespace ov
