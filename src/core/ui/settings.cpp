#include "ui/settings.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/file_modes.hpp"

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

Sections parse(std::istream& in) {
  Sections sections;
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
    sections[section][unescape(line.substr(0, equals))] = unescape(line.substr(equals + 1));
  }
  return sections;
}

std::string render(const Sections& sections) {
  std::ostringstream out;
  for (const auto& [section, values] : sections) {
    out << '[' << section << "]\n";
    for (const auto& [name, value] : values) out << escape(name) << '=' << escape(value) << '\n';
  }
  return out.str();
}

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& file) {
  throw std::runtime_error("Cannot " + what + " " + file.string() + ": " + std::strerror(errno));
}

// Held while a change is read, merged and written: another program of the same
// person (a second window, a batch run) waits rather than writes over it.
class SettingsLock {
 public:
  explicit SettingsLock(const std::filesystem::path& file) {
    const auto lockFile = std::filesystem::path(file.string() + ".lock");
    descriptor_ = files::openCreating(lockFile, O_RDWR | O_CLOEXEC, files::privateFileMode);
    if (descriptor_ < 0) fail("open the settings lock", lockFile);
    while (::flock(descriptor_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(descriptor_);
        fail("lock the settings file", file);
      }
    }
  }
  ~SettingsLock() { ::close(descriptor_); }
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;

 private:
  int descriptor_ = -1;
};

// A new file of a name no other writer uses, made durable, then put in place
// in one step: readers see the old file or the new one, never half of one.
void replaceAtomically(const std::filesystem::path& file, const std::string& contents) {
  std::string pattern = file.string() + ".XXXXXX";
  const int descriptor = ::mkstemp(pattern.data());
  if (descriptor < 0) fail("create a temporary file for", file);
  const std::filesystem::path temporary(pattern);
  const auto discard = [&](const char* what) {
    const int savedError = errno;
    ::close(descriptor);
    ::unlink(temporary.c_str());
    errno = savedError;
    fail(what, temporary);
  };
  if (::fchmod(descriptor, files::privateFileMode) != 0) discard("set the mode of");
  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t step = ::write(descriptor, contents.data() + written, contents.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step < 0) discard("write");
    written += static_cast<std::size_t>(step);
  }
  if (::fsync(descriptor) != 0) discard("write");
  if (::close(descriptor) != 0) {
    ::unlink(temporary.c_str());
    fail("write", temporary);
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    const int savedError = errno;
    ::unlink(temporary.c_str());
    errno = savedError;
    fail("rename " + temporary.string() + " to", file);
  }
  // The rename itself survives a power cut only once the folder is on disk.
  if (const int folder = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
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
  sections_ = parse(in);
}

void IniSettings::change(const std::function<void(Sections&)>& edit) {
  std::error_code error;
  files::createFolders(file_.parent_path(), files::privateFolderMode, error);
  if (error)
    throw std::runtime_error("Cannot create the settings folder " + file_.parent_path().string() +
                             ": " + error.message());
  SettingsLock lock(file_);
  // What other programs wrote since this one read the file is kept: only the
  // one value changes.
  std::ifstream in(file_);
  Sections current = parse(in);
  in.close();
  Sections changed = current;
  edit(changed);
  if (changed != current) replaceAtomically(file_, render(changed));
  sections_ = std::move(changed);
}

std::optional<std::string> IniSettings::read(const std::string& keyPath,
                                             const std::string& valueName) const {
  return lookUp(sections_, keyPath, valueName);
}

void IniSettings::write(const std::string& keyPath, const std::string& valueName,
                        const std::string& value) {
  change([&](Sections& sections) { sections[keyPath][valueName] = value; });
}

void IniSettings::remove(const std::string& keyPath, const std::string& valueName) {
  change([&](Sections& sections) {
    if (const auto section = sections.find(keyPath); section != sections.end()) {
      section->second.erase(valueName);
      if (section->second.empty()) sections.erase(section);
    }
  });
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
