// The engine halves of the patch-memory modules ("PatchMemFloatIn",
// "PatchMemListIn2", "PatchMemFloatOut", "PatchMemFloatOutB" and "Patch Mem -
// Text in"). Each passes one value from an input to an output that share it,
// and tells the output's connections with a one-shot status whenever the
// input changes. The value arrives from the module's patch parameter, or for
// the "Out" modules from the graph on "Value In", passed on to "P".
//
// Threads: made and opened on the editor thread while audio is stopped;
// status changes on the audio thread, where nothing allocates (a text plug's
// storage is reserved when its buffers are set up).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_table.h"
#include "modules/static_plug_table.h"

namespace ov {

// One value shared by an input and an output plug. The plugs are the static
// plug table's, panel-side ones included, so descriptor positions are the
// table's (the rows documents number their plugs by).
template <typename T>
class ug_patch_memory : public ug_base {
 public:
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 protected:
  // The rows of the two plugs in `table`, and their engine plug numbers.
  struct Shape {
    StaticPlugTable table;
    int32_t in_row, out_row, in_plug, out_plug;
  };
  explicit ug_patch_memory(const Shape& shape) : shape_(shape) {}

 private:
  Shape shape_;
  T value_{};
};

// "PatchMemFloatIn": "Value" to "Value Out".
class ug_param_float_in2 final : public ug_patch_memory<float> {
 public:
  enum Plug : int32_t { kValue, kValueOut };
  ug_param_float_in2();
  std::unique_ptr<ug_base> CreateInstance() const override;
};

// "PatchMemListIn2": "Value" to "List Out".
class ug_param_enum_in2 final : public ug_patch_memory<int16_t> {
 public:
  enum Plug : int32_t { kValue, kListOut };
  ug_param_enum_in2();
  std::unique_ptr<ug_base> CreateInstance() const override;
};

// "PatchMemFloatOut" and "PatchMemFloatOutB": "Value In" to "P". The two
// types' plugs differ only on the panel side; `table` is the type's.
class ug_param_float_out2 final : public ug_patch_memory<float> {
 public:
  enum Plug : int32_t { kP, kValueIn };
  explicit ug_param_float_out2(StaticPlugTable table);
  std::unique_ptr<ug_base> CreateInstance() const override;

 private:
  StaticPlugTable table_;
};

// "Patch Mem - Text in": "Value" to "Text Out", one text.
class ug_param_text_in final : public ug_base {
 public:
  enum Plug : int32_t { kValue, kTextOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  std::string text_;
};

}  // namespace ov
