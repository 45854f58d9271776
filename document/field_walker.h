// One walk over an object's stored fields, used for every purpose: reading a
// project stream, writing one, converting to and from text, and the checks
// after a load. A class's Serialize() names each field once, in stream order,
// with the load-version conditions that decide whether it is present; the
// walker decides what happens to it.
//
// Threads: a walker is used by one thread for one walk (the editor thread
// for documents, any thread for the tools).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/archive_error.h"
#include "document/geometry.h"
#include "document/persistent.h"

namespace ov {

class MessageSink;
class ModuleRegistry;

inline constexpr int32_t kCurrentLoadVersion = 95960;

enum class WalkPurpose {
  kReadStream,
  kWriteStream,
  kReadText,
  kWriteText,
  kCollectOwned,     // finds every object the document owns
  kClearReferences,  // clears references to objects the document does not own
};

// How a list's length is stored.
enum class CountForm {
  kCount,       // uint16, or 0xFFFF and a uint32, as typed lists store it
  kInt32,       // int32; a negative count reads as 0
  kFixed,       // not stored: the class knows the length
  kTerminated,  // not stored: the list ends with a marker element
};

class FieldWalker {
 public:
  // Lists walked by a stream reader with CountForm::kTerminated report this
  // length; the class stops at the marker.
  static constexpr std::size_t kUntilMarker = SIZE_MAX;

  FieldWalker(WalkPurpose purpose, int32_t load_version)
      : purpose_(purpose), load_version_(load_version) {}
  virtual ~FieldWalker() = default;
  FieldWalker(const FieldWalker&) = delete;
  FieldWalker& operator=(const FieldWalker&) = delete;

  WalkPurpose purpose() const { return purpose_; }
  // The version of the stream being read or written: it decides which fields
  // are present, whatever the class schema says.
  int32_t LoadVersion() const { return load_version_; }
  // A stream's version is known once its first field has been read.
  void SetLoadVersion(int32_t version) { load_version_ = version; }
  // Fields receive values from the walk.
  bool Loading() const {
    return purpose_ == WalkPurpose::kReadStream || purpose_ == WalkPurpose::kReadText;
  }
  bool Storing() const {
    return purpose_ == WalkPurpose::kWriteStream || purpose_ == WalkPurpose::kWriteText;
  }
  bool InStream() const {
    return purpose_ == WalkPurpose::kReadStream || purpose_ == WalkPurpose::kWriteStream;
  }
  // Where loading reports what the user must see (a module type that is not
  // registered, for example); may be null.
  MessageSink* messages() const { return messages_; }
  void set_messages(MessageSink* messages) { messages_ = messages; }
  // The module types that stored type keys name; the built-in registry when
  // none is set.
  const ModuleRegistry& modules() const;
  void set_modules(const ModuleRegistry* modules) { modules_ = modules; }

  // Stops the walk: the stored data cannot be what it claims to be.
  [[noreturn]] virtual void Fail(ArchiveErrorKind kind, const std::string& detail) const;

  virtual void UInt8(std::string_view name, uint8_t& value);
  virtual void Bool8(std::string_view name, bool& value);
  virtual void Int16(std::string_view name, int16_t& value);
  virtual void UInt16(std::string_view name, uint16_t& value);
  virtual void Bool16(std::string_view name, bool& value);
  virtual void Int32(std::string_view name, int32_t& value);
  virtual void UInt32(std::string_view name, uint32_t& value);
  virtual void Bool32(std::string_view name, bool& value);
  virtual void Float32(std::string_view name, float& value);
  virtual void Float64(std::string_view name, double& value);
  virtual void RectField(std::string_view name, Rect& value);
  virtual void PointField(std::string_view name, Point& value);
  virtual void String(std::string_view name, std::string& value);
  // Exactly `size` raw bytes; loading resizes `bytes`.
  virtual void Bytes(std::string_view name, std::vector<uint8_t>& bytes, std::size_t size);
  // A raw block preceded by its length in `form` (kCount or kInt32).
  virtual void SizedBytes(std::string_view name, std::vector<uint8_t>& bytes, CountForm form);

  // An object tag and, for a new object, its contents. `owned` says that the
  // field holds the object (the caller adopts it when loading) rather than
  // naming an object held elsewhere.
  virtual void Object(std::string_view name, Persistent*& object, const SerialClass* expected,
                      bool owned);
  // Loading: takes an object that this walk delivered from Object(), once.
  virtual std::unique_ptr<Persistent> Adopt(Persistent* object);
  // Loading: shares an object among several holders.
  virtual std::shared_ptr<Persistent> Share(Persistent* object);

