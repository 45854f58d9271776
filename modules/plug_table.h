// Compiled-in descriptor lists. Each generator class's plugs are one table of
// PlugSpec rows in plug order; a module type lists its descriptors by
// converting its table (PlugSpec rows have no members to bind: generators
// that bind members build their own descriptors).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <type_traits>
#include <vector>

#include "engine/interface_object.h"

namespace ov {

struct PlugSpec {
  const char* name;
  int32_t direction;  // PlugDirection
  int32_t datatype;   // PlugDatatype
  const char* default_text;
  const char* list_text;
  int32_t flags;  // DescriptorFlag bits as listed; the descriptor adds its own rule
  const char* hint;
};

using PlugTable = std::span<const PlugSpec>;

// Appends one descriptor per row, in table order.
void AppendPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors);

// The generator member a plug is bound to: an audio plug's sample pointer
// (set to the plug's data when the generator opens) or a control plug's
// value (the plug reads and writes it in place).
class PlugMember {
 public:
  PlugMember() = default;  // unbound: the plug keeps its own storage
  PlugMember(float*& buffer) : buffer_(&buffer) {}  // NOLINT: bindings read as a list
  template <typename T>
    requires(!std::is_same_v<T, float*>)
  PlugMember(T& value) : value_(&value) {}  // NOLINT
  float** buffer() const { return buffer_; }
  void* value() const { return value_; }

 private:
  float** buffer_ = nullptr;
  void* value_ = nullptr;
};

// As above, binding row i to members[i]; rows beyond the members stay
// unbound. More members than rows is a programming error (std::logic_error).
void AppendPlugs(PlugTable table, std::span<const PlugMember> members,
                 std::vector<InterfaceObject>& descriptors);
void AppendPlugs(PlugTable table, std::initializer_list<PlugMember> members,
                 std::vector<InterfaceObject>& descriptors);

// Rows of `first` followed by rows of `second`: for generator classes that
// list their base class's plugs before their own.
template <std::size_t N, std::size_t M>
constexpr std::array<PlugSpec, N + M> JoinPlugs(const std::array<PlugSpec, N>& first,
                                                const std::array<PlugSpec, M>& second) {
  std::array<PlugSpec, N + M> joined{};
  for (std::size_t i = 0; i < N; ++i) joined[i] = first[i];
  for (std::size_t i = 0; i < M; ++i) joined[N + i] = second[i];
  return joined;
}

}  // namespace ov
