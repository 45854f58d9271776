// Denormals are flushed inside the scope and the caller's mode comes back.
#include "platform/float_mode.h"

#include <gtest/gtest.h>

#include <limits>

namespace ov {
namespace {

float Halve(float value) {
  volatile float kept = value;  // computed at run time, under the current mode
  return kept / 2.0f;
}

TEST(FloatMode, FlushesDenormalsInsideAndRestoresTheCallersModeAfter) {
  const float smallest_normal = std::numeric_limits<float>::min();
  ASSERT_GT(Halve(smallest_normal), 0.0f);  // a denormal by default
  {
    ScopedFlushDenormals flush;
    EXPECT_EQ(Halve(smallest_normal), 0.0f);
    {
      ScopedFlushDenormals nested;
      EXPECT_EQ(Halve(smallest_normal), 0.0f);
    }
    EXPECT_EQ(Halve(smallest_normal), 0.0f);  // the nested scope restored the outer mode
  }
  EXPECT_GT(Halve(smallest_normal), 0.0f);
}

}  // namespace
}  // namespace ov
