#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QWidget>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "accounts/case_window.hpp"
#include "app/application.hpp"
#include "main_window.hpp"
#include "message_box_prompter.hpp"
#include "ui/launcher.hpp"
#include "ui/settings.hpp"

namespace vantrell::desktop {

// A workstation for the desktop: an empty home of its own, the real companion
// programs beside the test, settings in memory.
class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest()
      : home_(std::filesystem::temp_directory_path() /
              ("vantrell-desktop-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        launcher_(ui::ProcessLauncher::runningProgramDirectory()),
        clock_(*DateTime::parse("2026-12-05 09:00:00")),
        surroundings_{
            prompter_, settings_, launcher_, clock_, practice::ProgramPlaces{home_ / "state"},
            "MARY"},
        application_(surroundings_),
        window_(application_, prompter_, settings_) {
    std::filesystem::create_directories(home_);
  }
  ~DesktopTest() override {
    window_.hide();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  app::StartupOptions options() const {
    app::StartupOptions result;
    result.rootDirectory = (home_ / "Data").string();
    result.createRootWithoutAsking = true;
    return result;
  }

  // One insured case of a saved chart (MC at 80%, provider DJ, diagnosis I10),
  // saved and let go so that a transaction window can take the chart.
  void addInsuredCase(const std::string& chart, const std::string& description) {
    accounts::CaseWindow made(*application_.practice()->connection, prompter_, clock_,
                              application_.security());
    ASSERT_TRUE(made.startNew(chart));
    ASSERT_TRUE(made.setFields({{"Description", description},
                                {"Assigned Provider", "DJ"},
                                {"Insurance Carrier #1", "MC"},
                                {"Policy Number #1", "ABC123"},
                                {"Percent Covered A #1", "80"},
                                {"Diagnosis 1", "I10"}}));
    ASSERT_TRUE(made.saveAndClose());
  }

  std::filesystem::path home_;
  MessageBoxPrompter prompter_;
  ui::MemorySettings settings_;
  ui::ProcessLauncher launcher_;
  ui::FixedClock clock_;
  practice::Surroundings surroundings_;
  app::Application application_;
  MainWindow window_;
};

inline QLineEdit* field(QWidget& window, const char* name) {
  auto* edit = window.findChild<QLineEdit*>(name);
  if (edit == nullptr) {
    ADD_FAILURE() << "no field " << name << " in " << window.objectName().toStdString() << " ("
                  << window.metaObject()->className() << ")";
    static QLineEdit spare;  // lets the test go on to report the rest
    return &spare;
  }
  return edit;
}

}  // namespace vantrell::desktop
