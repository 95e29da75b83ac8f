#pragma once

#include <cstdint>
#include <string>

namespace vantrell::ui {

// How a long run (claim or statement creation, reports, recalculation) shows
// how far it is, and learns that the person pressed Abort.
class Progress {
 public:
  virtual ~Progress() = default;
  // total 0: the end is not known in advance.
  virtual void begin(const std::string& caption, std::int64_t total) = 0;
  // Returns false once the person has asked to abort; the run then stops
  // at the next point where stopping leaves nothing half done.
  virtual bool advance(std::int64_t done) = 0;
  virtual void end() = 0;
};

// For runs nobody watches: never aborts.
class SilentProgress final : public Progress {
 public:
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t) override { return true; }
  void end() override {}
};

}  // namespace vantrell::ui
