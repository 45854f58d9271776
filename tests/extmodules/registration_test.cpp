// Registering module library files through the real dynamic loader: which
// files are loaded, the types they give, and what broken libraries tell.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "extmodules/module_info_plugin.h"
#include "host/embedded_files.h"
#include "platform/message_sink.h"
#include "tests/extmodules/extmodules_test_support.h"
#include "tests/host/temp_folder.h"

namespace ov::test {
namespace {

using testing::TempFolder;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ModuleLibraryRegistration, EachModuleOfALibraryBecomesATypeNumberedByTheTypeCount) {
  ModuleRegistry registry;
  registry.RegisterModule(std::make_unique<Module_Info>("Before", "", 0, 0, "", nullptr, 0x100, 7));
  RegisterModuleLibrary(registry, "Folder", "example_modules.ovm", ExampleModules());
  ASSERT_EQ(registry.TypeCount(), 3u);
  const auto* gain = dynamic_cast<const Module_Info_Plugin*>(registry.FindModule("Ov Example Gain"));
  const auto* text = dynamic_cast<const Module_Info_Plugin*>(registry.FindModule("Ov MIDI to Text"));
  ASSERT_NE(gain, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(gain->LegacyNumber(), 1);
  EXPECT_EQ(text->LegacyNumber(), 2);
  EXPECT_EQ(gain->ModuleIndex(), 0);
  EXPECT_EQ(text->ModuleIndex(), 1);
  EXPECT_EQ(gain->GetName(), "Ov Example Gain");
  EXPECT_EQ(gain->GetCategory(), "Folder");
  EXPECT_EQ(gain->AboutText(), "Input times Gain");
  EXPECT_EQ(gain->ModuleFlags(), 0x1100);
  EXPECT_EQ(gain->DocumentClass(), "CPlugin2");  // it exports makeModule
  ASSERT_EQ(gain->Descriptors().size(), 3u);
  const auto& input = gain->Descriptors()[0];
  const auto& level = gain->Descriptors()[1];
  const auto& output = gain->Descriptors()[2];
  EXPECT_EQ(input.name, "Input");
  EXPECT_EQ(input.flags, kPlugLinearInput);
  EXPECT_EQ(level.name, "Gain");
  EXPECT_EQ(level.datatype, DT_FLOAT);
  EXPECT_EQ(level.default_text, "1");
  // An audio plug without the linear flag is marked non-linear, outputs too.
  EXPECT_EQ(output.flags, kPlugNonLinearAudioIn);
  for (const auto& descriptor : gain->Descriptors()) {
    EXPECT_EQ(descriptor.value_member, nullptr);  // the probe's members are gone
    EXPECT_EQ(descriptor.buffer_member, nullptr);
  }
  EXPECT_TRUE(registry.Messages().empty());
}

TEST(ModuleLibraryRegistration, TheSameFileAddsNothingAndAnotherFileWithTheSameModulesIsTold) {
  TempFolder folder;
  ModuleRegistry registry;
  RegisterModuleLibrary(registry, "", "example_modules.ovm", ExampleModules());
  const Module_Info* first = registry.FindModule("Ov Example Gain");
  RegisterModuleLibrary(registry, "", "example_modules.ovm", ExampleModules());
  EXPECT_EQ(registry.TypeCount(), 2u);
  EXPECT_TRUE(registry.Messages().empty());

  const std::string copy = folder / "copy.ovm";
  std::filesystem::copy_file(ExampleModules(), copy);
  RegisterModuleLibrary(registry, "", copy, copy);
  EXPECT_EQ(registry.TypeCount(), 2u);
  EXPECT_EQ(registry.FindModule("Ov Example Gain"), first);
  const std::string original = std::filesystem::path(ExampleModules()).lexically_normal().string();
  ASSERT_EQ(registry.Messages().size(), 2u);  // once per module offered twice
  EXPECT_EQ(registry.Messages()[0],
            "Module FOUND TWICE!, only one loaded\n" + copy + "\n" + original);
}

TEST(ModuleLibraryRegistration, TheOlderInterfaceNamesItsOneModuleThroughItsDispatcher) {
  ModuleRegistry registry;
  RegisterModuleLibrary(registry, "", "example_legacy.ovp", ExampleLegacy());
  const auto* type = dynamic_cast<const Module_Info_Plugin*>(registry.FindModule("Ov Legacy Invert"));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->GetName(), "Ov Legacy Invert");
  EXPECT_EQ(type->DocumentClass(), "CPlugin");
  EXPECT_EQ(type->Descriptors().size(), 2u);
}

TEST(ModuleLibraryRegistration, OtherLibrariesAreListedForHostedPluginsAndNeverLoaded) {
  TempFolder folder;
  ModuleRegistry registry;
  for (const char* name : {"filter.dll", "kars.so", "old.OV1", "notes.txt"}) {
    WriteFile(folder / name, "MZ not a library");
    RegisterModuleLibrary(registry, "", folder / name, folder / name);
  }
  EXPECT_EQ(registry.LibraryPaths(),
            (std::vector<std::string>{folder / "filter.dll", folder / "kars.so", folder / "old.OV1"}));
  EXPECT_EQ(registry.TypeCount(), 0u);
  EXPECT_TRUE(registry.Messages().empty());
}

TEST(ModuleLibraryRegistration, BrokenLibrariesAreToldAndRegisterNothing) {
  TempFolder folder;
  ModuleRegistry registry;
  WriteFile(folder / "windows.ovm", std::string("MZ\x90\0\3\0\0\0", 8));
  RegisterModuleLibrary(registry, "", "windows.ovm", folder / "windows.ovm");
  ASSERT_EQ(registry.Messages().size(), 1u);
  EXPECT_NE(registry.Messages()[0].find("a Windows library is not supported"), std::string::npos);

  // A structure with the wrong magic gives no generator and so no identifier.
  RegisterModuleLibrary(registry, "", "hostile_1.ovm", HostileLibrary(1));
  EXPECT_EQ(registry.FindModule("Wrong Magic"), nullptr);
  ASSERT_EQ(registry.Messages().size(), 2u);
  EXPECT_EQ(registry.Messages()[1],
            "A module of " + HostileLibrary(1) + " gives no identifier and was not registered.");

  RegisterModuleLibrary(registry, "", "hostile_2.ovm", HostileLibrary(2));
  ASSERT_GE(registry.Messages().size(), 3u);
  EXPECT_EQ(registry.Messages()[2], "Can't load OV Plugin. (doesn't export 'main()' function). (" +
                                        HostileLibrary(2) + ").");
  EXPECT_EQ(registry.TypeCount(), 0u);
}

TEST(ModuleLibraryRegistration, ALibraryOffersAtMost256ModulesAndNamesAreReadWithinTheirBuffers) {
  ModuleRegistry registry;
  RegisterModuleLibrary(registry, "", "hostile_3.ovm", HostileLibrary(3));
  EXPECT_EQ(registry.TypeCount(), 256u);
  EXPECT_NE(registry.FindModule("E255"), nullptr);
  EXPECT_EQ(registry.FindModule("E256"), nullptr);
  ASSERT_EQ(registry.Messages().size(), 1u);
  EXPECT_EQ(registry.Messages()[0],
            HostileLibrary(3) + " offers more than 256 modules; only the first were registered.");

  // Names written to the brim of their 100-byte buffers, unterminated.
  ModuleRegistry brim;
  RegisterModuleLibrary(brim, "", "hostile_5.ovm", HostileLibrary(5));
  const Module_Info* type = brim.FindModule(std::string(99, 'I'));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->GetName(), std::string(99, 'N'));
}

