#include "host/document_project.h"

#include <algorithm>

#include "document/container.h"
#include "document/document.h"
#include "document/embedded_file.h"
#include "host/embedded_files.h"
#include "host/project_resource.h"
#include "platform/file_names.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

// A "Patch Select" in the main container or any container around it lets
// the host choose programs.
bool HasProgramSelection(const CContainer& main) {
  for (const CContainer* container = &main; container != nullptr; container = container->parent()) {
    if (container->HoldsPatchSelect()) return true;
  }
  return false;
}

}  // namespace

ProjectFacts FactsOf(const COrvaneDocBase& document, const CContainer& main) {
  ProjectFacts facts;
  facts.title = main.title();
  facts.plugin_id = document.plugin_id_text();
  facts.vendor = document.vendor();
  // The product text is read from the stream and ignored by the plug-in.
  facts.plugin_options = document.plugin_flags();
  facts.can_mono = document.mono_capable();
  facts.program_count = document.program_count();
  facts.has_program_selection = HasProgramSelection(main);
  for (const auto& plug : main.plugs()) {
    const int32_t direction = plug->Direction();
    const int32_t datatype = plug->Datatype();
    if (datatype == DT_FSAMPLE && !plug->hidden()) {
      if (direction == DR_IN) facts.audio_inputs.push_back(plug->Name());
      if (direction == DR_OUT) facts.audio_outputs.push_back(plug->Name());
    }
    if (datatype == DT_MIDI) {
      if (direction == DR_IN) {
        facts.has_midi_input = true;
        facts.midi_input_visible = facts.midi_input_visible || !plug->hidden();
      }
      if (direction == DR_OUT && !plug->hidden()) facts.midi_output_visible = true;
    }
  }
  return facts;
}

DocumentProject::DocumentProject(std::string library_path)
    : library_path_(std::move(library_path)) {}

std::optional<ProjectFacts> DocumentProject::Load(MessageSink& messages) {
  holdings_ = {};
  const std::optional<std::vector<uint8_t>> stream = LoadProjectBytes(library_path_, messages);
  if (!stream) return std::nullopt;

  holdings_.files = std::make_unique<EmbeddedFiles>(library_path_, messages);
  LoadOptions options;
  options.messages = &messages;
  // The files are taken as soon as they are read: modules read after them
  // may be of types from module libraries among them.
  options.on_files = [this](const COrvaneDocBase& read) {
    std::vector<EmbeddedFile> files;
    files.reserve(read.files().size());
    for (const auto& file : read.files()) files.push_back({file->name(), file->contents()});
    holdings_.files->Take(std::move(files));
  };
  auto document = std::make_unique<COrvaneDocBase>();
  const LoadResult result = document->Load(*stream, options);
  const std::string stem = LibraryStem(library_path_);
  if (!result.ok) {
    // A refused newer stream has told the user already.
    if (!result.refused_newer) messages.Post(stem + ": " + result.message, MessageStyle::kError);
    return std::nullopt;
  }
  const CContainer* main = document->FindMainContainer();
  if (main == nullptr) {
    messages.Post(stem + ": The project has no main container.", MessageStyle::kError);
    return std::nullopt;
  }
  ProjectFacts facts = FactsOf(*document, *main);

  holdings_.document = std::move(document);
  return facts;
}

ProjectHoldings DocumentProject::TakeHoldings() { return std::move(holdings_); }

StreamProject::StreamProject(std::vector<uint8_t> stream, std::string origin)
    : stream_(std::move(stream)), origin_(std::move(origin)) {}

StreamProject::~StreamProject() = default;

std::optional<ProjectFacts> StreamProject::Load(MessageSink& messages) {
  auto document = std::make_unique<COrvaneDocBase>();
  LoadOptions options;
  options.messages = &messages;
  if (!origin_.empty()) {
    files_ = std::make_unique<EmbeddedFiles>(origin_, messages);
    options.on_files = [this](const COrvaneDocBase& read) {
      std::vector<EmbeddedFile> media;
      for (const auto& file : read.files()) {
        const std::string extension = FileExtension(file->name());
        if (extension == "sf2" || extension == "wav" || extension == "mid") {
          media.push_back({file->name(), file->contents()});
        }
      }
      files_->Take(std::move(media));
    };
  }
  const LoadResult result = document->Load(stream_, options);
  if (!result.ok) {
    if (!result.refused_newer) messages.Post(result.message, MessageStyle::kError);
    return std::nullopt;
  }
  const CContainer* main = document->FindMainContainer();
  if (main == nullptr) {
    messages.Post("The project has no main container.", MessageStyle::kError);
    return std::nullopt;
  }
  ProjectFacts facts = FactsOf(*document, *main);
  document_ = std::move(document);
  return facts;
}

ProjectHoldings StreamProject::TakeHoldings() {
  ProjectHoldings holdings;
  holdings.document = std::move(document_);
  // Only a project that embeds media gets a library folder of its own.
  if (files_ != nullptr && !files_->InMemory().empty()) holdings.files = std::move(files_);
  return holdings;
}

}  // namespace ov
