#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vantrell::ui {

// Per-user settings kept under key paths such as "Software\Vantrell" with named
// values ("Root Data Path", "Current Practice").
class Settings {
 public:
  virtual ~Settings() = default;
  virtual std::optional<std::string> read(const std::string& keyPath,
                                          const std::string& valueName) const = 0;
  virtual void write(const std::string& keyPath, const std::string& valueName,
                     const std::string& value) = 0;
  virtual void remove(const std::string& keyPath, const std::string& valueName) = 0;
};

// Settings in an INI file: one section per key path, one line per value. Every
// write saves the file at once (through a temporary file and a rename), so a
// crash never leaves half a settings file.
class IniSettings final : public Settings {
 public:
  explicit IniSettings(std::filesystem::path file);
  // $XDG_CONFIG_HOME/vantrell/settings.ini, or ~/.config/vantrell/settings.ini.
  static std::filesystem::path defaultFile();

  std::optional<std::string> read(const std::string& keyPath,
                                  const std::string& valueName) const override;
  void write(const std::string& keyPath, const std::string& valueName,
             const std::string& value) override;
  void remove(const std::string& keyPath, const std::string& valueName) override;

 private:
  void load();
  void save() const;

  std::filesystem::path file_;
  std::map<std::string, std::map<std::string, std::string>> sections_;
};

// Settings held in memory only; for tests and one-off command-line runs.
class MemorySettings final : public Settings {
 public:
  std::optional<std::string> read(const std::string& keyPath,
                                  const std::string& valueName) const override;
  void write(const std::string& keyPath, const std::string& valueName,
             const std::string& value) override;
  void remove(const std::string& keyPath, const std::string& valueName) override;

 private:
  std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace vantrell::ui
