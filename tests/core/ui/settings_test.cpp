#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "ui/settings.hpp"

namespace vantrell::ui {
namespace {

TEST(IniSettings, ValuesSurviveARestartAndKeepTheirKeyPaths) {
  const auto directory = std::filesystem::temp_directory_path() / ("vantrell-settings-" + std::to_string(::getpid()));
  const auto file = directory / "nested" / "settings.ini";
  {
    IniSettings settings(file);
    settings.write("Software\\Vantrell", "Root Data Path", "/data/Vantrell");
    settings.write("Software\\Vantrell", "Current Practice", "C:\\odd=path\nsecond line");
    settings.write("Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Create", "Billing", "E");
    settings.remove("Software\\Vantrell", "Missing Value");
  }
  IniSettings reread(file);
  EXPECT_EQ(reread.read("Software\\Vantrell", "Root Data Path"), "/data/Vantrell");
  EXPECT_EQ(reread.read("Software\\Vantrell", "Current Practice"), "C:\\odd=path\nsecond line");
  EXPECT_EQ(reread.read("Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Create", "Billing"), "E");
  EXPECT_EQ(reread.read("Software\\Vantrell", "Use Server Time"), std::nullopt);
  reread.remove("Software\\Vantrell", "Root Data Path");
  EXPECT_EQ(IniSettings(file).read("Software\\Vantrell", "Root Data Path"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace vantrell::ui
