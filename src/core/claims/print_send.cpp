#include "claims/print_send.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "claims/claim_actions.hpp"
#include "claims/claim_list.hpp"
#include "claims/claim_picture.hpp"
#include "claims/claim_slots.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::claims {
namespace {

bool endsWithExe(const std::string& name) {
  return name.size() >= 4 && store::upperAscii(name.substr(name.size() - 4)) == ".EXE";
}

bool isProgram(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (const char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  return std::stoll(text);
}

// "Claim 20 (Roe, Ann) to its primary carrier was not sent:"
std::optional<RefusedClaim> refusalHeading(const std::string& line) {
  static const std::string start = "Claim ";
  static const std::string end = " carrier was not sent:";
  if (line.rfind(start, 0) != 0 || line.size() < start.size() + end.size() ||
      line.compare(line.size() - end.size(), end.size(), end) != 0)
    return std::nullopt;
  const std::size_t open = line.find(" (", start.size());
  const std::size_t close = line.rfind(") to its ");
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  const auto number = wholeNumber(line.substr(start.size(), open - start.size()));
  const std::string slotWord = line.substr(close + 9, line.size() - end.size() - (close + 9));
  const int slot = slotWord == "primary"     ? 1
                   : slotWord == "secondary" ? 2
                   : slotWord == "tertiary"  ? 3
                                             : 0;
  if (!number || slot == 0) return std::nullopt;
  return RefusedClaim{*number, slot, line.substr(open + 2, close - open - 2), {}};
}

}  // namespace

std::vector<RefusedClaim> refusedClaims(store::Connection& practice,
                                        const std::vector<std::int64_t>& claims, int slot,
                                        bool estimate) {
  std::vector<RefusedClaim> refused;
  for (const std::int64_t number : claims) {
    const auto picture = readClaimPicture(practice, number, slot, estimate);
    if (!picture) {
      refused.push_back(
          {number,
           slot,
           {},
           {{"Claim key " + std::to_string(number) + " not found", "Claim Management"}}});
      continue;
    }
    auto problems = checkClaim(*picture);
    if (problems.empty()) continue;
    std::string patient = picture->patient.lastName;
    if (!picture->patient.firstName.empty()) patient += ", " + picture->patient.firstName;
    refused.push_back({number, slot, patient.empty() ? picture->patient.chartNumber : patient,
                       std::move(problems)});
  }
  return refused;
}

std::vector<RefusedClaim> refusedWaitingClaims(store::Connection& practice,
                                               const std::vector<std::int64_t>& claims,
                                               bool estimate) {
  std::vector<RefusedClaim> refused;
  store::Table rows = practice.openTable(claimTableName(estimate));
  rows.setOrder("Primary");
  for (const std::int64_t number : claims) {
    int slot = 1;
    if (const auto claim = rows.seek({store::Value{number}})) {
      for (int at = slotCount; at >= 1; --at)
        if (claim->text(claimSlotFields(at).status) == claim_status::readyToSend) slot = at;
    }
    for (auto& one : refusedClaims(practice, {number}, slot, estimate))
      refused.push_back(std::move(one));
  }
  return refused;
}

std::vector<ReceiverChoice> receiverChoices(store::Connection& practice) {
  store::ensureTable(practice, "QVECR");
  store::Table receivers = practice.openTable("QVECR");
  receivers.setOrder("Primary");
  std::vector<ReceiverChoice> choices;
  receivers.forEach([&](const store::Record& row) {
    choices.push_back({std::string(store::trimRight(row.text("Code"))),
                       std::string(store::trimRight(row.text("Name")))});
  });
  return choices;
}

PrintSendDialog::PrintSendDialog(store::Connection& practice, ui::Prompter& prompter,
                                 security::Security* security)
    : prompter_(prompter), security_(security), receivers_(receiverChoices(practice)) {}

bool PrintSendDialog::mayOpen() const {
  return security_ == nullptr || security_->hasPermission(claim_permission::print, false);
}

bool PrintSendDialog::accept() {
  if (choice.method == PrintSendChoice::Method::Paper) return true;
  const std::string wanted = store::upperAscii(std::string(store::trimRight(choice.receiver)));
  for (const auto& receiver : receivers_) {
    if (!wanted.empty() && store::upperAscii(receiver.code) == wanted) {
      choice.receiver = receiver.code;
      return true;
    }
  }
  prompter_.error(chooseAReceiver);
  return false;
}

std::optional<std::filesystem::path> findSendingProgram(const std::string& programFile,
                                                        const std::filesystem::path& folder) {
  const std::string name(store::trimRight(programFile));
  if (name.empty()) return std::nullopt;
  const std::string withEnding = endsWithExe(name) ? name : name + ".EXE";
  if (isProgram(folder / withEnding)) return folder / withEnding;
  const std::string bare = withEnding.substr(0, withEnding.size() - 4);
  if (!bare.empty() && isProgram(folder / bare)) return folder / bare;
  return std::nullopt;
}

std::string quotedCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const auto& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += '"';
    for (const char c : argument) {
      // Inside double quotes the shell still reads these four.
      if (c == '"' || c == '\\' || c == '$' || c == '`') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

SendingReport readSendingReport(const std::string& output) {
  SendingReport report;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("sent ", 0) == 0) {
      std::istringstream words(line.substr(5));
      std::string claim, slot, rest;
      words >> claim >> slot;
      const auto number = wholeNumber(claim);
      const auto slotNumber = wholeNumber(slot);
      if (number && slotNumber && *slotNumber >= 1 && *slotNumber <= 3 && !(words >> rest)) {
        report.sent.push_back({*number, static_cast<int>(*slotNumber)});
        continue;
      }
    } else if (line.rfind("file ", 0) == 0) {
      report.file = line.substr(5);
      continue;
    } else if (auto heading = refusalHeading(line)) {
      report.refused.push_back(std::move(*heading));
    } else if (!report.refused.empty() && line.rfind("  - ", 0) == 0) {
      report.refused.back().problems.push_back({line.substr(4), {}});
    } else if (!report.refused.empty() && !report.refused.back().problems.empty() &&
               line.rfind("    Fix in: ", 0) == 0) {
      report.refused.back().problems.back().where = line.substr(12);
    }
    report.lines.push_back(line);
  }
  return report;
}

