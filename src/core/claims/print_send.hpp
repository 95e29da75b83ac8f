#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "claims/claim_billing.hpp"
#include "claims/claim_checks.hpp"
#include "common/date.hpp"
#include "practice/options.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

// Print/Send of the claim management window: paper claims go to the claim
// form, electronic claims to the receiver's own sending program, which
// selects, writes and sends them and says which went; only those are marked
// billed.
namespace vantrell::claims {

// The "Print/Send Claims" dialog.
struct PrintSendChoice {
  enum class Method { Paper, Electronic };
  Method method = Method::Paper;
  std::string receiver;  // a QVECR code, for Electronic
};

struct ReceiverChoice {
  std::string code;
  std::string name;
};
// The receivers the dialog offers, in code order.
std::vector<ReceiverChoice> receiverChoices(store::Connection& practice);

// The "Print/Send Claims" dialog: "Select claims with a billing method of:"
// Paper (preset) or Electronic with one of the receivers.
class PrintSendDialog {
 public:
  PrintSendDialog(store::Connection& practice, ui::Prompter& prompter,
                  security::Security* security);
  // Whether the user may print claims; the dialog does not open otherwise.
  bool mayOpen() const;
  const std::vector<ReceiverChoice>& receivers() const { return receivers_; }
  PrintSendChoice choice;
  // Paper is always accepted; Electronic needs a receiver of the list (its
  // code as stored is put in the choice), else the dialog says so.
  bool accept();

 private:
  ui::Prompter& prompter_;
  security::Security* security_;
  std::vector<ReceiverChoice> receivers_;
};
inline constexpr const char* chooseAReceiver = "Select an electronic claim receiver.";

// The program a receiver's "Program File" names, looked for in the program's
// own folder: the name with ".EXE" appended when it has no such ending, or,
// as programs here have no ending, the same name without it. None when
// neither is an executable file there.
std::optional<std::filesystem::path> findSendingProgram(const std::string& programFile,
                                                        const std::filesystem::path& folder);

// The command line that starts a sending program: each argument in double
// quotes, with the characters a shell treats specially inside them escaped.
std::string quotedCommandLine(const std::vector<std::string>& arguments);

// A claim that may not leave: what is wrong on it, and where to fix it.
struct RefusedClaim {
  std::int64_t claimNumber = 0;
  int slot = 1;
  std::string patient;  // "Marwood, Owen", as the clerk knows the claim
  std::vector<ClaimProblem> problems;
};

// The checks of the claims for the slot, in the order given: those that fail.
// A number of no claim is refused as not found.
std::vector<RefusedClaim> refusedClaims(store::Connection& practice,
                                        const std::vector<std::int64_t>& claims, int slot,
                                        bool estimate = false);

// The checks of each claim for the carrier it waits on: its first slot that is
// Ready to Send (the primary when none is). Those that fail, in the order given.
std::vector<RefusedClaim> refusedWaitingClaims(store::Connection& practice,
                                               const std::vector<std::int64_t>& claims,
                                               bool estimate = false);

// What a sending program printed: the claims it wrote, a line "sent CLAIM
// SLOT" each, its file, and everything else as its report to the user. The
// claims it refused are also read out of that report ("Claim N (PATIENT) to
// its primary carrier was not sent:", then "  - WHAT" and "    Fix in: WHERE"
// for each problem), so that a window can list them claim by claim.
struct SendingReport {
  std::vector<BilledClaim> sent;
  std::string file;
  std::vector<std::string> lines;
  std::vector<RefusedClaim> refused;
};
SendingReport readSendingReport(const std::string& output);

// Runs a command line and collects what it prints (standard output and
// errors); replaced in tests.
class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  struct Result {
    int exitCode = -1;  // -1: not started or not ended normally
    std::string output;
  };
  virtual Result run(const std::string& commandLine) = 0;
};
class ShellCommandRunner final : public CommandRunner {
 public:
  Result run(const std::string& commandLine) override;
};

struct ElectronicSending {
  store::Connection& practice;
  const practice::Options& options;
  ui::Prompter& prompter;
  ui::Settings& settings;
  CommandRunner& runner;
  std::filesystem::path programFolder;
  store::DataLocation location;  // the practice as the sending program opens it
  Date billingDate;
  bool estimate = false;
};

struct ElectronicOutcome {
  bool started = false;
  int exitCode = -1;
  std::string commandLine;
  SendingReport report;
  ClaimBillingOutcome billing;
};

// Electronic Print/Send for one receiver: finds its program (or says the
// "Program File" needs to be given and starts nothing), writes the receiver
// under the settings key, starts the program, then marks billed the claims it
// reports as sent.
ElectronicOutcome sendElectronicClaims(const ElectronicSending& sending,
                                       const std::string& receiverCode);

inline constexpr const char* emcReceiverSettingsKey = "Software\\Vantrell\\EMC Receiver";
inline constexpr const char* emcReceiverSettingsValue = "Receiver";
inline constexpr const char* programFileMissing =
    "The \"Program File\" field for this Receiver needs to be specified.";
// What the sending program is handed, in estimate mode, to send the estimates.
inline constexpr const char* estimateTag = "PRE*TREAT";

}  // namespace vantrell::claims
