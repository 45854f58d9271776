// The root of every object that a project stream can hold.
//
// Threads: persistent objects belong to the document, which lives on the
// editor thread.
#pragma once

#include "document/serial_class.h"

namespace ov {

class FieldWalker;

class Persistent {
 public:
  virtual ~Persistent() = default;
  virtual const SerialClass& GetClass() const = 0;
  // Walks the object's stored fields in stream order, base class first. The
  // same walk reads a stream, writes one, converts to and from text and checks
  // references, so each class describes its fields once.
  virtual void Serialize(FieldWalker& walker) = 0;

  bool IsKindOf(const SerialClass& serial_class) const { return GetClass().IsKindOf(serial_class); }
};

}  // namespace ov
