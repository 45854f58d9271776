// What the fuzz targets share: a message sink that keeps quiet, and the
// project every state-chunk and bank-file run reads into, loaded once.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "document/container.h"
#include "document/document.h"
#include "document/patch_manager.h"
#include "document/project_text.h"
#include "platform/message_sink.h"

namespace ov::fuzz {

inline MessageSink& QuietMessages() {
  static MessageSink* sink = [] {
    auto* made = new MessageSink;
    made->SetLogToStderr(false);
    return made;
  }();
  return *sink;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A project with patch parameters of several types, panel controls with
// values of their own and named patches, read the way the plug-in reads
// one, with its main container's patch manager.
struct PatchedProject {
  PatchedProject() {
    CompileOptions options;
    options.base_directory = OV_FUZZ_SEEDS;
    options.messages = &QuietMessages();
    const COrvaneDocBase compiled = CompileDocument(
        Json::parse(ReadText(std::string(OV_FUZZ_SEEDS) + "/panel.json")), options);
    const std::vector<uint8_t> stream = compiled.Write(compiled.version());
    document.Load(stream, {&QuietMessages(), nullptr, true});
    CContainer* main = document.FindMainContainer();
    manager = main->GetPatchManager();
    if (manager == nullptr) manager = &main->EnsurePatchManager();
  }
  COrvaneDocBase document;
  CPatchManager* manager = nullptr;
};

inline PatchedProject& Project() {
  static PatchedProject* project = new PatchedProject;
  return *project;
}

}  // namespace ov::fuzz
