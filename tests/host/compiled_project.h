// A project compiled in memory from its text form, for a plug-in object to
// load in-process.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "document/document.h"
#include "document/embedded_file.h"
#include "document/project_text.h"
#include "host/document_project.h"
#include "host/embedded_files.h"
#include "host/project_facts.h"
#include "platform/message_sink.h"

namespace ov::testing {

// Hands the loaded document, and the files it serves, over to the plug-in
// object.
class HeldDocumentProject : public ProjectSource {
 public:
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::move(document_);
    holdings.files = std::move(files_);
    return holdings;
  }

 protected:
  std::unique_ptr<COrvaneDocBase> document_;
  std::unique_ptr<EmbeddedFiles> files_;
};

class CompiledProject final : public HeldDocumentProject {
 public:
  // With `library_path`, the project's files are served as a plug-in library
  // of that path serves them (its library folder beside it).
  explicit CompiledProject(const Json& project, std::string library_path = "")
      : library_path_(std::move(library_path)) {
    document_ = std::make_unique<COrvaneDocBase>(CompileDocument(project, {}));
  }
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    if (!library_path_.empty()) {
      std::vector<EmbeddedFile> files;
      for (const auto& file : document_->files()) files.push_back({file->name(), file->contents()});
      files_ = std::make_unique<EmbeddedFiles>(library_path_, messages);
      files_->Take(std::move(files));
    }
    return FactsOf(*document_, *document_->FindMainContainer());
  }

 private:
  std::string library_path_;
};

// The same project written to its binary stream and read back from it, as
// the plug-in library reads its own.
class StreamProject final : public HeldDocumentProject {
 public:
  explicit StreamProject(const Json& project) {
    const COrvaneDocBase compiled = CompileDocument(project, {});
    stream_ = compiled.Write(compiled.version());
  }
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    document_ = std::make_unique<COrvaneDocBase>();
    if (!document_->Load(stream_, {&messages, nullptr, true}).ok) return std::nullopt;
    return FactsOf(*document_, *document_->FindMainContainer());
  }

 private:
  std::vector<uint8_t> stream_;
};

}  // namespace ov::testing
