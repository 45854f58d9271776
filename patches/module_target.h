// The editor side's receiver for one module's messages from its generator:
// "refr" (refresh the panel part) and "prnt" (one terminal line). While an
// engine runs, the message hub ties it to the module's generator, under
// whose identifier the engine sends; panel parts read the generator's
// displayed values through it, and only while that engine exists.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string_view>

#include "patches/ui_msg_target.h"

namespace ov {

class MessageHub;
class ug_base;

class ModuleMessageTarget : public ui_msg_target {
 public:
  ModuleMessageTarget() = default;
  // Leaves the hub's list of attached modules.
  ~ModuleMessageTarget() override;

  // The running engine's generator for this module, or null (no engine, or
  // the module made none). Set and cleared by the hub.
  ug_base* Generator() const { return generator_; }

  // "refr": clears the generator's refresh mark, so the next change is
  // reported again, then OnRefresh. "prnt": OnPrint with the line.
  void OnMessage(uint32_t message_id, MessageReader& payload) override;

 protected:
  // The hub this module is attached through while an engine runs, or null.
  MessageHub* Hub() const { return hub_; }
  // The hub tied this module to a new engine's generator, before the
  // engine opens.
  virtual void OnGeneratorAttached(ug_base& /*generator*/) {}
  // The panel part shows what the generator now holds.
  virtual void OnRefresh(ug_base& /*generator*/) {}
  virtual void OnPrint(std::string_view /*line*/) {}

 private:
  friend class MessageHub;
  MessageHub* hub_ = nullptr;
  ug_base* generator_ = nullptr;
};

}  // namespace ov
