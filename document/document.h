// COrvaneDocBase: the project in memory - the document settings stored at
// the head of the stream, the embedded files, the skins and the root
// container with everything inside it.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/archive_error.h"
#include "document/field_walker.h"

namespace ov {

class CContainer;
class SkinInfo;
class imbedded_file;

struct LoadOptions {
  MessageSink* messages = nullptr;
  const ModuleRegistry* modules = nullptr;  // the built-in registry when null
  // The initialisation pass (patch managers and patch parameters). Tools
  // that show a stream as stored leave it out.
  bool initialise = true;
};

struct LoadResult {
  bool ok = false;
  // Set when the stream is newer than this reader; the user has been told.
  bool refused_newer = false;
  ArchiveErrorKind kind = ArchiveErrorKind::kGeneric;
  std::string message;  // what went wrong and where
};

class COrvaneDocBase {
 public:
  COrvaneDocBase();
  ~COrvaneDocBase();
  COrvaneDocBase(COrvaneDocBase&&) noexcept;
  COrvaneDocBase& operator=(COrvaneDocBase&&) noexcept;

  // Reads a whole document stream. On failure the document is left empty,
  // without a root container. A stream newer than kCurrentLoadVersion is
  // refused before anything else is read, with the message the user sees.
  LoadResult Load(std::span<const uint8_t> stream, const LoadOptions& options);
  // The stream of this document at `version` (kCurrentLoadVersion normally).
  // Throws ArchiveError when the document cannot be stored at all.
  std::vector<uint8_t> Write(int32_t version) const;

  // Walks the stream's header rows 2 to 25: row 1, the version, decides
  // the walker's load version and is handled by the caller.
  void Serialize(FieldWalker& walker);

  // The version of the stream that was read.
  int32_t version() const { return version_; }
  void set_version(int32_t version) { version_ = version; }
  CContainer* root() const { return root_.get(); }
  void SetRoot(std::unique_ptr<CContainer> root);
  // The first child of the root that is a container and not excluded.
  CContainer* FindMainContainer() const;
  // The parent-link pass, then (when asked) the initialisation pass.
  void RunPasses(bool initialise);

  const std::vector<std::unique_ptr<imbedded_file>>& files() const { return files_; }
  void AddFile(std::unique_ptr<imbedded_file> file);
  const std::vector<std::unique_ptr<SkinInfo>>& skins() const { return skins_; }

  // The plug-in identifier text; its first four characters, padded with
  // blanks and read as signed bytes, make the 32-bit identifier.
  const std::string& plugin_id_text() const { return plugin_id_; }
  int32_t PluginId() const;
  const std::string& vendor() const { return vendor_; }
  bool option_flag() const { return option_flag_; }
  const std::string& option_text() const { return option_text_; }
  bool mono_capable() const { return mono_capable_; }
  const Point& panel_size() const { return panel_size_; }
  uint32_t plugin_flags() const { return plugin_flags_; }
  int32_t program_count() const { return program_count_; }

 private:
  void WalkSkins(FieldWalker& walker);

  int32_t version_ = kCurrentLoadVersion;
  std::vector<std::unique_ptr<imbedded_file>> files_;
  std::string obsolete_text_;
  std::vector<uint8_t> obsolete_blocks_;
  std::string file_name_;
  int32_t editor_flag_a_ = 0;
  int32_t obsolete_number_ = 0;
  int32_t editor_flag_b_ = 0;
  std::string plugin_id_;
  std::string editor_text_a_;
  bool option_flag_ = false;
  std::string option_text_;
  bool mono_capable_ = true;
  Point panel_size_;
  uint32_t plugin_flags_ = 0;
  int32_t program_count_ = 16;
  std::string vendor_;
  std::string editor_text_b_;
  std::string obsolete_text_b_;
  std::string editor_text_c_;
  bool skins_present_ = false;
  std::vector<std::unique_ptr<SkinInfo>> skins_;
  bool reserved_ = false;
  std::unique_ptr<CContainer> root_;
  std::string obsolete_text_c_;
};

}  // namespace ov
