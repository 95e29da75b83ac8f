#include <iostream>

#include <fmt/format.h>

#include "context.hpp"
#include "output.hpp"
#include "practice/practice_information.hpp"
#include "security/permission_list.hpp"
#include "store/connection.hpp"
#include "store/errors.hpp"
#include "store/system_fields.hpp"

namespace vantrell::cli {
namespace {

const std::string& requiredOption(const CommandLine& line, const std::string& option) {
  const auto found = line.options.find(option);
  if (found == line.options.end()) throw UsageError("This command needs " + option + ".");
  return found->second;
}

int opened(Context& context, practice::OpenOutcome outcome) {
  if (outcome != practice::OpenOutcome::Opened) throw Refused();
  const auto* open = context.application().practice();
  if (context.line().json)
    std::cout << "{\"caption\": " << jsonString(open->caption) << ", \"path\": " << jsonString(open->location.path)
              << "}\n";
  else
    std::cout << open->caption << "\n";
  return done;
}

// FIELD=VALUE pairs onto a record, each read as a clerk types it.
void applyFields(const CommandLine& line, store::Record& record) {
  for (const auto& [field, value] : line.fields) {
    if (store::isSystemField(record.table(), field))
      throw store::InputError(store::systemFieldRefusal(field));
    record.setFromText(field, value);
  }
}

}  // namespace

int practiceCommand(Context& context) {
  const CommandLine& line = context.line();
  app::Application& application = context.application();
  if (line.verb == "list") {
    const auto entries = application.practiceList().entries();
    if (line.json) {
      std::cout << "[";
      for (std::size_t i = 0; i < entries.size(); ++i)
        std::cout << (i > 0 ? ",\n " : "") << "{\"name\": " << jsonString(entries[i].name)
                  << ", \"path\": " << jsonString(entries[i].path) << "}";
      std::cout << "]\n";
    } else {
      for (const auto& entry : entries) std::cout << fmt::format("{:<36} {}\n", entry.name, entry.path);
    }
    return done;
  }
  if (line.verb == "create")
    return opened(context, application.newPractice(requiredOption(line, "--name"), requiredOption(line, "--path")));
  if (line.verb == "remove") {
    const practice::PracticeEntry entry{requiredOption(line, "--name"), requiredOption(line, "--path")};
    if (!application.removeFromList(entry)) throw Refused();
    return done;
  }
  if (line.verb == "open") {
    if (!line.arguments.empty()) {
      // An engine or file failure is exit code 3 here as everywhere.
      store::Connection::open({context.engine(), line.arguments[0]}, {"", nullptr, false});
      if (application.openPractice(line.arguments[0]) != practice::OpenOutcome::Opened) throw Refused();
    } else {
      context.openPractice();
    }
    context.require(security::permission_item::openPractice);
    return opened(context, practice::OpenOutcome::Opened);
  }
  if (line.verb == "tutorial") return opened(context, application.installTutorial());
  throw UsageError("Unknown command \"practice " + line.verb + "\".");
}

int optionsCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  if (line.verb == "show") {
    std::cout << (line.json ? recordJson(open.options.record()) + "\n" : recordLines(open.options.record()));
    return done;
  }
  if (line.verb == "set") {
    if (line.fields.empty()) throw UsageError("options set needs FIELD=VALUE pairs.");
    context.require(security::permission_item::editProgramOptions);
      practice::OptionsWindow window(*open.connection, context.prompter(), open.security && open.security->isOn());
    applyFields(line, window.fields());
    if (!window.save()) throw Refused();
    open.options = window.options();
    if (line.json) std::cout << recordJson(open.options.record()) << "\n";
    return done;
  }
  throw UsageError("Unknown command \"options " + line.verb + "\".");
}

int practiceInfoCommand(Context& context) {
  const CommandLine& line = context.line();
  practice::OpenPractice& open = context.openPractice();
  context.require(line.verb == "set" ? security::permission_item::editPracticeInformation
                                     : security::permission_item::viewPracticeInformation);
  practice::PracticeInformationWindow window(*open.connection, context.prompter());
  const bool billing = line.has("--billing-service");
  if (line.verb == "show") {
    if (line.json)
      std::cout << "{\"practice\": " << recordJson(window.practice())
                << ", \"billing service\": " << recordJson(window.billingService()) << "}\n";
    else
      std::cout << recordLines(billing ? window.billingService() : window.practice());
    return done;
  }
  if (line.verb == "set") {
    if (line.fields.empty()) throw UsageError("practice-info set needs FIELD=VALUE pairs.");
    applyFields(line, billing ? window.billingService() : window.practice());
    using Page = practice::PracticeInformationWindow::Page;
    if (!window.save(billing ? Page::BillingService : Page::Practice)) throw Refused();
    return done;
  }
  throw UsageError("Unknown command \"practice-info " + line.verb + "\".");
}

}  // namespace vantrell::cli
