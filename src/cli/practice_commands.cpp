#include <iostream>
#include <memory>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"
#include "output.hpp"
#include "practice/practice_information.hpp"
#include "security/permission_list.hpp"
#include "store/system_fields.hpp"
#include "store/errors.hpp"

namespace vantrell::cli {
namespace {

int opened(Context& context, practice::OpenOutcome outcome) {
  if (outcome != practice::OpenOutcome::Opened) throw Refused();
  const auto* open = context.application().practice();
  if (context.json())
    printJson({{"caption", open->caption}, {"path", open->location.path}});
  else
    std::cout << open->caption << "\n";
  return done;
}

// FIELD=VALUE pairs onto a record, each read as a clerk types it.
void applyFields(const Fields& fields, store::Record& record) {
  for (const auto& [field, value] : fields) {
    if (store::isSystemField(record.table(), field))
      throw store::InputError(store::systemFieldRefusal(field));
    record.setFromText(field, value);
  }
}

int listPractices(Context& context) {
  const auto entries = context.application().practiceList().entries();
  if (context.json()) {
    Json list = Json::array();
    for (const auto& entry : entries) list.push_back({{"name", entry.name}, {"path", entry.path}});
    printJson(list);
  } else {
    for (const auto& entry : entries)
      std::cout << fmt::format("{:<36} {}\n", entry.name, entry.path);
  }
  return done;
}

// The list's Remove is guarded by the practice's own users: a practice with
// security on is opened with the login given, and the user must be allowed
// to remove it. A practice without users, or whose data is gone, has nobody
// to refuse.
int removePractice(Context& context, const practice::PracticeEntry& entry) {
  app::Application& application = context.application();
  if (practiceHasUsers({context.engine(), entry.path})) {
    context.openPracticeFor(entry.path);
    // Checked here, where no override is offered, before the list's own check.
    context.require(security::permission_item::deletePractice);
  }
  if (!application.removeFromList(entry)) throw Refused();
  if (context.json()) printJson({{"removed", {{"name", entry.name}, {"path", entry.path}}}});
  return done;
}

int openPractice(Context& context, const std::optional<std::string>& path) {
  if (path) {
    surfaceEngineFailure({context.engine(), *path});
    if (context.application().openPractice(*path) != practice::OpenOutcome::Opened) throw Refused();
  } else {
    context.openPractice();
  }
  context.require(security::permission_item::openPractice);
  return opened(context, practice::OpenOutcome::Opened);
}

int showOptions(Context& context) {
  const practice::OpenPractice& open = context.openPractice();
  if (context.json())
    printJson(recordJson(open.options.record()));
  else
    std::cout << recordLines(open.options.record());
  return done;
}

int setOptions(Context& context, const Fields& fields) {
  practice::OpenPractice& open = context.openPractice();
  context.require(security::permission_item::editProgramOptions);
  practice::OptionsWindow window(*open.connection, context.prompter(),
                                 open.security && open.security->isOn());
  applyFields(fields, window.fields());
  if (!window.save()) throw Refused();
  open.options = window.options();
  if (context.json()) printJson(recordJson(open.options.record()));
  return done;
}

int practiceInformation(Context& context, bool set, bool billing, const Fields& fields) {
  practice::OpenPractice& open = context.openPractice();
  context.require(set ? security::permission_item::editPracticeInformation
                      : security::permission_item::viewPracticeInformation);
  practice::PracticeInformationWindow window(*open.connection, context.prompter());
  if (set) {
    applyFields(fields, billing ? window.billingService() : window.practice());
    using Page = practice::PracticeInformationWindow::Page;
    if (!window.save(billing ? Page::BillingService : Page::Practice)) throw Refused();
  }
  if (context.json())
    printJson({{"practice", recordJson(window.practice())},
               {"billing service", recordJson(window.billingService())}});
  else if (!set)
    std::cout << recordLines(billing ? window.billingService() : window.practice());
  return done;
}

}  // namespace

void addPracticeCommands(CLI::App& app, Action& chosen) {
  CLI::App* practice = app.add_subcommand("practice", "the practice list and opening practices");
  onRun(addVerb(practice, "list", "the practice list of the root data directory"), chosen,
        listPractices);

  auto created = std::make_shared<practice::PracticeEntry>();
  CLI::App* create = addVerb(practice, "create", "a new practice, added to the list and opened");
  create->add_option("--name", created->name, "the name shown in lists and the caption")
      ->required();
  create
      ->add_option("--path", created->path,
                   "practice directory, or database/practice with --server")
      ->required();
  onRun(create, chosen, [created](Context& context) {
    return opened(context, context.application().newPractice(created->name, created->path));
  });

  auto removed = std::make_shared<practice::PracticeEntry>();
  CLI::App* remove =
      addVerb(practice, "remove",
              "take a name off the list (the data stays); a practice with users needs --user and "
              "--password of a user allowed to remove it");
  remove->add_option("--name", removed->name, "the name on the list")->required();
  remove->add_option("--path", removed->path, "the practice's directory on the list")->required();
  onRun(remove, chosen, [removed](Context& context) { return removePractice(context, *removed); });

  auto openPath = std::make_shared<std::optional<std::string>>();
  CLI::App* open = addVerb(practice, "open", "open a practice (default: the one opened last)");
  open->add_option_function<std::string>(
      "PATH", [openPath](const std::string& path) { *openPath = path; }, "practice directory");
  onRun(open, chosen, [openPath](Context& context) { return openPractice(context, *openPath); });

  onRun(addVerb(practice, "tutorial", "install and open the tutorial practice"), chosen,
        [](Context& context) { return opened(context, context.application().installTutorial()); });

  CLI::App* options = app.add_subcommand("options", "the practice's program options");
  onRun(addVerb(options, "show", "every option with its value"), chosen, showOptions);
  auto optionFields = std::make_shared<Fields>();
  CLI::App* setOptionsVerb =
      addVerb(options, "set", "change options, checked as the options window checks them");
  addFields(setOptionsVerb, *optionFields, "options by their field names")->required();
  onRun(setOptionsVerb, chosen,
        [optionFields](Context& context) { return setOptions(context, *optionFields); });

  CLI::App* information =
      app.add_subcommand("practice-info", "the practice (or billing service) information");
  auto billing = std::make_shared<bool>(false);
  auto informationFields = std::make_shared<Fields>();
  CLI::App* show = addVerb(information, "show", "the practice information (--json: both pages)");
  show->add_flag("--billing-service", *billing, "the billing service page");
  onRun(show, chosen,
        [billing](Context& context) { return practiceInformation(context, false, *billing, {}); });
  CLI::App* set =
      addVerb(information, "set", "change the practice (or billing service) information");
  set->add_flag("--billing-service", *billing, "the billing service page");
  addFields(set, *informationFields, "fields by their names")->required();
  onRun(set, chosen, [billing, informationFields](Context& context) {
    return practiceInformation(context, true, *billing, *informationFields);
  });
}

}  // namespace vantrell::cli
