// Where recordings go: only inside the recording folder (the library
// folder, under the user's data folder when the plug-in's own folder cannot
// be written, unless the host keeps the session's files elsewhere).
// Names resolve as the files modules read do; the recorder's extension is
// forced; names that would leave the folder (absolute paths elsewhere,
// "..", symbolic links below it) are refused; an existing file is never
// replaced: the take gets the next free "<stem>-2", "<stem>-3", … instead.
// Shared by the wave and MIDI recorders.
// Thread: editor.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/new_file.h"

namespace ov {

class DataFiles;
class ug_base;

struct RecordingTake {
  NewFile file;
  std::string path;
  // Set when the take could not have the name asked for: what to tell the
  // user.
  std::string notice;
};

class RecordingTarget {
 public:
  explicit RecordingTarget(const DataFiles* files) : files_(files) {}

  // Creates the take for `name` with `extension` ("wav", "mid"). On failure
  // `error` is "File open error : " and the path.
  std::optional<RecordingTake> Create(std::string_view name, std::string_view extension,
                                      std::string* error) const;

 private:
  const DataFiles* files_;
};

// The take of a recorder module, from its engine's files: the user is told
// (through the module's message box) when the name was taken, and when no
// take could be created, in which case the engine is also asked to stop.
// Editor thread, while the engine opens.
std::optional<RecordingTake> CreateTake(ug_base& recorder, std::string_view name,
                                        std::string_view extension);

}  // namespace ov
