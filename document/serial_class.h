// Stream classes: the classes whose objects a project stream can hold, found
// by the exact name stored in the stream's class records.
//
// Threads: the registry is filled once, on first use, and only read after
// that; any thread may look classes up.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace ov {

class Persistent;

struct SerialClass {
  using Factory = std::unique_ptr<Persistent> (*)();

  const char* name;
  uint32_t schema;
  // A versionable class accepts any stored schema; the writer stores the
  // schema's low 16 bits.
  bool versionable;
  Factory factory;          // makes an empty object of the class
  const SerialClass* base;  // null for a root class

  // True when this class is `other` or derives from it.
  bool IsKindOf(const SerialClass& other) const;
};

template <class T>
std::unique_ptr<Persistent> MakeObject() {
  return std::make_unique<T>();
}

class SerialClassRegistry {
 public:
  // A second class with a name already registered is ignored.
  void Register(const SerialClass& serial_class);
  const SerialClass* FindByName(std::string_view name) const;
  std::size_t size() const { return classes_.size(); }

 private:
  std::map<std::string, const SerialClass*, std::less<>> classes_;
};

// Every class that a project stream may hold.
const SerialClassRegistry& StreamClasses();

}  // namespace ov
