// Projects as JSON text. DumpDocument prints every object and field of a
// document; CompileDocument builds a document from that form, or from the
// concise form people write, where a module needs only its type key and the
// values that differ from a new module's (docs/project-format.md).
//
// Threads: any one thread; the document then belongs to that thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "document/object_pool.h"
#include "document/text_writer.h"

namespace ov {

class SkinInfo;

// Every object and field, in stream order, at the document's version.
Json DumpDocument(const COrvaneDocBase& document);

// The checks of what a hand-written project may get wrong but a plug-in
// would load all the same: connections between datatypes that cannot meet,
// values that do not parse for their plug, file names the project and the
// disk lack.
enum class CompileChecks {
  kNone,    // as stored projects have always compiled
  kWarn,    // each finding goes to on_warning
  kRefuse,  // the first finding stops the compile, as any error does
};

struct CompileOptions {
  // Where the paths of embedded files given by "path" are found.
  std::string base_directory = ".";
  // Where such a file is looked for by its name alone when it is not where
  // its path says: the folders of the module libraries a program ships.
  std::vector<std::string> fallback_folders;
  std::size_t max_file_bytes = std::size_t{1} << 30;
  MessageSink* messages = nullptr;
  const ModuleRegistry* modules = nullptr;  // the built-in registry when null
  // Reads a skin given as {"name": ..., "folder": DIR} (DIR already joined
  // to base_directory) into its record; null, with the reason, when it
  // cannot. Unset: such skins are refused.
  std::function<std::unique_ptr<SkinInfo>(const std::string& name, const std::string& folder,
                                          std::string* error)>
      skin_folder;
  // Called with the full path of each file given by "path" once it is read,
  // before the modules: module libraries among them register their types.
  std::function<void(const std::string& path)> on_file_read = nullptr;
  CompileChecks checks = CompileChecks::kNone;
  // With kWarn: the JSON path of each finding and what is wrong there.
  std::function<void(const std::string& where, const std::string& text)> on_warning = nullptr;
};

// Deeper JSON than any project needs: each object of the stream takes a few
// levels (an object, its list of children or plugs), and streams nest objects
// at most ObjectPool::kMaxDepth deep.
constexpr int kMaxProjectTextDepth = 4 * ObjectPool::kMaxDepth;

// The JSON of a project's text, or null with the reason. Nesting is checked
// while parsing, so hostile text never builds a tree too deep to walk.
std::optional<Json> ParseProjectText(std::string_view text, std::string* error);

// The word for a plug datatype in a project's "io" declarations ("audio",
// "midi", "list", ...); for an unknown datatype, "datatype N".
std::string DatatypeKeyword(int32_t datatype);

// Throws ArchiveError naming the JSON path and the reason.
COrvaneDocBase CompileDocument(const Json& text, const CompileOptions& options);

}  // namespace ov
