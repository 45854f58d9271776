// The project source of the plug-in library: the project document stored in
// the library (or in the data file beside it), read at start-up.
// Thread: editor (plug-in construction).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/project_facts.h"

namespace ov {

class CContainer;
class EmbeddedFiles;

class DocumentProject final : public ProjectSource {
 public:
  explicit DocumentProject(std::string library_path);

  // Posts the reader's error, or that the project has no main container,
  // and gives nothing when the project cannot be used.
  std::optional<ProjectFacts> Load(MessageSink& messages) override;
  ProjectHoldings TakeHoldings() override;

 private:
  std::string library_path_;
  ProjectHoldings holdings_;
};

// A plain project stream in memory, read as the library reads its own:
// for plug-ins made inside a program (tools, other plug-in formats' tests
// and fuzz targets).
// A project stream compiled in memory. With the path of the project it was
// compiled from, the media files it embeds (sound fonts, waves, MIDI files)
// are kept in memory for its modules, as a baked library's are; other
// embedded files are left out, since nothing would be written for them.
class StreamProject final : public ProjectSource {
 public:
  explicit StreamProject(std::vector<uint8_t> stream, std::string origin = {});
  ~StreamProject() override;
  std::optional<ProjectFacts> Load(MessageSink& messages) override;
  ProjectHoldings TakeHoldings() override;

 private:
  std::vector<uint8_t> stream_;
  std::string origin_;
  std::unique_ptr<COrvaneDocBase> document_;
  std::unique_ptr<EmbeddedFiles> files_;
};

// What the shell reports for `main`, the main container of `document`.
ProjectFacts FactsOf(const COrvaneDocBase& document, const CContainer& main);

}  // namespace ov
