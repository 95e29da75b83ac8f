#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command_line.hpp"
#include "context.hpp"
#include "store/errors.hpp"

namespace vantrell::cli {
namespace {

constexpr const char* usageText = R"(Usage: vantrell-cli [--root DIR] [--practice PATH] [--server] [--user CODE --password PW]
                    [--yes] [--json] NOUN VERB [ARGS] [FIELD=VALUE ...]

Global options may stand anywhere on the line.
  --root DIR        root data directory (practice list, users in the program)
  --practice PATH   practice directory; with --server, database/practice on the server
  --server, CS      use the database server (VANTRELL_SERVER holds its connection string)
  --user CODE --password PW
                    log in to a practice with users ("--password -" reads it from standard input)
  --yes             answer Yes to the system's questions
  --json            print results as JSON

  --reset-practice  forget the practice opened last (as F8 held at start-up)
  --reset-root      forget it and the root data directory too (as F7)

Commands:
  schema create PATH                       create the missing tables of a practice (idempotent)
  table list                               the tables of the practice with their row counts
  table export TABLE [--order TAG] [--filter EXPR]
                                           the rows of a table as CSV with the exact field names
  table import TABLE FILE.csv              a code table from CSV (header of field names), each row
                                           checked as if typed; all rows or none
  practice list                            the practice list of the root data directory
  practice create --name NAME --path PATH  a new practice, added to the list and opened
  practice remove --name NAME --path PATH  take a name off the list (the data stays)
  practice open [PATH]                     open a practice (default: the one opened last)
  practice tutorial                        install and open the tutorial practice
  options show | set FIELD=VALUE...        the practice's program options
  practice-info show | set FIELD=VALUE... [--billing-service]
                                           the practice (or billing service) information
  user list | add CODE FIELD=VALUE... | edit CODE FIELD=VALUE... | delete CODE
                                           the practice's users ("Password=" is taken in clear and
                                           stored only as a verifier)
  user password CODE                       a new password, read from standard input (twice)
  permission show [ITEM] | set ITEM "Level N=BOOL"...
                                           the permissions of the access levels
  permission check ITEM                    whether the logged-in user may do the operation
  code|multilink|carrier|insclass|provider|refprovider|diagnosis|billcode|address|receiver|rejection
       add CODE FIELD=VALUE... | edit CODE FIELD=VALUE... | delete CODE | show CODE | list
                                           the practice's code tables, with their checks
  login-log show                           the login and logout log
  patient add FIELD=VALUE...               a new patient or guarantor; prints the chart number
                                           (made from the name, or the next number, when not given)
  patient edit CHART FIELD=VALUE... | show CHART | delete CHART
  patient list [FROM] [--order chart|name|ssn|id2]
                                           the patients from FROM on ("SMITH, J" by name)
  case add --chart CHART FIELD=VALUE...    a new case; prints the case number
  case edit N FIELD=VALUE... | copy N | show N | delete N
  case list --chart CHART                  the cases of a patient (--json: every field)
  charge add --chart C --case N CODE [FIELD=VALUE...]
                                           one charge through the transaction window and a save;
                                           prints its entry number
  charge multilink --chart C --case N CODE [--date D]
                                           the charges of a multilink code
  charge delete ENTRY                      a charge with its applications
  ledger show --chart C [--case N]         the ledger of a patient (--json: every field)
                                           (--estimate: the estimates ledger, for charge and ledger)
  payment add --chart C --case N CODE AMOUNT [--payer 1|2|3|G|A] [FIELD=VALUE...]
                                           a payment, adjustment or comment, the amount typed as a
                                           clerk types it (the sign follows the code); prints its entry
  payment apply PAYMENT CHARGE AMOUNT [--complete]
                                           applies part of a payment or adjustment to a charge
  payment apply-oldest PAYMENT             applies what is left to the oldest charges first
  balance show --chart C [--case N] [--estimates [--document D]]
                                           the account balance, and per case the remainders,
                                           unapplied amounts and the estimates
  recalc [--chart C]                       rebuilds every stored total from the applications

Exit codes: 0 done, 1 refused by a rule of the system, 2 usage error, 3 engine or file failure.
)";

int run(const CommandLine& line) {
  if (line.help || line.noun.empty()) {
    std::cout << usageText;
    return line.help ? done : usageError;
  }
  Context context(line);
  if (line.noun == "schema") return schemaCommand(context);
  if (line.noun == "table") return tableCommand(context);
  if (line.noun == "practice") return practiceCommand(context);
  if (line.noun == "options") return optionsCommand(context);
  if (line.noun == "practice-info") return practiceInfoCommand(context);
  if (line.noun == "user") return userCommand(context);
  if (line.noun == "permission") return permissionCommand(context);
  if (line.noun == "login-log") return loginLogCommand(context);
  if (line.noun == "patient") return patientCommand(context);
  if (line.noun == "case") return caseCommand(context);
  if (line.noun == "charge") return chargeCommand(context);
  if (line.noun == "ledger") return ledgerCommand(context);
  if (line.noun == "payment") return paymentCommand(context);
  if (line.noun == "balance") return balanceCommand(context);
  if (line.noun == "recalc") return recalcCommand(context);
  if (isCodeTableNoun(line.noun)) return codeTableCommand(context);
  throw UsageError(fmt::format("Unknown command \"{} {}\". Try vantrell-cli --help.", line.noun, line.verb));
}

}  // namespace
}  // namespace vantrell::cli

int main(int argc, char** argv) {
  using namespace vantrell;
  try {
    const auto line = cli::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    return cli::run(line);
  } catch (const cli::Refused&) {
    return cli::refused;
  } catch (const cli::UsageError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::InputError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::RecordInUseError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::DuplicateKeyError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::ConnectionError& error) {
    std::cerr << error.what() << '\n' << error.location() << ": " << error.detail() << '\n';
    return cli::engineFailure;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return cli::engineFailure;
  }
}
