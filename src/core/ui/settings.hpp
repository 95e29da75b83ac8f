#pragma once

#include <filesystem>
#include <functional>
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

// Settings in an INI file: one section per key path, one line per value. A
// write that changes something saves the file at once, under a lock shared by
// every program of the person, merged with what the others wrote meanwhile,
// through a temporary file of its own and a rename, so neither a crash nor a
// second program at the same time leaves half a file or loses a value. The
// file is readable by its owner only.
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
  using Sections = std::map<std::string, std::map<std::string, std::string>>;
  void load();
  // Reads the file afresh under the lock, applies the edit and writes the
  // result when it differs.
  void change(const std::function<void(Sections&)>& edit);

  std::filesystem::path file_;
  Sections sections_;
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
