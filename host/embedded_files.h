// The files a project carries, and how modules find files by name. Media
// files (MIDI, WAVE, SoundFont) stay in memory; every other file (module
// libraries, say) is written into the library folder, named after the plug-in
// library, and nothing is ever written outside that folder. A library
// installed where its user cannot write (/usr/lib/vst, say) gets its folder
// under the user's data folder instead: "<data>/orvane/<library name>/".
// A host that keeps a session's files may give recordings a folder of their
// own, and may move the files a project read from disk: the files read are
// listed, and a name can be sent to the file's new place.
// Thread: editor, except where a method says otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_files.h"

namespace ov {

class MessageSink;

struct EmbeddedFile {
  std::string name;  // as stored: a path whose last component counts
  std::vector<uint8_t> contents;
};

class EmbeddedFiles : public DataFiles {
 public:
  // Answers whether files may be created in a folder.
  using WritableCheck = bool (*)(const std::string& folder);

  // `library_path` is the plug-in library's full path; the library folder is
  // "<folder>/<library name without extension>/" when `can_write` (by
  // default the process's own permissions) allows it, else the one in the
  // user's data folder.
  EmbeddedFiles(std::string library_path, MessageSink& messages, WritableCheck can_write = nullptr);

  const std::string& LibraryFolder() const override { return library_folder_; }

  // Keeps the files of the first project that has any; later ones are
  // dropped. Files other than media are written out and listed in Written();
  // module libraries among them are registered (RegisterModuleLibrary).
  void Take(std::vector<EmbeddedFile> files);
  // Paths of the files written out, in order; an empty path for a file that
  // could not be written.
  const std::vector<std::string>& Written() const { return written_; }
  const std::vector<EmbeddedFile>& InMemory() const { return in_memory_; }

  std::string ResolveFilePath(std::string_view name,
                              std::string_view default_extension) const override;
  // Relative names are looked for in the recording folder first, where the
  // host has given one. Embedded contents stay owned by this object.
  // Thread: editor or the media file thread.
  std::optional<DataFile> OpenDataFile(std::string_view name,
                                       std::string_view default_extension) const override;

  // Recordings go into the absolute `folder` instead of
  // the library folder; before any engine opens.
  void SetRecordingFolder(std::string folder);
  const std::string& RecordingFolder() const override;
  std::string ResolveRecordingPath(std::string_view name,
                                   std::string_view default_extension) const override;

  // The files opened from disk so far: each path a name resolved to, with
  // the path actually read (another one when it was moved). Thread: any.
  std::map<std::string, std::string> FilesReadFromDisk() const;
  // From now on each resolved path in `moved` opens the file it maps to,
  // when that file exists; replaces the earlier moves, which it returns.
  // Thread: any.
  std::map<std::string, std::string> MoveFiles(std::map<std::string, std::string> moved);

 private:
  std::string WriteOut(const EmbeddedFile& file, const std::optional<int64_t>& library_time);
  // The file on disk for the resolved `path`, noted as read; empty when
  // there is none.
  std::string FindOnDisk(const std::string& path) const;

  std::string library_path_;
  std::string library_folder_;
  MessageSink& messages_;
  std::vector<EmbeddedFile> in_memory_;
  std::vector<std::string> written_;
  bool taken_ = false;
  std::string recording_folder_;  // empty: the library folder
  mutable std::mutex disk_lock_;  // guards the two maps below
  mutable std::map<std::string, std::string> read_from_disk_;
  std::map<std::string, std::string> moved_;
};

}  // namespace ov
