#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "host/embedded_files.h"
#include "host/project_resource.h"
#include "platform/files.h"
#include "platform/library_resource.h"
#include "platform/message_sink.h"
#include "tests/host/temp_folder.h"

namespace ov {
namespace {

namespace fs = std::filesystem;

using testing::TempFolder;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Scrambling, VisitsBytesByTheStoredValue) {
  // Bit 0 of a stored byte makes the next two bytes be stepped over.
  std::vector<uint8_t> stored = {0x01, 0x10, 0x20, 0x02, 0x03};
  Unscramble(stored);
  EXPECT_EQ(stored, (std::vector<uint8_t>{0x01 ^ 0xA7, 0x10, 0x20, 0x02 ^ 0xA7, 0x03 ^ 0xA7}));

  std::vector<uint8_t> two = {0x01, 0x55};  // finished after the first byte
  Unscramble(two);
  EXPECT_EQ(two, (std::vector<uint8_t>{0x01 ^ 0xA7, 0x55}));

  std::mt19937 random(7);
  for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 100u, 4097u}) {
    std::vector<uint8_t> plain(length);
    for (uint8_t& byte : plain) byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> buffer = plain;
    Scramble(buffer);
    Unscramble(buffer);
    EXPECT_EQ(buffer, plain) << "length " << length;
  }
}

TEST(ProjectResource, NamesTheDataFileBesideTheLibrary) {
  EXPECT_EQ(DataFilePath("/plugins/My.Pad.so"), "/plugins/My.Pad.dat");
  EXPECT_EQ(DataFilePath("C:\\A\\My.Pad.dll"), "C:\\A\\My.Pad.dat");
  EXPECT_EQ(DataFilePath("/odd.folder/pad"), "/odd.folder/pad.dat");
  EXPECT_EQ(LibraryStem("/plugins/My.Pad.so"), "My.Pad");
}

TEST(ProjectResource, ReadsTheAppendedResourceThenTheDataFile) {
  TempFolder folder;
  MessageSink messages;
  messages.SetLogToStderr(false);
  const std::string library = folder / "Pad.so";
  const std::vector<uint8_t> elf(300, 0x7F), project = {'p', 'r', 'o', 'j', 0x01, 0x02};

  std::vector<uint8_t> scrambled = project;
  Scramble(scrambled);
  std::string error;
  ASSERT_TRUE(WriteFileBytes(library, AppendResource(elf, "OV1", 165, scrambled), &error));
  EXPECT_EQ(LoadProjectBytes(library, messages), project);

  // A library baked again carries only the newest resource.
  std::vector<uint8_t> baked;
  ASSERT_TRUE(ReadFileBytes(library, 1 << 20, &baked, &error));
  const auto rebaked = AppendResource(baked, "OV1", 165, std::vector<uint8_t>{0x42});
  EXPECT_EQ(rebaked.size(), elf.size() + 1 + kResourceTrailerSize);
  EXPECT_FALSE(ReadAppendedResource(library, "OV1", 166));

  // Without a trailer the plain data file beside the library is read.
  ASSERT_TRUE(WriteFileBytes(library, elf, &error));
  WriteText(folder / "Pad.dat", "plain stream");
  const auto from_data = LoadProjectBytes(library, messages);
  ASSERT_TRUE(from_data);
  EXPECT_EQ(std::string(from_data->begin(), from_data->end()), "plain stream");
  EXPECT_TRUE(messages.Messages().empty());

  fs::remove(folder / "Pad.dat");
  EXPECT_FALSE(LoadProjectBytes(library, messages));
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text,
            "Pad: Can't find plugin data file. (" + (folder / "Pad.dat") + ")");
}

TEST(ProjectResource, IgnoresDamagedTrailers) {
  TempFolder folder;
  const std::vector<uint8_t> elf(100, 0);
  auto baked = AppendResource(elf, "OV1", 165, std::vector<uint8_t>(10, 1));
  std::string error;
  baked[baked.size() - 8] ^= 1;  // the stored length no longer fits the file
  ASSERT_TRUE(WriteFileBytes(folder / "a.so", baked, &error));
  EXPECT_FALSE(ReadAppendedResource(folder / "a.so", "OV1", 165));

  // Huge offsets and lengths are refused, not allocated.
  auto huge = AppendResource(elf, "OV1", 165, {});
  for (std::size_t i = huge.size() - 16; i < huge.size(); ++i) huge[i] = 0xFF;
  ASSERT_TRUE(WriteFileBytes(folder / "b.so", huge, &error));
  EXPECT_FALSE(ReadAppendedResource(folder / "b.so", "OV1", 165));
}

class EmbeddedFilesTest : public ::testing::Test {
 protected:
  EmbeddedFilesTest() : library(folder / "Pad.so"), files(library, messages) {
    messages.SetLogToStderr(false);
    WriteText(library, "library");
  }
  static EmbeddedFile File(std::string name, std::string text) {
    return {std::move(name), std::vector<uint8_t>(text.begin(), text.end())};
  }

  TempFolder folder;
  MessageSink messages;
  std::string library;
  EmbeddedFiles files;
};

TEST_F(EmbeddedFilesTest, ResolvesNamesAgainstTheLibraryFolder) {
  EXPECT_EQ(files.LibraryFolder(), folder / "Pad/");
  EXPECT_EQ(files.ResolveFilePath("piano", "wav"), folder / "Pad/piano.wav");
  EXPECT_EQ(files.ResolveFilePath("samples\\piano.WAV", "wav"), folder / "Pad/samples/piano.WAV");
  EXPECT_EQ(files.ResolveFilePath("D:\\x\\piano.wav", "wav"), "D:\\x\\piano.wav");
  EXPECT_EQ(files.ResolveFilePath("/abs/piano.wav", "wav"), "/abs/piano.wav");
}