CommandRunner::Result ShellCommandRunner::run(const std::string& commandLine) {
  Result result;
  const std::string withErrors = commandLine + " 2>&1";
  FILE* pipe = ::popen(withErrors.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, read);
  const int status = ::pclose(pipe);
  result.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ElectronicOutcome sendElectronicClaims(const ElectronicSending& sending,
                                       const std::string& receiverCode) {
  ElectronicOutcome outcome;
  store::ensureTable(sending.practice, "QVECR");
  store::Table receivers = sending.practice.openTable("QVECR");
  receivers.setOrder("Primary");
  const auto receiver = receivers.seek({store::Value{store::upperAscii(receiverCode)}});
  const std::optional<std::filesystem::path> program =
      receiver ? findSendingProgram(receiver->text("Program File"), sending.programFolder)
               : std::nullopt;
  if (!program) {
    sending.prompter.error(programFileMissing);
    return outcome;
  }
  const std::string code(store::trimRight(receiver->text("Code")));
  sending.settings.write(emcReceiverSettingsKey, emcReceiverSettingsValue, code);
  std::vector<std::string> arguments{program->string()};
  if (sending.location.engine == store::Engine::Server) arguments.emplace_back("--server");
  arguments.push_back(sending.location.path);
  arguments.push_back(code);
  if (sending.estimate) arguments.emplace_back(estimateTag);
  outcome.commandLine = quotedCommandLine(arguments);
  const CommandRunner::Result ran = sending.runner.run(outcome.commandLine);
  outcome.started = ran.exitCode >= 0;
  outcome.exitCode = ran.exitCode;
  outcome.report = readSendingReport(ran.output);
  if (outcome.report.sent.empty()) return outcome;
  ClaimBillingRun billing;
  billing.claims = outcome.report.sent;
  billing.billingDate = sending.billingDate;
  billing.estimate = sending.estimate;
  outcome.billing =
      recordClaimsBilled(sending.practice, sending.options, sending.prompter, billing);
  return outcome;
}

}  // namespace vantrell::claims
