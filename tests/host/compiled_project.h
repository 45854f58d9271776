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

class CompiledProject final : public ProjectSource {
 public:
  // With `library_path`, the project's files are served as a plug-in library
  // of that path serves them (its library folder beside it).
  explicit CompiledProject(const Json& project, std::string library_path = "")
      : document_(std::make_unique<COrvaneDocBase>(CompileDocument(project, {}))),
        library_path_(std::move(library_path)) {}
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
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::move(document_);
    holdings.files = std::move(files_);
    return holdings;
  }

 private:
  std::unique_ptr<COrvaneDocBase> document_;
  std::string library_path_;
  std::unique_ptr<EmbeddedFiles> files_;
};

// The same project written to its binary stream and read back from it, as
// the plug-in library reads its own.
class StreamProject final : public ProjectSource {
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
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::move(document_);
    return holdings;
  }

 private:
  std::vector<uint8_t> stream_;
  std::unique_ptr<COrvaneDocBase> document_;
};

}  // namespace ov::testing
