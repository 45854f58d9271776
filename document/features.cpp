#include "document/features.h"

namespace ov {

int32_t has_features::FeatureCount() {
  FeatureDescription description;
  int32_t count = 0;
  while (DescribeFeature(count, &description)) ++count;
  return count;
}

bool has_features::BindFeature(int32_t index, generic_feature& target) {
  FeatureDescription description;
  if (index < 0 || !DescribeFeature(index, &description) || description.output == nullptr) {
    return false;
  }
  return description.output->Attach(target);
}

void has_features::UnbindFeatures() {
  FeatureDescription description;
  for (int32_t i = 0; DescribeFeature(i, &description); ++i) {
    if (description.output != nullptr) description.output->Detach();
  }
}

}  // namespace ov
