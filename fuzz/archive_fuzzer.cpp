// Any bytes given to the project-stream reader give a document or an error
// kind: never a crash, an overrun, a leak or a hang. A document that loads
// must then be safe to use: to build the engine's graph from and run a few
// blocks of audio with, to write to a stream that loads again, and to convert
// to text and back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "document/container.h"
#include "document/document.h"
#include "document/graph_build.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/voice_list.h"
#include "fuzz/fuzz_support.h"
#include "modules/module_registry.h"

namespace {

class SilentHost final : public ov::EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
  uint32_t NewTargetId() override { return next_id_++; }
  void PostUserMessage(std::string_view) override {}

 private:
  uint32_t next_id_ = 1;
};

// What a failed build may raise; anything else is a fault. A graph that
// builds is opened and processed, as a host would after resume: what a
// stream did to plugs and values shows on the audio path.
void BuildAndRun(ov::CContainer& root) {
  static SilentHost host;
  ov::OvAudioMaster master(host);
  master.SetSampleRate(44100);
  master.SetEngineBlockSize(64);
  std::unique_ptr<ov::ug_container> graph;
  {
    ov::GraphBuild build(master);
    try {
      build.Build(root);
    } catch (const ov::OvException&) {
      return;
    } catch (const ov::VoiceConflict&) {
      return;
    } catch (const std::invalid_argument&) {
      return;
    }
    graph = build.TakeRoot();
  }
  master.Start(graph.get());
  for (int block = 0; block < 4; ++block) master.Process(64);
  master.Stop();
}

// A cheap, fixed choice of one input in eight, so that a run stays
// reproducible from its input alone.
bool OneInEight(const uint8_t* data, std::size_t size) {
  uint32_t sum = static_cast<uint32_t>(size);
  for (std::size_t i = 0; i < size; i += 61) sum = sum * 31 + data[i];
  return sum % 8 == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ov::fuzz::QuietMessages().Clear();
  const ov::LoadOptions options{&ov::fuzz::QuietMessages(), nullptr, true};
  ov::COrvaneDocBase document;
  if (!document.Load({data, size}, options).ok) return 0;
  static_cast<void>(document.FindMainContainer());
  if (document.root() != nullptr) BuildAndRun(*document.root());
  // What loads, writes a stream that loads.
  ov::COrvaneDocBase again;
  if (!again.Load(document.Write(document.version()), options).ok) __builtin_trap();
  // Every document that loads has a text form that compiles. The text form
  // costs ten times the rest, so only some inputs take it.
  if (!OneInEight(data, size)) return 0;
  try {
    ov::CompileOptions text_options;
    text_options.messages = &ov::fuzz::QuietMessages();
    static_cast<void>(ov::CompileDocument(ov::DumpDocument(document), text_options));
  } catch (const ov::ArchiveError&) {
    __builtin_trap();
  }
  return 0;
}