TEST(ModuleLibraryRegistration, APluginsEmbeddedFilesAreWrittenThenRegisteredProcessWide) {
  TempFolder folder;
  std::ifstream library(HostileLibrary(4), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(library)), {});
  MessageSink messages;
  messages.SetLogToStderr(false);
  EmbeddedFiles files(folder / "Synth.so", messages);
  files.Take({{"C:\\plugins\\filter.dll", {'M', 'Z'}},
              {"kars.so", {'x'}},
              {"caller.ovm", std::vector<uint8_t>(bytes.begin(), bytes.end())}});
  const std::string written = folder / "Synth/caller.ovm";
  const auto* type =
      dynamic_cast<const Module_Info_Plugin*>(ProcessModules().FindModule("Hostile Caller"));
  ASSERT_NE(type, nullptr);
  // Registered from this file, unless a run before in this process
  // registered its own copy; then the user was told.
  if (type->LibraryPath() != written) {
    EXPECT_TRUE(messages.Contains("Module FOUND TWICE!, only one loaded\n" + written + "\n" +
                                  type->LibraryPath()));
  }
  const std::vector<std::string> listed = ProcessModules().LibraryPaths();
  EXPECT_NE(std::find(listed.begin(), listed.end(), folder / "Synth/filter.dll"), listed.end());
  EXPECT_NE(std::find(listed.begin(), listed.end(), folder / "Synth/kars.so"), listed.end());
  EXPECT_EQ(std::find(listed.begin(), listed.end(), written), listed.end());
}

}  // namespace
}  // namespace ov::test
