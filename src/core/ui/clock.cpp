#include "ui/clock.hpp"

#include <ctime>

namespace vantrell::ui {

DateTime SystemClock::now() const {
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  const std::chrono::year_month_day day{std::chrono::year{local.tm_year + 1900},
                                        std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                        std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
  return DateTime(std::chrono::sys_seconds{std::chrono::sys_days{day}} +
                  std::chrono::hours{local.tm_hour} + std::chrono::minutes{local.tm_min} +
                  std::chrono::seconds{local.tm_sec});
}

}  // namespace vantrell::ui
