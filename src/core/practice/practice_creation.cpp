#include "practice/practice_creation.hpp"

#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::practice {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string PracticeCreation::existingDataQuestion(const std::string& path) {
  return "Data already exists in directory: \"" + path + "\"\nIf you continue, that data will be opened.\n\n"
         "Do you want to continue?";
}

OpenOutcome PracticeCreation::createPractice(const std::string& givenName, const std::string& givenPath,
                                             bool unsavedEntries, PracticeOpener& opener) {
  ui::Prompter& prompter = surroundings_.prompter;
  if (unsavedEntries) {
    prompter.error(unsavedRefusal);
    return OpenOutcome::NotOpened;
  }
  const std::string name = trimmed(givenName);
  const std::string path = trimmed(givenPath);
  if (name.empty()) {
    prompter.error(nameRequired);
    return OpenOutcome::NotOpened;
  }
  if (path.empty()) {
    prompter.error(pathRequired);
    return OpenOutcome::NotOpened;
  }
  if (store::equalsIgnoringCase(name, "Tutor")) {
    prompter.error(invalidName);
    return OpenOutcome::NotOpened;
  }
  // The list must be able to hold the name and the path before anything is
  // made: a refusal afterwards would leave a practice nobody can open.
  if (const auto refusal = PracticeList::refusal({name, path})) {
    prompter.error(*refusal);
    return OpenOutcome::NotOpened;
  }
  const store::DataLocation location{engine_, path};
  try {
    bool existing = false;
    try {
      existing = store::Connection::holdsTable(location, "QVOPT") && store::Connection::holdsTable(location, "QVCAS");
    } catch (const store::ConnectionError&) {
      existing = false;  // a directory that is not there yet is made below
    }
    if (existing) {
      if (!prompter.askYesNo(existingDataQuestion(path))) {
        prompter.error(couldNotOpen);
        return OpenOutcome::NotOpened;
      }
      PracticeList(root_).add({name, path});
      return opener.open(location);
    }
    {
      auto practice = store::Connection::open(location, {surroundings_.ownerName, &surroundings_.clock, true});
      store::createMissingTables(*practice, &root_);
      Options::readAtPracticeOpen(*practice);
    }
    PracticeList(root_).add({name, path});
  } catch (const store::StoreError& error) {
    prompter.error(error.what());
    prompter.error(couldNotOpen);
    return OpenOutcome::NotOpened;
  }
  const OpenOutcome outcome = opener.open(location);
  if (outcome == OpenOutcome::NotOpened) prompter.error(couldNotOpen);
  return outcome;
}

store::DataLocation PracticeCreation::tutorialLocation() const {
  if (engine_ == store::Engine::Server) {
    // A practice of its own named after the root's, in the same database.
    return {engine_, rootLocation_.path + "_tutor"};
  }
  return {engine_, (std::filesystem::path(rootLocation_.path) / "Tutor").string()};
}

OpenOutcome PracticeCreation::installTutorial(PracticeOpener& opener) {
  ui::Prompter& prompter = surroundings_.prompter;
  const store::DataLocation location = tutorialLocation();
  bool install = true;
  try {
    if (store::Connection::holdsTable(location, "QVTRN")) install = prompter.askYesNo(tutorialExists);
  } catch (const store::ConnectionError&) {
    install = true;
  }
  if (install) {
    if (!surroundings_.launcher.exists(tutorialProgram)) {
      prompter.error(tutorialMissing);
      return OpenOutcome::NotOpened;
    }
    std::vector<std::string> arguments;
    if (engine_ == store::Engine::Server) arguments.emplace_back("--server");
    arguments.push_back(location.path);
    if (surroundings_.launcher.run(tutorialProgram, arguments) != 0) {
      prompter.error(tutorialFailed);
      return OpenOutcome::NotOpened;
    }
  }
  PracticeList list(root_);
  if (!list.nameOf(location.path)) list.add({tutorialName, location.path});
  return opener.open(location);
}

}  // namespace vantrell::practice
