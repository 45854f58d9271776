#include "media/recording_target.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/ug_base.h"
#include "platform/files.h"

namespace ov {
namespace {

// More takes of one name than anyone keeps: beyond it, creation fails.
constexpr int kMaxTakes = 9999;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<std::string_view> Components(std::string_view relative) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = std::min(relative.find('/', start), relative.size());
    parts.push_back(relative.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Whether `relative` names a file inside `folder` without leaving it.
bool StaysInside(const std::string& folder, std::string_view relative) {
  const std::vector<std::string_view> parts = Components(relative);
  if (parts.back().empty() || parts.back() == ".") return false;
  std::string walk = folder;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "..") return false;
    if (parts[i].empty() || parts[i] == ".") continue;
    walk += parts[i];
    if (i + 1 < parts.size()) {
      if (IsSymbolicLink(walk)) return false;
      walk += "/";
    }
  }
  return true;
}

}  // namespace

std::optional<RecordingTake> RecordingTarget::Create(std::string_view name,
                                                     std::string_view extension,
                                                     std::string* error) const {
  const std::string asked(name);
  std::string path = files_ != nullptr ? files_->ResolveRecordingPath(name, extension) : asked;
  *error = "File open error : " + path;
  if (files_ == nullptr || name.empty()) return std::nullopt;
  // The recorder's own extension, whatever the name says.
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!has_extension || !SameIgnoringCase(std::string_view(path).substr(dot + 1), extension)) {
    path += ".";
    path += extension;
  }
  *error = "File open error : " + path;
  const std::string& folder = files_->RecordingFolder();
  if (!path.starts_with(folder) ||
      !StaysInside(folder, std::string_view(path).substr(folder.size()))) {
    return std::nullopt;
  }
  CreateFolder(folder);
  const std::string stem = path.substr(0, path.size() - extension.size() - 1);
  RecordingTake take;
  for (int number = 1; number <= kMaxTakes; ++number) {
    take.path =
        number == 1 ? path : stem + "-" + std::to_string(number) + "." + std::string(extension);
    const NewFile::Outcome outcome = take.file.Create(take.path);
    if (outcome == NewFile::Outcome::kFailed) break;
    if (outcome == NewFile::Outcome::kExists) continue;
    if (number > 1) take.notice = path + " exists: recording to " + take.path;
    error->clear();
    return take;
  }
  return std::nullopt;
}

std::optional<RecordingTake> CreateTake(ug_base& recorder, std::string_view name,
                                        std::string_view extension) {
  std::string error;
  std::optional<RecordingTake> take =
      RecordingTarget(recorder.Master()->Host().MediaFiles()).Create(name, extension, &error);
  if (!take) {
    recorder.RequestMessageBox(error);
    recorder.Master()->RequestStop();
  } else if (!take->notice.empty()) {
    recorder.RequestMessageBox(take->notice);
  }
  return take;
}

}  // namespace ov
