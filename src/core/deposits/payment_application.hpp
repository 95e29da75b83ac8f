#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "claims/claim_actions.hpp"
#include "common/money.hpp"
#include "deposits/deposit_window.hpp"
#include "practice/options.hpp"
#include "statements/statement_creation.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

namespace vantrell::deposits {

// The note a charge carries: its kind (a Documentation Type code) and its text.
struct ChargeDocumentation {
  std::string type;
  std::string text;
  bool operator==(const ChargeDocumentation&) const = default;
};

// What the clerk typed for one charge, held until the save, with the signs
// the ledger stores: payment, deductible, withhold and adjustment negative,
// take back positive, the allowed amount as typed.
struct ApplicationEntry {
  Money payment, deductible, withhold, allowed, adjustment, takeBack;
  bool complete = false;
  std::string rejection;
  // Set when the clerk changed the charge's note; the save writes it to the charge.
  std::optional<ChargeDocumentation> documentation;
  // The charge's own Allowed Amount takes the allowed amount at the save.
  bool updateChargeAllowed = false;
  // Whether the save has anything to do for the charge.
  bool any() const {
    return complete || payment != Money{} || deductible != Money{} || withhold != Money{} ||
           allowed != Money{} || adjustment != Money{} || takeBack != Money{} ||
           !rejection.empty() || documentation.has_value();
  }
};

// One charge of the chosen patient as the window lists it.
struct ApplicationRowView {
  store::Record charge;
  // Who pays this charge from the deposit: "1", "2" or "3" for the case's
  // policy that carries the deposit's carrier, "A" attorney, "G" guarantor;
  // empty when the deposit's carrier is on none of the case's policies.
  std::string payor;
  ApplicationEntry entry;
};

// The five transaction codes the save posts with.
struct ApplicationCodes {
  std::string payment, deductible, adjustment, withhold, takeBack;
};

// The four check boxes remembered per workstation user.
struct ApplicationChoices {
  bool billRemainingInsurances = false;
  bool printStatements = false;
  bool alertClaimsDone = false;
  bool alertStatementsDone = false;
};

// A claim whose next carrier is to be billed on paper now that the carrier
// before it has finished paying.
struct DueClaim {
  std::int64_t claim = 0;
  int slot = 0;
};

inline constexpr const char* paymentApplicationSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Payment Application";

// The window that spends one deposit's unapplied amount on the charges of one
// patient at a time. The save writes through the ledger-posting component, so
// its lines, applications, buckets and balances follow the same rules as the
// transaction window's.
class PaymentApplicationWindow {
 public:
  struct Surroundings {
    store::Connection& practice;
    const practice::Options& options;
    ui::Prompter& prompter;
    const ui::Clock& clock;
    std::string userCode;
    ui::Settings* settings = nullptr;        // none: the check boxes start cleared
    security::Security* security = nullptr;  // none: every action is allowed
    // Prints the due claims after a save with Bill Remaining Insurances Now;
    // none: they are only told.
    claims::ClaimPrinting* claimPrinting = nullptr;
    // Makes and prints the patient's statement after a save with Print
    // Statement Now; none: nothing is made or printed.
    statements::StatementPrinting* statementPrinting = nullptr;
  };

  // Opens for the deposit with that Entry Number; throws when there is none.
  PaymentApplicationWindow(Surroundings surroundings, std::int64_t depositEntry);
  // Apply from the deposit list: after "Apply Screen", with the deposit row
  // held until close() so that no other window or desk changes it meanwhile;
  // nullptr (with the system's message) when the user may not, the deposit
  // is missing or another window or desk has it.
  static std::unique_ptr<PaymentApplicationWindow> openHeld(Surroundings surroundings,
                                                            std::int64_t depositEntry);

