#include "x12/claim_sending.hpp"

#include <fmt/format.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "claims/claim_picture.hpp"
#include "claims/claim_slots.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "x12/segments.hpp"

namespace vantrell::x12 {

namespace {

std::string trim(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return text.substr(start);
}

// ISA13 holds nine digits; past them the count starts again at 1.
constexpr std::int64_t largestInterchangeNumber = 999999999;

std::optional<std::string> writeWhole(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path temporary = path.string() + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return fmt::format("The file {} cannot be written.", temporary.string());
    out << text;
    out.close();
    if (!out) return fmt::format("The file {} could not be written whole.", temporary.string());
  }
  // Claims name patients: the practice's group reads them, nobody else.
  ::chmod(temporary.c_str(), 0660);
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return fmt::format("The file {} cannot be put in place.", path.string());
  }
  return std::nullopt;
}

}  // namespace

std::variant<SendingRun, std::string> sendClaimsToReceiver(store::Connection& practice,
                                                           const std::string& receiverCode,
                                                           bool estimate,
                                                           const CreationTime& created) {
  store::Table receivers = practice.openTable("QVECR");
  receivers.setOrder("Primary");
  auto receiver = receivers.seek({store::Value{store::upperAscii(receiverCode)}});
  if (!receiver) return fmt::format("The receiver {} is not in the receiver list.", receiverCode);
  const std::string code = trim(receiver->text("Code"));
  const std::filesystem::path folder = trim(receiver->text("FilePath"));
  if (folder.empty())
    return fmt::format("The receiver {} has no folder for its claim files (FilePath).", code);
  if (!std::filesystem::is_directory(folder))
    return fmt::format("The folder {} of the receiver {} does not exist.", folder.string(), code);

  if (trim(receiver->text("Submitter ID 1")).empty())
    return fmt::format("The receiver {} has no submitter ID (Submitter ID 1) to send under.", code);

  SendingRun run;
  std::vector<claims::ClaimPicture> passed;
  for (int slot = 1; slot <= claims::slotCount; ++slot) {
    for (const std::int64_t number : claims::claimsReadyToSend(practice, slot, code, estimate)) {
      auto picture = claims::readClaimPicture(practice, number, slot, estimate);
      if (!picture) continue;
      auto problems = claims::checkClaim(*picture);
      if (!problems.empty()) {
        run.refused.push_back({number, slot,
                               picture->patient.lastName + ", " + picture->patient.firstName,
                               std::move(problems)});
        continue;
      }
      run.sent.push_back({number, slot});
      passed.push_back(std::move(*picture));
    }
  }
  if (passed.empty()) return run;

  // The number is taken under the receiver's record lock and stored before
  // anything is written: a run that fails later leaves a gap, never a repeat.
  receivers.edit(*receiver);
  std::int64_t number = receiver->integer("Filename ID") + 1;
  if (number > largestInterchangeNumber || number < 1) number = 1;
  receiver->set("Filename ID", store::Value{number});
  receivers.post(*receiver);
  run.interchangeNumber = number;

  Submission submission;
  submission.senderId = trim(receiver->text("Submitter ID 1"));
  submission.receiverId = trim(receiver->text("Extra 1"));
  if (submission.receiverId.empty()) submission.receiverId = code;
  submission.receiverName = trim(receiver->text("Name"));
  submission.contactName = trim(receiver->text("Contact"));
  submission.contactPhone = trim(receiver->text("Phone"));
  if (practice.tableExists("QVPRA")) {
    store::Table practiceRows = practice.openTable("QVPRA");
    if (const auto row = practice::readSingleRow(practiceRows)) {
      submission.submitterName = trim(row->text("Practice Name"));
      if (submission.contactPhone.empty()) submission.contactPhone = trim(row->text("Phone"));
    }
  }
  // The group number follows the interchange's: one group per interchange.
  const std::string text = write837P(passed, submission, {number, number}, created);
  // The file is read back before it leaves: a broken envelope is never sent.
  auto readBack = readInterchange(text);
  if (const auto* failure = std::get_if<std::string>(&readBack)) return *failure;
  if (const auto problems = envelopeProblems(std::get<Interchange>(readBack)); !problems.empty())
    return "The claim file was not written: " + problems.front();
  run.file = folder / fmt::format("{}_{:09}.837", code, number);
  if (auto failure = writeWhole(run.file, text)) return *failure;
  return run;
}

}  // namespace vantrell::x12
