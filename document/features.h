// Features: the named, typed values an object offers to be bound from
// outside, numbered from 0. A widget describes each of its features with
// the reference (output binding) or variable (input binding) that holds
// it; the panel binds a feature plug's variable to the feature of the same
// index.
//
// How a widget uses it: derive from has_features and answer
// DescribeFeature(index) for 0, 1, ... with the name, datatype and the
// control_addin of each feature, false past the last. Binding is done for
// it by BindFeature().
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string>

#include "document/value_objects.h"

namespace ov {

struct FeatureDescription {
  std::string name;
  int32_t datatype = DT_FLOAT;  // 0 list, 1 text, 4 bool, 6 float, 8 integer
  std::string default_text;
  std::string file_type;  // text features naming files, e.g. "bmp"
  std::string item_list;  // list features with a fixed list
  generic_control* output = nullptr;
  generic_feature* input = nullptr;
  int32_t flags = 0;  // plug flags of the feature's plug
};

class has_features {
 public:
  // False past the last feature.
  virtual bool DescribeFeature(int32_t index, FeatureDescription* description) = 0;

  int32_t FeatureCount();
  // Attaches feature `index`'s output binding to `target`. False, binding
  // nothing, for an index beyond the features, a feature without an output
  // binding or a target of another type.
  bool BindFeature(int32_t index, generic_feature& target);
  // Every output binding back to its dummy.
  void UnbindFeatures();

 protected:
  ~has_features() = default;
};

}  // namespace ov
