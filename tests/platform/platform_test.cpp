#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/message_sink.h"
#include "platform/text.h"
#include "tests/host/temp_folder.h"

namespace ov {
namespace {

TEST(Utf16, ConvertsPairsAndReplacesBrokenSurrogates) {
  const uint16_t text[] = {'A', 0x00E9, 0x20AC, 0xD83C, 0xDFB9, 0xD800, 'B', 0xDC00};
  EXPECT_EQ(Utf16ToUtf8(text, 8),
            "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB9\xEF\xBF\xBD"
            "B\xEF\xBF\xBD");
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

// Whole-file replacement ----------------------------------------------------

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::size_t EntriesIn(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ReplaceFile, ALinkUnderTheNameIsReplacedNotFollowed) {
  testing::TempFolder folder;
  std::ofstream(folder / "target") << "precious";
  fs::create_symlink(folder / "target", folder / "name");
  std::string error;
  ASSERT_TRUE(ReplaceFileAtomically(folder / "name", TextBytes("new"), &error)) << error;
  EXPECT_FALSE(fs::is_symlink(folder / "name"));
  EXPECT_EQ(ReadText(folder / "name"), "new");
  EXPECT_EQ(ReadText(folder / "target"), "precious");
  EXPECT_EQ(EntriesIn(folder.Path()), 2u);
}

// A write cut short (here by a file size limit) leaves the old file whole
// and no temporary file behind.
TEST(ReplaceFile, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  testing::TempFolder folder;
  std::ofstream(folder / "name") << "old";
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = ReplaceFileAtomically(folder / "name", Bytes(100000, 7), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("name"), std::string::npos) << error;
  EXPECT_EQ(ReadText(folder / "name"), "old");
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);

  // A folder standing under the name cannot be replaced; nothing is left.
  fs::create_directory(folder / "dir");
  EXPECT_FALSE(ReplaceFileAtomically(folder / "dir", TextBytes("x"), &error));
  EXPECT_EQ(EntriesIn(folder.Path()), 2u);
}

// Two writers of the same name, and a reader meanwhile: the reader sees no
// file or a whole one, and the last writer's file stays whole.
TEST(ReplaceFile, ConcurrentWritersAreNeverSeenHalfDone) {
  testing::TempFolder folder;
  const std::string path = folder / "module.ovm";
  constexpr std::size_t kSize = 1 << 18;
  std::atomic<int> writing{2};
  const auto writer = [&](uint8_t fill) {
    std::string error;
    for (int i = 0; i < 20; ++i)
      EXPECT_TRUE(ReplaceFileAtomically(path, Bytes(kSize, fill), &error));
    writing.fetch_sub(1);
  };
  std::thread first(writer, uint8_t{'a'}), second(writer, uint8_t{'b'});
  int seen = 0;
  while (writing.load() > 0) {
    const std::string text = ReadText(path);
    if (text.empty()) continue;
    ++seen;
    ASSERT_EQ(text.size(), kSize);
    ASSERT_EQ(text.find_first_not_of(text[0]), std::string::npos);
  }
  first.join();
  second.join();
  const std::string text = ReadText(path);
  EXPECT_EQ(text.size(), kSize);
  EXPECT_EQ(text.find_first_not_of(text[0]), std::string::npos);
  EXPECT_EQ(EntriesIn(folder.Path()), 1u);
  (void)seen;
}

TEST(CanWriteInto, LooksAtTheNearestExistingFolder) {
  testing::TempFolder folder;
  EXPECT_TRUE(CanWriteInto(folder / "not/yet/made/"));
  fs::create_directory(folder / "locked");
  fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const bool writable = CanWriteInto(folder / "locked/Pad/");
  fs::permissions(folder / "locked", fs::perms::owner_all);
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root from writing";
  EXPECT_FALSE(writable);
}

}  // namespace
}  // namespace ov
