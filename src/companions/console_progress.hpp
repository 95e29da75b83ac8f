#pragma once

#include <csignal>
#include <cstdint>
#include <iostream>
#include <string>

#include "ui/progress.hpp"

namespace vantrell::companions {

// Progress on standard output, a line per tenth; Ctrl+C (or a polite kill) is
// the Abort button: the run stops where stopping leaves nothing half done.
class ConsoleProgress final : public ui::Progress {
 public:
  ConsoleProgress() {
    std::signal(SIGINT, &ConsoleProgress::abort);
    std::signal(SIGTERM, &ConsoleProgress::abort);
  }
  void begin(const std::string& caption, std::int64_t total) override {
    caption_ = caption;
    total_ = total;
    shown_ = -1;
  }
  bool advance(std::int64_t done) override {
    if (total_ > 0) {
      const auto tenth = done * 10 / total_;
      if (tenth != shown_) {
        shown_ = tenth;
        std::cout << caption_ << ": " << tenth * 10 << "%" << std::endl;
      }
    }
    return aborted == 0;
  }
  void end() override {}

  static inline volatile std::sig_atomic_t aborted = 0;

 private:
  static void abort(int) { aborted = 1; }
  std::string caption_;
  std::int64_t total_ = 0;
  std::int64_t shown_ = -1;
};

}  // namespace vantrell::companions
