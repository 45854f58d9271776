// COrvaneDocBase: the project in memory - the document settings stored at
// the head of the stream, the embedded files, the skins and the root
// container with everything inside it.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/archive_error.h"
#include "document/field_walker.h"
#include "patches/idle_list.h"

namespace ov {

class CContainer;
class COrvaneDocBase;
class DataFiles;
class FileDialog;
class MessageSink;
class SkinInfo;
class imbedded_file;

// How the document's modules ask the user for a file, looked up at the
// moment they ask, so that modules made at any time reach the same dialog.
struct FileAsking {
  FileDialog* dialog = nullptr;      // null while no editor is there to ask
  const DataFiles* files = nullptr;  // names inside its folder stay relative
  MessageSink* messages = nullptr;   // told why nothing could be asked
};

struct LoadOptions {
  MessageSink* messages = nullptr;
  const ModuleRegistry* modules = nullptr;  // the built-in registry when null
  // The initialisation pass (patch managers and patch parameters). Tools
  // that show a stream as stored leave it out.
  bool initialise = true;
  // Called once the embedded files are read, before any module is: module
  // libraries among them must be registered before modules name their types.
  std::function<void(const COrvaneDocBase&)> on_files = nullptr;
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
  // The idle list of the application that holds this document: objects of
  // the document that asked for turns in the host's idle calls. Shared, so
  // that a client going after the document finds it gone.
  const std::shared_ptr<IdleList>& IdleClients() const { return idle_clients_; }
  // Set by the application that shows the document; the dialog is taken
  // back (null) before it goes.
  const FileAsking& file_asking() const { return file_asking_; }
  void SetFileAsking(const FileAsking& asking) { file_asking_ = asking; }

  // The plug-in identifier text; its first four characters, padded with
  // blanks and read as signed bytes, make the 32-bit identifier.
  const std::string& plugin_id_text() const { return header_.plugin_id; }
  int32_t PluginId() const;
  const std::string& vendor() const { return header_.vendor; }
  bool option_flag() const { return header_.option_flag; }
  const std::string& option_text() const { return header_.option_text; }
  // The text "About..." on the panel shows: the option text, when the
  // option flag says it is shown.
  std::string_view about_text() const {
    return header_.option_flag ? std::string_view(header_.option_text) : std::string_view();
  }
  // The panel editor's snap-to-grid option, off until an editor turns it
  // on; the stream has no row for it.
  bool grid_option() const { return grid_option_; }
  void SetGridOption(bool on) { grid_option_ = on; }
  bool mono_capable() const { return header_.mono_capable; }
  const Point& panel_size() const { return header_.panel_size; }
  uint32_t plugin_flags() const { return header_.plugin_flags; }
  int32_t program_count() const { return header_.program_count; }

 private:
  void WalkSkins(FieldWalker& walker);

  // The header rows as stored, those the plug-in ignores included, so that
  // a stream is written back as it was read.
  struct Header {
    std::string obsolete_text;
    std::vector<uint8_t> obsolete_blocks;
    std::string file_name;
    int32_t editor_flag_a = 0;
    int32_t obsolete_number = 0;
    int32_t editor_flag_b = 0;
    std::string plugin_id;
    std::string editor_text_a;
    bool option_flag = false;
    std::string option_text;
    bool mono_capable = true;
    Point panel_size;
    uint32_t plugin_flags = 0;
    int32_t program_count = 16;
    std::string vendor;
    std::string editor_text_b;
    std::string obsolete_text_b;
    std::string editor_text_c;
    bool skins_present = false;
    bool reserved = false;
    std::string obsolete_text_c;
  };

  int32_t version_ = kCurrentLoadVersion;
  bool grid_option_ = false;
  std::function<void(const COrvaneDocBase&)> on_files_;  // while loading only
  Header header_;
  std::vector<std::unique_ptr<imbedded_file>> files_;
  std::vector<std::unique_ptr<SkinInfo>> skins_;
  std::shared_ptr<IdleList> idle_clients_ = std::make_shared<IdleList>();
  FileAsking file_asking_;
  std::unique_ptr<CContainer> root_;
};

}  // namespace ov
