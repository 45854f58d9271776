// The library's exported entry points. Hosts look for VSTPluginMain first and
// fall back to the older name main; both do the same.
#include "host/ov_vst.h"
#include "platform/message_sink.h"

namespace {

// Projects are not read from the library yet, so every load reports that no
// project is present and the host gets no plug-in.
class NoProject final : public ov::ProjectSource {
 public:
  std::optional<ov::ProjectFacts> Load(ov::MessageSink& messages) override {
    messages.Post("This plug-in library holds no project.", ov::MessageStyle::kWarning);
    return std::nullopt;
  }
};

vst2::AEffect* Entry(vst2::HostCallback host) {
  NoProject source;
  return ov::CreatePlugin(host, source);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(
    vst2::HostCallback host) {
  return Entry(host);
}

// A C++ function cannot be called main and return a pointer, so the symbol
// name is bound with an assembler label.
extern "C" __attribute__((visibility("default"))) vst2::AEffect* LegacyMain(
    vst2::HostCallback host) __asm__("main");
extern "C" vst2::AEffect* LegacyMain(vst2::HostCallback host) { return Entry(host); }
