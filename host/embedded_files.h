// The files a project carries, and how modules find files by name. Media
// files (MIDI, WAVE, SoundFont) stay in memory; every other file (module
// libraries, say) is written into the library folder, named after the plug-in
// library, and nothing is ever written outside that folder. A library
// installed where its user cannot write (/usr/lib/vst, say) gets its folder
// under the user's data folder instead: "<data>/orvane/<library name>/".
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

class MessageSink;

struct EmbeddedFile {
  std::string name;  // as stored: a path whose last component counts
  std::vector<uint8_t> contents;
};

// A file that a module may read: a path on disk, or embedded contents (which
// stay owned by the EmbeddedFiles that served them).
struct DataFile {
  std::string path;
  std::span<const uint8_t> memory;
  bool InMemory() const { return path.empty(); }
};

class EmbeddedFiles {
 public:
  // Answers whether files may be created in a folder.
  using WritableCheck = bool (*)(const std::string& folder);

  // `library_path` is the plug-in library's full path; the library folder is
  // "<folder>/<library name without extension>/" when `can_write` (by
  // default the process's own permissions) allows it, else the one in the
  // user's data folder.
  EmbeddedFiles(std::string library_path, MessageSink& messages, WritableCheck can_write = nullptr);

  const std::string& LibraryFolder() const { return library_folder_; }

  // Keeps the files of the first project that has any; later ones are
  // dropped. Files other than media are written out and listed in Written().
  void Take(std::vector<EmbeddedFile> files);
  // Paths of the files written out, in order; an empty path for a file that
  // could not be written.
  const std::vector<std::string>& Written() const { return written_; }
  const std::vector<EmbeddedFile>& InMemory() const { return in_memory_; }

  // The path a module should open for `name`: the default extension added
  // when the name has none; relative names inside the library folder.
  std::string ResolveFilePath(std::string_view name, std::string_view default_extension) const;
  // The file on disk when it exists, else the embedded file with the same
  // last name component (ignoring case), else nothing.
  std::optional<DataFile> OpenDataFile(std::string_view name,
                                       std::string_view default_extension) const;

 private:
  std::string WriteOut(const EmbeddedFile& file, const std::optional<int64_t>& library_time);

  std::string library_path_;
  std::string library_folder_;
  MessageSink& messages_;
  std::vector<EmbeddedFile> in_memory_;
  std::vector<std::string> written_;
  bool taken_ = false;
};

}  // namespace ov