  const store::Record& deposit() const { return deposit_; }
  bool insurancePayor() const { return insurance_; }
  ApplicationCodes& codes() { return codes_; }
  // The procedure codes a code box offers for the deposit's payor and method,
  // as the deposit window offers them.
  std::vector<store::Record> codeChoices(CodeBox box) const;
  const ApplicationChoices& choices() const { return choices_; }
  // Remembered at once, unless for this window only.
  void setChoices(const ApplicationChoices& choices, bool remember = true);

  // Lists the patient's charges (after the abandon question when entries are
  // unsaved). False for an unknown chart or a No.
  bool choosePatient(const std::string& chartNumber);
  const std::string& chartNumber() const { return chart_; }
  void setShowUnpaidOnly(bool on);
  void setShowRemainderOnly(bool on);
  // The charges shown, oldest first.
  const std::vector<ApplicationRowView>& rows() const { return rows_; }
  // "Primary Carrier", "Secondary Carrier", "Tertiary Carrier" for an
  // insurance payor's position on the row's case; "" otherwise.
  std::string payorPosition(std::size_t row) const;

  // The typed amounts, stored with the signs above.
  void setPayment(std::size_t row, Money typed);
  void setDeductible(std::size_t row, Money typed);
  void setWithhold(std::size_t row, Money typed);
  void setAllowed(std::size_t row, Money typed);
  void setAdjustment(std::size_t row, Money typed);
  void setTakeBack(std::size_t row, Money typed);
  void setComplete(std::size_t row, bool complete);
  void setRejection(std::size_t row, const std::string& code);
  // Documentation: the charge's note as the window shows it, what was typed
  // else what the charge carries.
  ChargeDocumentation documentation(std::size_t row) const;
  // False, keeping nothing, for a kind outside the Documentation Type codes;
  // the text keeps its first 255 characters, as the note's editor allows.
  bool setDocumentation(std::size_t row, ChargeDocumentation note);
  static constexpr std::size_t documentationLength = 255;

  // The charge's stored remainder with this window's entries.
  Money shownRemainder(std::size_t row) const;
  // The deposit's unapplied amount with this window's entries.
  Money unapplied() const;
  bool unappliedIsNegative() const { return unapplied() < Money{}; }

  // Spends what is unapplied on the charges shown, oldest first.
  void applyToOldest();
  // The rows with something entered (List Only).
  std::vector<const ApplicationRowView*> entriesSoFar() const;
  // The lines already written from the deposit, every patient's (View So Far).
  std::vector<store::Record> postedSoFar() const;

  // Writes every entry in one database transaction. False when nothing was
  // saved (a No to the over-applied question, or the engine refused).
  bool save();
  // The claims the last save found due for their next carrier.
  const std::vector<DueClaim>& dueClaims() const { return due_; }
  // Before another patient or closing: the abandon question while entries are unsaved;
  // a Yes throws them away.
  bool mayLeave();
  // Writes the final unapplied amount to the deposit (and lets a held one go).
  void close();

 private:
  void reload();
  void afterAmount(std::size_t row);
  void calculateDisallowed(std::size_t row);
  void calculateAllowed(std::size_t row);
  const store::Record* caseOf(const store::Record& charge) const;
  std::string payorOf(const store::Record& charge) const;
  bool paidByPayor(const store::Record& charge, const std::string& payor) const;

  Surroundings context_;
  store::Record deposit_;
  bool insurance_ = false;
  std::string carrier_;
  ApplicationCodes codes_;
  ApplicationChoices choices_;
  Money openingUnapplied_;
  std::string chart_;
  bool unpaidOnly_ = false;
  bool remainderOnly_ = false;
  std::vector<ApplicationRowView> rows_;
  // Entries typed on charges a filter hides now, by entry number.
  std::map<std::int64_t, ApplicationEntry> entries_;
  std::map<std::int64_t, store::Record> cases_;
  std::unique_ptr<DepositForApplying> held_;
  std::vector<DueClaim> due_;
};

}  // namespace vantrell::deposits
