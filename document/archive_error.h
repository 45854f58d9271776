// Why reading a project stream (or its text form) stopped. Reading stops at
// the first error; the caller gets no partial document.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ov {

enum class ArchiveErrorKind {
  kGeneric,      // an impossible length, nesting too deep, an object adopted twice
  kEndOfData,    // the bytes ran out before a read was complete
  kBadIndex,     // an index that is not in the table, or names the wrong kind of entry
  kBadClass,     // an unknown class name, or an object of the wrong class
  kBadSchema,    // a stored schema that the class does not accept
  kOutOfMemory,  // a class could not create its object
};

std::string_view ArchiveErrorKindName(ArchiveErrorKind kind);

class ArchiveError : public std::runtime_error {
 public:
  // `where` is the byte offset in a stream, or the JSON path in a text form.
  ArchiveError(ArchiveErrorKind kind, std::string where, const std::string& detail)
      : std::runtime_error(detail), kind_(kind), where_(std::move(where)) {}

  ArchiveErrorKind kind() const { return kind_; }
  const std::string& where() const { return where_; }
  // "bad index at byte 42: class index 9 names an object"
  std::string Describe() const;

 private:
  ArchiveErrorKind kind_;
  std::string where_;
};

}  // namespace ov
