// Reading and writing whole document streams.
#include <cstdio>

#include "document/archive_writer.h"
#include "document/container.h"
#include "document/document.h"
#include "document/load_checks.h"
#include "document/object_archive.h"
#include "document/vst_plugin_module.h"
#include "platform/message_sink.h"
#include "platform/text.h"

namespace ov {
namespace {

// Versions have grown by a few hundred a year; a first word far beyond the
// current one, or below zero, is no version at all but some other file.
constexpr int32_t kHighestPlausibleVersion = 10 * kCurrentLoadVersion;

// A hosted plug-in that could not be loaded plays nothing: the user hears
// why rather than silence alone.
void ReportHostedLoadErrors(const CContainer& container, MessageSink& messages) {
  for (const auto& child : container.children()) {
    if (const auto* sub = dynamic_cast<const CContainer*>(child.get())) {
      ReportHostedLoadErrors(*sub, messages);
    } else if (const auto* hosted = dynamic_cast<const Ctl_VST_Plugin*>(child.get())) {
      if (!hosted->load_error().empty()) messages.Post(hosted->load_error(), MessageStyle::kWarning);
    }
  }
}

}  // namespace

LoadResult COrvaneDocBase::Load(std::span<const uint8_t> stream, const LoadOptions& options) {
  *this = COrvaneDocBase();
  LoadResult result;
  // Declared before the document it fills, so that objects nothing adopted
  // are freed after the checks have cleared every reference to them.
  ObjectArchive archive(stream);
  archive.set_messages(options.messages);
  archive.set_modules(options.modules);
  COrvaneDocBase loaded;
  try {
    const int32_t version = archive.ReadInt32();
    if (version < 0 || version > kHighestPlausibleVersion) {
      result.message = "not an Orvane project: the file does not start with a stream version";
      return result;
    }
    if (version > kCurrentLoadVersion) {
      result.refused_newer = true;
      // The number is shown as the stream version times 0.01 in single
      // precision, as users have always seen it.
      const float shown = static_cast<float>(version) * 0.01f;
      result.message = "Load Cancelled.  File created by a newer version of Orvane (V" +
                       FormatFixed(shown, 2) + "). See Orvane web site for latest version.";
      if (options.messages != nullptr) {
        options.messages->Post(result.message, MessageStyle::kInformation);
      }
      return result;
    }
    archive.SetLoadVersion(version);
    loaded.set_version(version);
    loaded.on_files_ = options.on_files;
    loaded.Serialize(archive);
    loaded.on_files_ = nullptr;
    CheckLoadedDocument(loaded, options.messages);
  } catch (const ArchiveError& error) {
    result.kind = error.kind();
    result.message = error.Describe();
    return result;
  }
  *this = std::move(loaded);
  RunPasses(options.initialise);
  if (options.messages != nullptr && root_ != nullptr) {
    ReportHostedLoadErrors(*root_, *options.messages);
  }
  result.ok = true;
  return result;
}

std::vector<uint8_t> COrvaneDocBase::Write(int32_t version) const {
  ArchiveWriter writer(version);
  writer.WriteInt32(version);
  // Serialize() walks in both directions; writing leaves the document as
  // it was.
  const_cast<COrvaneDocBase*>(this)->Serialize(writer);
  return writer.TakeBytes();
}

}  // namespace ov
