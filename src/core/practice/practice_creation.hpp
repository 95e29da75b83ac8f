#pragma once

#include <string>

#include "practice/practice_opening.hpp"

namespace vantrell::practice {

// The new practice window and the tutorial button: both add a practice to the
// list and open it.
class PracticeCreation {
 public:
  PracticeCreation(Surroundings& surroundings, store::Connection& root, store::DataLocation rootLocation)
      : surroundings_(surroundings), root_(root), rootLocation_(std::move(rootLocation)), engine_(rootLocation_.engine) {}

  // Checks, creates the tables (or, for existing data, asks to open it) and
  // opens the practice. unsavedEntries: a transaction window has work to save.
  OpenOutcome createPractice(const std::string& name, const std::string& path, bool unsavedEntries,
                             PracticeOpener& opener);

  // The tutorial practice "Medical Group (Tutorial Data)" under the root data
  // directory, installed by the tutorial installer, then opened.
  OpenOutcome installTutorial(PracticeOpener& opener);
  store::DataLocation tutorialLocation() const;

  static constexpr const char* tutorialName = "Medical Group (Tutorial Data)";
  static constexpr const char* nameRequired = "A practice name must be entered before creating new data";
  static constexpr const char* pathRequired = "A data path must be entered before creating new data";
  static constexpr const char* invalidName = "Invalid Practice Name";
  static constexpr const char* couldNotOpen =
      "The data in this location could not be opened for use. Either select a different location or repair "
      "this data.";
  static constexpr const char* unsavedRefusal =
      "There are transactions that need to be saved or applied before you can create a new practice.";
  static constexpr const char* tutorialExists = "Tutorial data files already exist.  Do you want to overwrite them?";
  static constexpr const char* tutorialMissing =
      "The tutorial data was not installed on this computer.\nReinstall the program to include the tutorial files.";
  // The installer is there but did not finish.
  static constexpr const char* tutorialFailed = "The tutorial data could not be installed.  Nothing was changed.";
  static std::string existingDataQuestion(const std::string& path);

 private:
  Surroundings& surroundings_;
  store::Connection& root_;
  store::DataLocation rootLocation_;
  store::Engine engine_;
};

}  // namespace vantrell::practice
