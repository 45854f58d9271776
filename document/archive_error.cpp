#include "document/archive_error.h"

namespace ov {

std::string_view ArchiveErrorKindName(ArchiveErrorKind kind) {
  switch (kind) {
    case ArchiveErrorKind::kGeneric:
      return "generic error";
    case ArchiveErrorKind::kEndOfData:
      return "end of data";
    case ArchiveErrorKind::kBadIndex:
      return "bad index";
    case ArchiveErrorKind::kBadClass:
      return "bad class";
    case ArchiveErrorKind::kBadSchema:
      return "bad schema";
    case ArchiveErrorKind::kOutOfMemory:
      return "out of memory";
  }
  return "unknown error";
}

std::string ArchiveError::Describe() const {
  std::string text(ArchiveErrorKindName(kind_));
  if (!where_.empty()) text += " at " + where_;
  const std::string detail = what();
  if (!detail.empty()) text += ": " + detail;
  return text;
}

}  // namespace ov
