#include "document/project_text.h"

#include "document/load_checks.h"
#include "document/project_shorthands.h"
#include "document/skins.h"
#include "document/text_reader.h"

namespace ov {
namespace {

// Skins given by folder become the full records they stand for, so the rest
// of the compile (and a later dump) sees only stored fields. A project that
// lists skins stores them without saying "skins_present".
Json ExpandSkinFolders(const Json& text, int32_t version, const CompileOptions& options) {
  const auto skins = text.find("skins");
  if (skins == text.end() || !skins->is_array()) return text;
  Json expanded = text;
  if (!expanded.contains("skins_present")) expanded["skins_present"] = true;
  for (std::size_t i = 0; i < skins->size(); ++i) {
    const Json& given = (*skins)[i];
    if (!given.is_object() || !given.contains("folder")) continue;
    const std::string where = "skins[" + std::to_string(i) + "]";
    for (const auto& [key, value] : given.items()) {
      if (key != "name" && key != "folder") {
        throw ArchiveError(ArchiveErrorKind::kGeneric, where + "." + key,
                           "a skin folder takes only \"name\" and \"folder\"");
      }
    }
    const auto name = given.find("name");
    const Json& folder = given["folder"];
    if ((name != given.end() && !name->is_string()) || !folder.is_string() ||
        folder.get<std::string>().empty()) {
      throw ArchiveError(ArchiveErrorKind::kGeneric, where, "expected a name and a folder path");
    }
    if (version < 94961) {
      throw ArchiveError(ArchiveErrorKind::kGeneric, where,
                         "skin folders are stored as PNG images, from version 94961 on");
    }
    if (!options.skin_folder) {
      throw ArchiveError(ArchiveErrorKind::kGeneric, where, "skin folders are not read here");
    }
    const std::string path = folder.get<std::string>();
    const std::string full = path.front() == '/' ? path : options.base_directory + "/" + path;
    std::string error;
    std::unique_ptr<SkinInfo> skin = options.skin_folder(
        name != given.end() ? name->get<std::string>() : "default", full, &error);
    if (!skin) throw ArchiveError(ArchiveErrorKind::kGeneric, where + ".folder", error);
    Json record;
    TextWriter writer(version, record, nullptr);
    skin->Serialize(writer);
    expanded["skins"][i] = std::move(record);
  }
  return expanded;
}

}  // namespace

Json DumpDocument(const COrvaneDocBase& document) {
  // The first walk finds the objects that are named again; the second
  // prints, giving those objects their ids.
  auto& walked = const_cast<COrvaneDocBase&>(document);
  Json gathered;
  TextWriter gather(document.version(), gathered, nullptr);
  walked.Serialize(gather);
  Json text = {{"version", document.version()}};
  TextWriter print(document.version(), text, &gather.referenced_ids());
  walked.Serialize(print);
  return text;
}

std::optional<Json> ParseProjectText(std::string_view text, std::string* error) {
  // Thrown from the parser's callback, so nesting stops growing at once.
  struct TooDeep {};
  try {
    return Json::parse(text.begin(), text.end(), [](int depth, Json::parse_event_t, const Json&) {
      if (depth > kMaxProjectTextDepth) throw TooDeep{};
      return true;
    });
  } catch (const TooDeep&) {
    *error = "nested more than " + std::to_string(kMaxProjectTextDepth) + " levels deep";
  } catch (const Json::exception& parse_error) {
    *error = parse_error.what();
  }
  return std::nullopt;
}

COrvaneDocBase CompileDocument(const Json& text, const CompileOptions& options) {
  if (!text.is_object()) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, "(top)", "expected an object");
  }
  int32_t version = kCurrentLoadVersion;
  if (const auto given = text.find("version"); given != text.end()) {
    // Any version a stream may carry, old and odd ones included.
    if (!given->is_number_integer() || given->get<int64_t>() < INT32_MIN ||
        given->get<int64_t>() > kCurrentLoadVersion) {
      throw ArchiveError(
          ArchiveErrorKind::kGeneric, "version",
          "expected a stream version of at most " + std::to_string(kCurrentLoadVersion));
    }
    version = given->get<int32_t>();
  }
  const Json expanded = ExpandSkinFolders(text, version, options);
  ProjectShorthands shorthands(options);
  // The reader holds the objects until the document adopts them, so it must
  // outlive the checks below.
  TextReader reader(expanded, version, &shorthands);
  reader.set_messages(options.messages);
  reader.set_modules(options.modules);
  reader.Take("version");
  COrvaneDocBase document;
  document.set_version(version);
  document.Serialize(reader);
  reader.CheckAllUsed();
  CheckLoadedDocument(document, options.messages);
  shorthands.ApplyPatchValues();
  shorthands.CheckFileNames(document);
  return document;
}

}  // namespace ov
