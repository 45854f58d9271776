// How generators find the files a project names: media files to read (on
// disk, or carried in the project) and the folder where files may be
// written. The application provides them; the engine only passes them on.
// Thread: editor, or the media file thread (engine/media_file_thread.h) while
// the engine runs; never the audio thread. The files do not change while an
// engine exists, except that a restored session may say where files read
// from disk are now (the next engine to open reads them there).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ov {

// A file that a module may read: a path on disk, or embedded contents (which
// stay owned by whoever served them).
struct DataFile {
  std::string path;
  std::span<const uint8_t> memory;
  bool InMemory() const { return path.empty(); }
};

class DataFiles {
 public:
  virtual ~DataFiles() = default;
  // The folder of the files the project carries (module libraries, skins);
  // ends in "/".
  virtual const std::string& LibraryFolder() const = 0;
  // The only folder recordings are written into, where names the recorders
  // are given resolve; ends in "/". The library folder unless the host keeps
  // the session's files elsewhere.
  virtual const std::string& RecordingFolder() const { return LibraryFolder(); }
  virtual std::string ResolveRecordingPath(std::string_view name,
                                           std::string_view default_extension) const {
    return ResolveFilePath(name, default_extension);
  }
  // The path a module should open for `name`: the default extension added
  // when the name has none; relative names inside the library folder.
  virtual std::string ResolveFilePath(std::string_view name,
                                      std::string_view default_extension) const = 0;
  // The file on disk when it exists, else the embedded file with the same
  // last name component (ignoring case), else nothing.
  virtual std::optional<DataFile> OpenDataFile(std::string_view name,
                                               std::string_view default_extension) const = 0;
};

}  // namespace ov
