// The project source of the plug-in library: the project document stored in
// the library (or in the data file beside it), read at start-up.
// Thread: editor (plug-in construction).
#pragma once

#include <optional>
#include <string>

#include "host/project_facts.h"

namespace ov {

class CContainer;

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

// What the shell reports for `main`, the main container of `document`.
ProjectFacts FactsOf(const COrvaneDocBase& document, const CContainer& main);

}  // namespace ov
