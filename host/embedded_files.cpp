#include "host/embedded_files.h"

#include "extmodules/module_library.h"
#include "modules/module_registry.h"

#include <algorithm>

#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/message_sink.h"
#include "platform/text.h"

namespace ov {
namespace {

bool StaysInMemory(std::string_view name) {
  const std::string extension = FileExtension(name);
  return extension == "mid" || extension == "wav" || extension == "sf2";
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of('/');
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string ChooseLibraryFolder(const std::string& library_path,
                                EmbeddedFiles::WritableCheck can_write) {
  const std::string stem(WithoutExtension(LastComponent(library_path)));
  const std::string beside = FolderOf(library_path) + stem + "/";
  if ((can_write != nullptr ? can_write : &CanWriteInto)(beside)) return beside;
  const std::string data = UserDataFolder();
  return data.empty() ? beside : data + "/orvane/" + stem + "/";
}

// `name` with the default extension added when it has none; relative names
// inside `folder`.
std::string ResolveIn(const std::string& folder, std::string_view name,
                      std::string_view default_extension) {
  std::string resolved(name);
  if (FileExtension(resolved).empty() && !default_extension.empty()) {
    resolved += ".";
    resolved += default_extension;
  }
  if (IsAbsoluteName(resolved)) return resolved;
  std::replace(resolved.begin(), resolved.end(), '\\', '/');
  return folder + resolved;
}

}  // namespace

EmbeddedFiles::EmbeddedFiles(std::string library_path, MessageSink& messages,
                             WritableCheck can_write)
    : library_path_(std::move(library_path)),
      library_folder_(ChooseLibraryFolder(library_path_, can_write)),
      messages_(messages) {}

void EmbeddedFiles::Take(std::vector<EmbeddedFile> files) {
  if (files.empty() || taken_) return;
  taken_ = true;
  std::optional<int64_t> library_time;
  bool folder_ready = false;
  for (EmbeddedFile& file : files) {
    if (StaysInMemory(file.name)) {
      in_memory_.push_back(std::move(file));
      continue;
    }
    if (!folder_ready) {
      CreateFolder(library_folder_);
      library_time = FileModificationTime(library_path_);
      folder_ready = true;
    }
    written_.push_back(WriteOut(file, library_time));
    // Module libraries join the process's module types; other libraries
    // are listed for the hosted plug-in module.
    const std::string& path = written_.back();
    if (!path.empty()) RegisterModuleLibrary(ProcessModules(), "", path, path, &messages_);
  }
}

std::string EmbeddedFiles::WriteOut(const EmbeddedFile& file,
                                    const std::optional<int64_t>& library_time) {
  const std::string_view component = LastComponent(file.name);
  if (!IsWritableComponent(component)) {
    messages_.Post(
        "The embedded file \"" + file.name + "\" has no usable name and was not written.",
        MessageStyle::kWarning);
    return {};
  }
  const std::string path = library_folder_ + std::string(component);
  // A copy on disk at least as new as the library is the user's to keep; a
  // symbolic link under the name is replaced, never written through.
  const auto existing_time = FileModificationTime(path);
  if (existing_time && library_time && *existing_time >= *library_time && !IsSymbolicLink(path)) {
    return path;
  }
  std::string error;
  if (!ReplaceFileAtomically(path, file.contents, &error)) {
    messages_.Post("The embedded file \"" + file.name + "\" could not be written: " + error,
                   MessageStyle::kWarning);
    return {};
  }
  return path;
}

std::string EmbeddedFiles::ResolveFilePath(std::string_view name,
                                           std::string_view default_extension) const {
  return ResolveIn(library_folder_, name, default_extension);
}

std::string EmbeddedFiles::ResolveRecordingPath(std::string_view name,
                                                std::string_view default_extension) const {
  return ResolveIn(RecordingFolder(), name, default_extension);
}

void EmbeddedFiles::SetRecordingFolder(std::string folder) {
  if (!folder.empty() && !folder.ends_with('/')) folder += '/';
  recording_folder_ = std::move(folder);
}

const std::string& EmbeddedFiles::RecordingFolder() const {
  return recording_folder_.empty() ? library_folder_ : recording_folder_;
}

std::map<std::string, std::string> EmbeddedFiles::FilesReadFromDisk() const {
  std::lock_guard lock(disk_lock_);
  return read_from_disk_;
}

std::map<std::string, std::string> EmbeddedFiles::MoveFiles(
    std::map<std::string, std::string> moved) {
  std::lock_guard lock(disk_lock_);
  std::swap(moved_, moved);
  return moved;
}

std::string EmbeddedFiles::FindOnDisk(const std::string& path) const {
  std::lock_guard lock(disk_lock_);
  const auto move = moved_.find(path);
  std::string found = move != moved_.end() && IsRegularFile(move->second) ? move->second
                      : IsRegularFile(path)                               ? path
                                                                          : std::string();
  if (!found.empty()) read_from_disk_[path] = found;
  return found;
}

std::optional<DataFile> EmbeddedFiles::OpenDataFile(std::string_view name,
                                                    std::string_view default_extension) const {
  const std::string path = ResolveFilePath(name, default_extension);
  // A take the project plays back is where its recorder wrote it.
  if (!recording_folder_.empty() && !IsAbsoluteName(name)) {
    std::string recorded = FindOnDisk(ResolveRecordingPath(name, default_extension));
    if (!recorded.empty()) return DataFile{std::move(recorded), {}};
  }
  if (std::string found = FindOnDisk(path); !found.empty()) return DataFile{std::move(found), {}};
  const std::string_view wanted = LastComponent(path);
  for (const EmbeddedFile& file : in_memory_) {
    if (EqualsIgnoringCase(LastComponent(file.name), wanted)) return DataFile{{}, file.contents};
  }
  return std::nullopt;
}

}  // namespace ov