TEST_F(EmbeddedFilesTest, ServesMediaFromMemoryByLastName) {
  files.Take({File("E:\\work\\loop.wav", "loop"), File("kick.wav", "kick")});
  EXPECT_FALSE(fs::exists(folder / "Pad/kick.wav"));  // media is never written

  const auto loop = files.OpenDataFile("C:\\Plugins\\Pad\\Loop.WAV", "wav");
  ASSERT_TRUE(loop);
  ASSERT_TRUE(loop->InMemory());
  EXPECT_EQ(std::string(loop->memory.begin(), loop->memory.end()), "loop");
  EXPECT_FALSE(files.OpenDataFile("snare", "wav"));

  // A file on disk wins over the embedded copy.
  fs::create_directories(folder / "Pad");
  WriteText(folder / "Pad/kick.wav", "disk");
  const auto kick = files.OpenDataFile("kick", "wav");
  ASSERT_TRUE(kick);
  EXPECT_EQ(kick->path, folder / "Pad/kick.wav");

  files.Take({File("other.wav", "x")});  // only the first project's files count
  EXPECT_EQ(files.InMemory().size(), 2u);
}

TEST_F(EmbeddedFilesTest, WritesOtherFilesOnlyWhenMissingOrOlder) {
  files.Take({File("C:\\mods\\filter.ovm", "new module")});
  ASSERT_EQ(files.Written().size(), 1u);
  EXPECT_EQ(files.Written()[0], folder / "Pad/filter.ovm");
  EXPECT_EQ(ReadText(folder / "Pad/filter.ovm"), "new module");

  const auto library_time = fs::last_write_time(library);
  const std::string copy = folder / "Pad/filter.ovm";
  auto load_again = [&] {
    EmbeddedFiles again(library, messages);
    again.Take({File("filter.ovm", "newer build")});
  };
  WriteText(copy, "user's copy");
  fs::last_write_time(copy, library_time + std::chrono::hours(1));
  load_again();
  EXPECT_EQ(ReadText(copy), "user's copy");  // newer than the library: kept

  fs::last_write_time(copy, library_time - std::chrono::hours(1));
  load_again();
  EXPECT_EQ(ReadText(copy), "newer build");  // older: replaced
}

TEST_F(EmbeddedFilesTest, NeverWritesOutsideTheLibraryFolder) {
  files.Take({File("../../x", "a"), File("/etc/y", "b"), File("C:\\..\\z", "c"), File("..", "d"),
              File("", "e"), File("dir/.", "f")});
  const std::string inside = folder / "Pad/";
  EXPECT_EQ(files.Written(),
            (std::vector<std::string>{inside + "x", inside + "y", inside + "z", "", "", ""}));
  EXPECT_FALSE(fs::exists(folder / "x"));
  EXPECT_EQ(messages.Messages().size(), 3u);
  std::size_t entries = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder / ""))
    entries += entry.is_regular_file();
  EXPECT_EQ(entries, 4u);  // the library and x, y, z inside its folder
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A library installed where its user cannot write keeps its folder in the
// user's data folder, and every lookup goes there. Whether a folder can be
// written is asked of a check the test supplies, since root writes anywhere.
TEST_F(EmbeddedFilesTest, AnUnwritableLibraryFolderMovesToTheUserDataFolder) {
  const auto read_only = [](const std::string&) { return false; };
  ScopedEnvironment data("XDG_DATA_HOME", folder / "data");
  EmbeddedFiles moved(library, messages, read_only);
  const std::string inside = folder / "data/orvane/Pad/";
  EXPECT_EQ(moved.LibraryFolder(), inside);
  moved.Take({File("filter.ovm", "module"), File("kick.wav", "kick")});
  EXPECT_EQ(moved.Written(), std::vector<std::string>{inside + "filter.ovm"});
  EXPECT_EQ(ReadText(inside + "filter.ovm"), "module");
  EXPECT_FALSE(fs::exists(folder / "Pad"));
  EXPECT_EQ(moved.ResolveFilePath("filter", "ovm"), inside + "filter.ovm");
  const auto found = moved.OpenDataFile("filter.ovm", "");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path, inside + "filter.ovm");

  // A relative XDG_DATA_HOME is ignored for the home folder's default.
  ScopedEnvironment relative("XDG_DATA_HOME", "relative");
  ScopedEnvironment home("HOME", folder / "home");
  EXPECT_EQ(EmbeddedFiles(library, messages, read_only).LibraryFolder(),
            folder / "home/.local/share/orvane/Pad/");
  // Where the folder beside the library can be written, it is used.
  EXPECT_EQ(EmbeddedFiles(library, messages).LibraryFolder(), folder / "Pad/");
}

TEST_F(EmbeddedFilesTest, ALinkUnderAFilesNameIsReplacedNotWrittenThrough) {
  WriteText(folder / "elsewhere", "precious");
  fs::create_directories(folder / "Pad");
  fs::create_symlink(folder / "elsewhere", folder / "Pad/filter.ovm");
  // Newer than the library, yet a link is never the user's copy to keep.
  fs::last_write_time(folder / "elsewhere", fs::last_write_time(library) + std::chrono::hours(1));
  files.Take({File("filter.ovm", "module")});
  EXPECT_FALSE(fs::is_symlink(folder / "Pad/filter.ovm"));
  EXPECT_EQ(ReadText(folder / "Pad/filter.ovm"), "module");
  EXPECT_EQ(ReadText(folder / "elsewhere"), "precious");
}

}  // namespace
}  // namespace ov
