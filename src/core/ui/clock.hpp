#pragma once

#include <chrono>

#include "common/date.hpp"

namespace vantrell::ui {

// Today and now; tests set them.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime now() const = 0;
  Date today() const { return now().date(); }
};

// The workstation's wall clock in its local time zone: the date a clerk sees on
// the wall calendar is the date new entries get.
class SystemClock final : public Clock {
 public:
  DateTime now() const override;
};

// A clock that stands still until moved; for tests and scripted runs.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime now() const override { return now_; }
  void set(DateTime now) { now_ = now; }

 private:
  DateTime now_;
};

}  // namespace vantrell::ui
