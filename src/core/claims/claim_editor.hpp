#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "claims/claim_actions.hpp"
#include "store/record.hpp"
#include "store/table.hpp"

namespace vantrell::claims {

// The claim editor: one claim with its charges. The claim's patient and the
// claim row are held in edit while the window is open; Save posts the claim's
// fields, while adding, removing and splitting charges write at once.
class ClaimEditor {
 public:
  // Opens the editor after the permission and the patient lock; nullptr (with
  // the system's message) when the claim is not found or cannot be held.
  static std::unique_ptr<ClaimEditor> open(ClaimSurroundings surroundings,
                                           std::int64_t claimNumber);
  ~ClaimEditor();
  ClaimEditor(const ClaimEditor&) = delete;
  ClaimEditor& operator=(const ClaimEditor&) = delete;

  // "Claim: 12" or "Estimate Claim: 12".
  std::string title() const;
  std::int64_t claimNumber() const { return number_; }
  const store::Record& claim() const { return claim_; }

  // A field typed in the window. An inactive carrier is refused and the one
  // before stays; fields the program keeps are refused.
  bool setField(const std::string& field, const std::string& text);
  // Posts the claim (keeping it held) with the user's code, and makes the
  // work-list items of the slots set to Challenge here.
  bool save();
  // Lets the claim and the patient go without saving.
  void close();

  // The claim's charges in date order.
  std::vector<store::Record> charges();
  // The unbilled insurance charges of the claim's case that may be added;
  // no value (with the system's message) when adding is not allowed or there
  // are none.
  std::optional<std::vector<store::Record>> addCandidates();
  // Adds the marked candidates whose diagnoses are the claim's; false when
  // nothing may be added.
  bool addCharges(const std::vector<std::int64_t>& entries);
  bool removeCharges(const std::vector<std::int64_t>& entries);
  // Moves the marked charges to a new claim and returns its number; its
  // diagnoses come from the charge at the cursor.
  std::optional<std::int64_t> splitCharges(const std::vector<std::int64_t>& entries,
                                           std::int64_t cursorEntry);

 private:
  ClaimEditor(ClaimSurroundings surroundings, std::int64_t number);
  bool allowed(int item);
  // The marked entries that are the claim's charges; false (with a message)
  // for one that is not.
  bool markedCharges(const std::vector<std::int64_t>& entries, std::vector<store::Record>& marked,
                     std::size_t& chargesOnClaim);
  bool checkMarks(const std::vector<std::int64_t>& entries, std::size_t chargesOnClaim,
                  const char* noneMarked, const char* allMarked, const char* onlyOne);
  void stamp(store::Table& ledger, store::Record& charge, std::int64_t claimNumber);

  ClaimSurroundings context_;
  std::int64_t number_;
  PatientLocks patientLock_;
  store::Table claims_;
  store::Record claim_;
  std::set<int> challengedSlots_;
};

// The open claim editors of one claim management window: one per claim.
class ClaimEditors {
 public:
  explicit ClaimEditors(ClaimSurroundings surroundings) : context_(std::move(surroundings)) {}
  // The claim's window, opened or brought forward; nullptr when it cannot open.
  ClaimEditor* edit(std::int64_t claimNumber);
  // Whether the last edit brought an open window forward.
  bool broughtForward() const { return broughtForward_; }
  void close(std::int64_t claimNumber);
  std::size_t openCount() const { return open_.size(); }

 private:
  ClaimSurroundings context_;
  std::map<std::int64_t, std::unique_ptr<ClaimEditor>> open_;
  bool broughtForward_ = false;
};

// The text Ctrl+T puts into a note: the date, a blank and the user's code.
std::string noteStamp(const Date& today, const std::string& userCode);
// Inserts the stamp at the cursor (a byte offset, clamped to the text) and
// returns the cursor after it.
std::size_t insertNoteStamp(std::string& text, std::size_t cursor, const std::string& stamp);

// The claim note window: the claim's Comment, held in edit while open; Esc
// (close) leaves the stored note as it was.
class ClaimNote {
 public:
  static std::unique_ptr<ClaimNote> open(ClaimSurroundings surroundings, std::int64_t claimNumber);
  ~ClaimNote();
  std::string text;
  void insertStamp(std::size_t cursor);
  bool save();
  void close();

 private:
  ClaimNote(ClaimSurroundings surroundings, store::Table claims, store::Record claim);
  ClaimSurroundings context_;
  store::Table claims_;
  store::Record claim_;
};

// The logged-in user's code, or the session's when security is off.
std::string currentUserCode(const ClaimSurroundings& surroundings);

}  // namespace vantrell::claims
