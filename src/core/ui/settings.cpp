#include "ui/settings.hpp"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace vantrell::ui {
namespace {

using Sections = std::map<std::string, std::map<std::string, std::string>>;

std::optional<std::string> lookUp(const Sections& sections, const std::string& keyPath,
                                  const std::string& valueName) {
  const auto section = sections.find(keyPath);
  if (section == sections.end()) return std::nullopt;
  const auto value = section->second.find(valueName);
  if (value == section->second.end()) return std::nullopt;
  return value->second;
}

// Values may hold any text; newlines and backslashes are escaped so one value
// stays one line.
std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else out.push_back(c);
  }
  return out;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out.push_back(text[i] == 'n' ? '\n' : text[i]);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

IniSettings::IniSettings(std::filesystem::path file) : file_(std::move(file)) { load(); }

std::filesystem::path IniSettings::defaultFile() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
    return std::filesystem::path(xdg) / "vantrell" / "settings.ini";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : ".") / ".config" / "vantrell" /
         "settings.ini";
}

void IniSettings::load() {
  std::ifstream in(file_);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    sections_[section][unescape(line.substr(0, equals))] = unescape(line.substr(equals + 1));
  }
}

void IniSettings::save() const {
  std::filesystem::create_directories(file_.parent_path());
  const auto temporary = std::filesystem::path(file_.string() + ".tmp");
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& [section, values] : sections_) {
      out << '[' << section << "]\n";
      for (const auto& [name, value] : values) out << escape(name) << '=' << escape(value) << '\n';
    }
    if (!out.flush()) throw std::runtime_error("Cannot write settings file " + temporary.string());
  }
  std::filesystem::rename(temporary, file_);
}

std::optional<std::string> IniSettings::read(const std::string& keyPath,
                                             const std::string& valueName) const {
  return lookUp(sections_, keyPath, valueName);
}

void IniSettings::write(const std::string& keyPath, const std::string& valueName,
                        const std::string& value) {
  sections_[keyPath][valueName] = value;
  save();
}

void IniSettings::remove(const std::string& keyPath, const std::string& valueName) {
  if (const auto section = sections_.find(keyPath); section != sections_.end()) {
    section->second.erase(valueName);
    save();
  }
}

std::optional<std::string> MemorySettings::read(const std::string& keyPath,
                                                const std::string& valueName) const {
  return lookUp(sections_, keyPath, valueName);
}

void MemorySettings::write(const std::string& keyPath, const std::string& valueName,
                           const std::string& value) {
  sections_[keyPath][valueName] = value;
}

void MemorySettings::remove(const std::string& keyPath, const std::string& valueName) {
  if (const auto section = sections_.find(keyPath); section != sections_.end())
    section->second.erase(valueName);
}

}  // namespace vantrell::ui
