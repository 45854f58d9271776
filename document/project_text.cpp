#include "document/project_text.h"

#include "document/load_checks.h"
#include "document/project_shorthands.h"
#include "document/text_reader.h"

namespace ov {

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
  ProjectShorthands shorthands(options);
  // The reader holds the objects until the document adopts them, so it must
  // outlive the checks below.
  TextReader reader(text, version, &shorthands);
  reader.set_messages(options.messages);
  reader.set_modules(options.modules);
  reader.Take("version");
  COrvaneDocBase document;
  document.set_version(version);
  document.Serialize(reader);
  reader.CheckAllUsed();
  CheckLoadedDocument(document, options.messages);
  shorthands.ApplyPatchValues();
  return document;
}

}  // namespace ov
