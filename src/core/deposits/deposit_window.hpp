#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"

namespace vantrell::deposits {

// What the deposit windows work with.
struct DepositSurroundings {
  store::Connection& practice;
  ui::Prompter& prompter;
  security::Security* security = nullptr;
  // The program date as it stands now: a new deposit's date.
  std::function<Date()> programDate;
};

// The guarded actions of the deposit list.
namespace deposit_permission {
inline constexpr int create = 32;
inline constexpr int edit = 33;
inline constexpr int apply = 34;
inline constexpr int print = 35;
inline constexpr int remove = 36;
}  // namespace deposit_permission

// The code boxes of the deposit window whose offered codes depend on the payor.
enum class CodeBox { Payment, Adjustment, Withhold, Deductible, TakeBack };

// The procedure code types (QVPRO "Type") a box offers for the payor type and
// payment method, as one string of letters. An attorney pays as a patient does.
std::string offeredCodeTypes(CodeBox box, const std::string& payorType,
                             const std::string& paymentMethod);

// The procedure codes a box offers for the payor type and payment method, by code.
std::vector<store::Record> offeredCodes(store::Connection& practice, CodeBox box,
                                        const std::string& payorType,
                                        const std::string& paymentMethod);

// The deposit window: one QVDEP row, new or held in edit while open.
class DepositWindow {
 public:
  // A new deposit after "New Deposit": dated the program date, paid by a
  // patient's check, with the codes the options give new deposits.
  static std::unique_ptr<DepositWindow> openNew(DepositSurroundings surroundings);
  // A stored deposit after "Edit Deposit", held in edit; nullptr (with the
  // system's message) when it is missing or another user has it.
  static std::unique_ptr<DepositWindow> openExisting(DepositSurroundings surroundings,
                                                     std::int64_t entryNumber);
  ~DepositWindow();
  DepositWindow(const DepositWindow&) = delete;
  DepositWindow& operator=(const DepositWindow&) = delete;

  // "Deposit: (new)", or "Deposit: " and the entry number.
  std::string title() const;
  const store::Record& deposit() const { return deposit_; }
  bool isNew() const { return !deposit_.isStored(); }

  // A field as typed. A new payment amount moves the unapplied amount by the
  // same difference; a payor chosen by chart number or carrier code brings its
  // name when none is typed; a new payment method on a new deposit brings the option's
  // payment code for it when the code was the default. False (with the store's
  // message) for a value that does not fit the field.
  bool setField(const std::string& field, const std::string& text);
  void setPaymentAmount(Money amount);

  // The procedure codes the box offers now, by code.
  std::vector<store::Record> codeChoices(CodeBox box);

  // Runs the checks in order; the first that fails says why, leaves the
  // deposit in edit and names the box that gets the focus. Otherwise writes
  // the deposit, the paying patient's last payment, the audit entries and
  // the check number of its payments, and keeps the window open on it.
  bool save();
  // The field the last refused save put the focus on ("" when none).
  const std::string& focus() const { return focus_; }
  // Lets the deposit go without saving.
  void close();

 private:
  DepositWindow(DepositSurroundings surroundings);
  bool checkPaymentCode();
  bool checkPayor();
  void updateLastPatientPayment();
  // A payor chosen by code brings its name, unless one was typed.
  void fillPayorName(const std::string& payorField);
  void writeEditAudit(const store::Record& before);
  void updateCheckNumbers(const std::string& checkNumber);
  std::string optionText(const std::string& field);

  DepositSurroundings context_;
  store::Table deposits_;
  store::Record deposit_;
  std::optional<store::Record> stored_;  // as read, for the audit of an edit
  std::string focus_;
};

// The deposit held while the payment application window spends it: Apply
// takes the row's lock, and closing that window writes back its final
// unapplied amount.
class DepositForApplying {
 public:
  // After "Apply Screen"; nullptr with "The current record is in use.  This
  // process cannot complete." when another window or desk has the deposit.
  static std::unique_ptr<DepositForApplying> hold(DepositSurroundings surroundings,
                                                  std::int64_t entryNumber);
  ~DepositForApplying();
  DepositForApplying(const DepositForApplying&) = delete;
  DepositForApplying& operator=(const DepositForApplying&) = delete;

  const store::Record& deposit() const { return deposit_; }
  // The application window closed with this unapplied amount: written when it
  // differs from the stored one; the deposit is let go either way.
  void close(Money finalUnapplied);

 private:
  DepositForApplying(DepositSurroundings surroundings, store::Table deposits,
                     store::Record deposit);
  DepositSurroundings context_;
  store::Table deposits_;
  store::Record deposit_;
};

// Deletes the deposit after "Delete Deposit" and the question; its payments
// and their application rows stay. False when nothing was deleted.
bool deleteDeposit(DepositSurroundings surroundings, std::int64_t entryNumber);

// The deposit's row, read without holding it.
std::optional<store::Record> findDeposit(store::Connection& practice, std::int64_t entryNumber);

// The logged-in user's code, or the session's when security is off.
std::string depositUserCode(const DepositSurroundings& surroundings);

}  // namespace vantrell::deposits
