#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/message_sink.h"
#include "platform/text.h"

namespace ov {
namespace {

TEST(Utf16, ConvertsPairsAndReplacesBrokenSurrogates) {
  const uint16_t text[] = {'A', 0x00E9, 0x20AC, 0xD83C, 0xDFB9, 0xD800, 'B', 0xDC00};
  EXPECT_EQ(Utf16ToUtf8(text, 8), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB9\xEF\xBF\xBD" "B\xEF\xBF\xBD");
  // A high surrogate in the last unit must not read past the end.
  EXPECT_EQ(Utf16ToUtf8(text, 6), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB9\xEF\xBF\xBD");
  const uint8_t bytes[] = {'h', 0, 'i', 0, 'x'};
  EXPECT_EQ(Utf16LeBytesToUtf8(bytes, sizeof bytes), "hi");
}

TEST(CopyBounded, AlwaysTerminatesWithinCapacity) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  CopyBounded(buffer, 4, "abcdef");
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], '#');
  CopyBounded(buffer, 0, "x");  // no room at all: nothing written
  EXPECT_STREQ(buffer, "abc");
  CopyBounded(buffer, sizeof buffer, "");
  EXPECT_STREQ(buffer, "");
}

TEST(Numbers, IgnoreTheProcessLocale) {
  // Hosts set locales with a decimal comma; project texts always use a point.
  const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(FormatDouble(0.5), "0.5");
  EXPECT_EQ(FormatFixed(2.0 / 3.0, 2), "0.67");
  EXPECT_EQ(ParseDouble(" 1.25 "), 1.25);
  EXPECT_EQ(ParseDouble("+3e2"), 300.0);
  EXPECT_FALSE(ParseDouble("1,5"));
  EXPECT_FALSE(ParseDouble(""));
  EXPECT_EQ(ParseInteger("-42"), -42);
  EXPECT_FALSE(ParseInteger("12abc"));
  EXPECT_FALSE(ParseInteger("99999999999999999999"));
  if (previous) std::setlocale(LC_NUMERIC, "C");
}

TEST(DynamicLibrary, ExplainsWhatCannotBeLoaded) {
  const std::string path = ::testing::TempDir() + "windows.dll";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("MZ\x90", file);
  std::fclose(file);
  std::string error;
  EXPECT_FALSE(DynamicLibrary::Open(path, &error).IsOpen());
  EXPECT_NE(error.find("Windows library is not supported"), std::string::npos) << error;

  EXPECT_FALSE(DynamicLibrary::Open("/nonexistent/lib.so", &error).IsOpen());
  EXPECT_NE(error.find("/nonexistent/lib.so"), std::string::npos) << error;
}

TEST(DynamicLibrary, HandlesShareOneLoad) {
  std::string error;
  DynamicLibrary first = DynamicLibrary::Open("libz.so.1", &error);
  ASSERT_TRUE(first.IsOpen()) << error;
  DynamicLibrary copy = first;
  first = DynamicLibrary();
  EXPECT_NE(copy.Symbol("zlibVersion"), nullptr);  // still loaded through the copy
  EXPECT_EQ(copy.Symbol("no_such_symbol"), nullptr);
  EXPECT_FALSE(OwnLibraryPath().empty());
}

TEST(MessageSink, RecordsEveryMessage) {
  MessageSink sink;
  sink.SetLogToStderr(false);
  sink.Post("first", MessageStyle::kWarning);
  sink.Post("second problem", MessageStyle::kError);
  ASSERT_EQ(sink.Messages().size(), 2u);
  EXPECT_EQ(sink.Messages()[1].style, MessageStyle::kError);
  EXPECT_TRUE(sink.Contains("problem"));
  EXPECT_FALSE(sink.Contains("third"));
}

}  // namespace
}  // namespace ov