  // Starts a list. Returns the number of elements to walk: the stored length
  // when loading (kUntilMarker for a terminated list read from a stream),
  // `count` otherwise; nullopt when reading text that leaves the list out, in
  // which case the list keeps what it holds. `min_element_bytes` is the least
  // that one element takes in a stream; readers refuse counts that the
  // remaining bytes cannot hold before anything is allocated.
  virtual std::optional<std::size_t> BeginList(std::string_view name, std::size_t count,
                                               CountForm form, std::size_t min_element_bytes);
  virtual void EndList() {}
  // Each element of a list is walked between these. Unnamed fields ("") in an
  // element stand for the element itself.
  virtual void BeginElement() {}
  virtual void EndElement() {}
  // A group of fields kept together in text; nothing in a stream.
  virtual void BeginGroup(std::string_view name);
  virtual void EndGroup() {}

 private:
  WalkPurpose purpose_;
  int32_t load_version_;
  MessageSink* messages_ = nullptr;
  const ModuleRegistry* modules_ = nullptr;
};

// --- Helpers for the usual field shapes ------------------------------------

template <class T>
void Ref(FieldWalker& walker, std::string_view name, T*& field) {
  Persistent* object = field;
  walker.Object(name, object, &T::kClass, false);
  field = static_cast<T*>(object);
}

template <class T>
void Owned(FieldWalker& walker, std::string_view name, std::unique_ptr<T>& field) {
  Persistent* object = field.get();
  walker.Object(name, object, &T::kClass, true);
  if (walker.Loading() && object != field.get()) {
    std::unique_ptr<Persistent> adopted = object ? walker.Adopt(object) : nullptr;
    field.reset(static_cast<T*>(adopted.release()));
  }
}

// A typed list: a count, then object tags. Null entries carry
// nothing and are dropped.
template <class T>
void OwnedList(FieldWalker& walker, std::string_view name, std::vector<std::unique_ptr<T>>& list) {
  const std::optional<std::size_t> count =
      walker.BeginList(name, list.size(), CountForm::kCount, 2);
  if (count) {
    std::vector<std::unique_ptr<T>> loaded;
    for (std::size_t i = 0; i < *count; ++i) {
      walker.BeginElement();
      if (walker.Loading()) {
        std::unique_ptr<T> element;
        Owned(walker, "", element);
        if (element) loaded.push_back(std::move(element));
      } else {
        Owned(walker, "", list[i]);
      }
      walker.EndElement();
    }
    if (walker.Loading()) list = std::move(loaded);
  }
  walker.EndList();
}

// A typed list of references to objects held elsewhere. Null entries are
// dropped, and so are references that the checks after a load clear.
template <class T>
void RefList(FieldWalker& walker, std::string_view name, std::vector<T*>& list) {
  const std::optional<std::size_t> count =
      walker.BeginList(name, list.size(), CountForm::kCount, 2);
  if (count) {
    if (walker.Loading()) list.assign(*count, nullptr);
    for (std::size_t i = 0; i < *count; ++i) {
      walker.BeginElement();
      Ref(walker, "", list[i]);
      walker.EndElement();
    }
    std::erase(list, nullptr);
  }
  walker.EndList();
}

// References until a null tag, which a stream stores after the last one.
template <class T>
void RefsUntilNull(FieldWalker& walker, std::string_view name, std::vector<T*>& list) {
  const std::optional<std::size_t> count =
      walker.BeginList(name, list.size(), CountForm::kTerminated, 2);
  if (count) {
    std::vector<T*> loaded;
    for (std::size_t i = 0; i < *count; ++i) {
      T* member = walker.Loading() ? nullptr : list[i];
      walker.BeginElement();
      Ref(walker, "", member);
      walker.EndElement();
      if (member == nullptr && walker.purpose() == WalkPurpose::kReadStream) break;
      loaded.push_back(member);
    }
    if (walker.purpose() == WalkPurpose::kWriteStream) {
      T* marker = nullptr;
      Ref(walker, "", marker);
    }
    std::erase(loaded, nullptr);
    list = std::move(loaded);
  }
  walker.EndList();
}

// An array of strings: a count, then the strings.
void StringArray(FieldWalker& walker, std::string_view name, std::vector<std::string>& strings);

// int32 n, then n int32 values.
void Int32Array(FieldWalker& walker, std::string_view name, std::vector<int32_t>& values);

// A fixed number of int32 values, stored without a count.
void FixedInt32s(FieldWalker& walker, std::string_view name, std::span<int32_t> values);

}  // namespace ov
