#include "remittance/remittance_import.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include <fmt/format.h>

#include "deposits/deposit_detail.hpp"
#include "deposits/payment_application.hpp"
#include "remittance/reason_codes.hpp"
#include "remittance/remittance_matching.hpp"
#include "remittance/remittance_queue.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/record_locks.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "transactions/balances.hpp"
#include "transactions/working_set.hpp"
#include "ui/prompter.hpp"

namespace vantrell::remittance {
namespace {

std::string trimmed(const std::string& text) {
  return std::string(store::trimRight(text));
}

std::string cut(const std::string& text, std::size_t width) {
  return text.size() <= width ? text : text.substr(0, width);
}

// The payment application window's messages, kept for the summary. Its
// questions are answered No, which posts nothing that was not checked first,
// except the over-applied deposit: lines never over-apply a charge (they are
// queued), so a deposit spent beyond its amount is one a provider adjustment
// reduced, and the queue says so.
class CollectingPrompter final : public ui::Prompter {
 public:
  std::vector<std::string> messages;
  int choose(const std::string&, const std::string& text,
             const std::vector<std::string>&) override {
    messages.push_back(text);
    return -1;
  }
  std::optional<std::string> askText(const std::string& text, const std::string&) override {
    messages.push_back(text);
    return std::nullopt;
  }

 protected:
  void say(Severity, const std::string&, const std::string& text) override {
    messages.push_back(text);
  }
  bool ask(Question, const std::string&, const std::string& text) override {
    messages.push_back(text);
    return text.rfind("The applied amount exceeds the total amount", 0) == 0;
  }
};

// What one matched line posts.
struct Posting {
  std::string chart;
  std::int64_t entry = 0;
  Money payment, adjustment, deductible;
  std::optional<Money> allowed;
  bool complete = false;
  std::string rejection;
  QueueEntry asQueued;  // what goes to the queue should the save refuse it
};

struct Plan {
  RemittanceAdvice advice;
  store::Record carrier;
  AdviceSummary summary;
  std::vector<Posting> postings;
  // When an earlier import of it stopped part way: its row, what its deposit
  // had applied to each charge, and the patients it had saved.
  std::optional<store::Record> earlier;
  std::map<std::int64_t, Money> appliedBefore;
  std::set<std::string> savedCharts;
};

Money sumOf(const std::vector<Adjustment>& adjustments, const std::string& group) {
  Money total;
  for (const auto& adjustment : adjustments)
    if (adjustment.group == group) total += adjustment.amount;
  return total;
}

std::string adjustmentsText(const std::vector<Adjustment>& adjustments) {
  std::string text;
  for (const auto& adjustment : adjustments)
    text += (text.empty() ? "" : "; ") + adjustmentText(adjustment);
  return text;
}

bool processed(const std::string& status) {
  return status == "1" || status == "2" || status == "3" || status == "19" || status == "20" ||
         status == "21";
}

class Planner {
 public:
  Planner(store::Connection& practice, const ImportChoices& choices)
      : practice_(practice), choices_(choices), cases_(practice.openTable("QVCAS")) {
    cases_.setOrder("Primary");
  }

  void plan(Plan& plan) {
    const RemittanceAdvice& advice = plan.advice;
    AdviceSummary& summary = plan.summary;
    const std::string carrier = store::upperAscii(trimmed(plan.carrier.text("Code")));
    const auto matches = matchAdvice(practice_, advice);
    std::set<std::string> reversed;
    for (const auto& claim : advice.claims)
      if (claim.status == "22") reversed.insert(claim.claimId);

    for (std::size_t index = 0; index < advice.claims.size(); ++index) {
      const ClaimPayment& claim = advice.claims[index];
      const ClaimMatch& match = matches[index];
      ++summary.claims;
      QueueEntry claimEntry;
      claimEntry.claimNumber = match.claimNumber.value_or(0);
      claimEntry.payerClaimId = claim.payerControl;
      claimEntry.chartNumber = match.chartNumber;
      if (claim.lines.empty()) {
        claimEntry.kind = claim.status == "22"  ? "Reversal"
                          : claim.status == "4" ? "Denial"
                                                : "Claim";
        claimEntry.reason =
            fmt::format("{}: claim {} is paid without service lines; post it by hand.",
                        claimStatusText(claim.status), claim.claimId);
        claimEntry.charge = claim.charge;
        claimEntry.paid = claim.paid;
        claimEntry.adjustments = adjustmentsText(claim.adjustments);
        summary.queued.push_back(claimEntry);
        continue;
      }
      if (!claim.adjustments.empty()) {
        QueueEntry entry = claimEntry;
        entry.kind = "Adjustment";
        entry.reason = fmt::format(
            "Claim {} has adjustments of the whole claim, not of a line; they are not posted.",
            claim.claimId);
        entry.adjustments = adjustmentsText(claim.adjustments);
        summary.queued.push_back(entry);
      }
      for (std::size_t number = 0; number < claim.lines.size(); ++number)
        planLine(plan, carrier, claim, claimEntry, claim.lines[number], match.lines[number],
                 reversed.count(claim.claimId) != 0);
    }
    for (const auto& adjustment : advice.providerAdjustments) {
      QueueEntry entry;
      entry.kind = "Provider";
      entry.paid = -adjustment.amount;
      entry.reason = fmt::format(
          "Provider adjustment {}{}: {} {} the payment.", providerAdjustmentText(adjustment.reason),
          adjustment.reference.empty() ? "" : ", reference " + adjustment.reference,
          adjustment.amount.abs().toString(),
          adjustment.amount > Money{} ? "taken from" : "added to");
      summary.queued.push_back(entry);
    }
  }

 private:
  // The policy position (1 to 3) of the carrier on the charge's case; 0 when none.
  int positionOf(const store::Record& charge, const std::string& carrier) {
    const std::string chart = store::upperAscii(trimmed(charge.text("Chart Number")));
    const std::int64_t caseNumber = charge.integer("Case Number");
    const auto key = std::make_pair(chart, caseNumber);
    auto found = positions_.find(key);
    if (found != positions_.end()) return found->second;
    int position = 0;
    if (auto row = cases_.seek({store::Value{chart}, store::Value{caseNumber}})) {
      for (int slot = 1; slot <= 3 && position == 0; ++slot)
        if (store::upperAscii(trimmed(row->text(fmt::format("Insurance Carrier #{}", slot)))) ==
            carrier)
          position = slot;
    }
    positions_.emplace(key, position);
    return position;
  }

  void planLine(Plan& plan, const std::string& carrier, const ClaimPayment& claim,
                const QueueEntry& claimEntry, const ServicePayment& line, const LineMatch& match,
                bool claimReversed) {
    AdviceSummary& summary = plan.summary;
    ++summary.lines;
    QueueEntry entry = claimEntry;
    entry.procedure = line.procedure;
    entry.dateFrom = line.serviceDate;
    entry.charge = line.charge;
    entry.paid = line.paid;
    entry.adjustments = adjustmentsText(line.adjustments);
    for (const auto& remark : line.remarks) entry.adjustments += "; " + remarkText(remark);
    if (match.charge) {
      entry.chargeEntry = match.charge->integer("Entry Number");
      entry.chartNumber = store::upperAscii(trimmed(match.charge->text("Chart Number")));
    }
    const auto queue = [&](const char* kind, std::string reason) {
      entry.kind = kind;
      entry.reason = std::move(reason);
      summary.queued.push_back(entry);
      ++summary.linesQueued;
    };
    if (claim.status == "22") {
      queue("Reversal",
            fmt::format("Reversal of previous payment: the payer takes back {} on claim "
                        "{}; post the take-back by hand.",
                        (-line.paid).toString(), claim.claimId));
      return;
    }
    if (claimReversed) {
      queue("Correction", fmt::format("Corrected payment of claim {}, reversed in this remittance; "
                                      "post it by hand with the reversal.",
                                      claim.claimId));
      return;
    }
    if (!processed(claim.status) && claim.status != "4") {
      queue("Not Posted", claimStatusText(claim.status) + ": nothing is posted for this claim.");
      return;
    }
    if (!match.charge) {
      queue("Unmatched", match.reason);
      return;
    }
    const store::Record& charge = *match.charge;
    if (line.paid < Money{}) {
      queue("Take Back", fmt::format("The payer takes back {} on charge {}; post the take-back by "
                                     "hand.",
                                     (-line.paid).toString(), entry.chargeEntry));
      return;
    }
    if (positionOf(charge, carrier) == 0) {
      queue("Unmatched",
            fmt::format("Carrier {} is not on the case of charge {}.", carrier, entry.chargeEntry));
      return;
    }
    const Money contractual = sumOf(line.adjustments, "CO");
    const Money patient = sumOf(line.adjustments, "PR");
    const Money other = line.charge - line.paid - contractual - patient;
    Posting posting;
    posting.chart = entry.chartNumber;
    posting.entry = entry.chargeEntry;
    posting.allowed = line.allowed;
    posting.asQueued = entry;
    if (claim.status == "4" || (line.paid == Money{} && patient == Money{})) {
      std::string code;
      std::string words;
      for (const auto& adjustment : line.adjustments) {
        if (adjustment.group == "PR") continue;
        if (code.empty()) code = adjustment.reason;
        words += (words.empty() ? "" : "; ") + reasonText(adjustment.reason);
      }
      for (const auto& remark : line.remarks) words += "; " + remarkText(remark);
      posting.rejection = cut(code, 6);  // the width of Claim Rejection Code
      plan.postings.push_back(posting);
      queue("Denial", fmt::format("Denied{}{}", words.empty() ? "." : ": ", words));
      return;
    }
    if (contractual < Money{} || other < Money{}) {
      queue("Adjustment", "An adjustment adds to the charge; post the line by hand.");
      return;
    }
    // As it was before the import: what its deposit applied already is put back.
    Money remainder = transactions::remainderOf(charge);
    if (auto applied = plan.appliedBefore.find(entry.chargeEntry);
        applied != plan.appliedBefore.end())
      remainder -= applied->second;
    if (line.paid + contractual > remainder) {
      queue("Overapplied",
            fmt::format("Paying {} and writing off {} would over-apply charge {}, whose remainder "
                        "is {}.",
                        line.paid.toString(), contractual.toString(), entry.chargeEntry,
                        remainder.toString()));
      return;
    }
    posting.payment = line.paid;
    posting.adjustment = contractual;
    if (choices_.patientShare == PatientShare::Deductible) posting.deductible = patient;
    posting.complete = processed(claim.status);
    plan.postings.push_back(posting);
    ++summary.linesPosted;
    summary.amountPosted += line.paid;
    if (other != Money{}) {
      entry.kind = "Adjustment";
      entry.reason =
          fmt::format("{} of other or payer-initiated adjustments on charge {} is not written off.",
                      other.toString(), entry.chargeEntry);
      summary.queued.push_back(entry);
    }
  }

  store::Connection& practice_;
  const ImportChoices& choices_;
  store::Table cases_;
  std::map<std::pair<std::string, std::int64_t>, int> positions_;
};

// The carriers whose payer ID (EMC Payor Number) is the advice's.
std::vector<store::Record> carriersOf(store::Connection& practice, const std::string& payerId) {
  std::vector<store::Record> found;
  store::Table carriers = practice.openTable("QVINS");
  carriers.forEach([&](const store::Record& carrier) {
    if (!payerId.empty() &&
        store::equalsIgnoringCase(trimmed(carrier.text("EMC Payor Number")), payerId))
      found.push_back(carrier);
  });
  return found;
}

// A posting code the save can use: there, and not inactive.
std::string codeProblem(store::Connection& practice, const std::string& carrier,
                        const std::string& field, const std::string& code) {
  if (code.empty()) return fmt::format("Carrier {} has no {}.", carrier, field);
  store::Table procedures = practice.openTable("QVPRO");
  procedures.setOrder("Primary");
  auto row = procedures.seek({store::Value{store::upperAscii(code)}});
  if (!row)
    return fmt::format("The {} \"{}\" of carrier {} cannot be found.", field, code, carrier);
  if (row->logical("Inactive"))
    return fmt::format("The {} \"{}\" of carrier {} is inactive.", field, code, carrier);
  return {};
}

std::string paymentMethodOf(const std::string& method) {
  return method == "CHK" ? "Check" : "Electronic";
}

void appendQueue(store::Table& queue, std::int64_t remittance, const QueueEntry& entry,
                 const Date& today) {
  store::Record row = queue.newRecord();
  row.set("Remittance Number", remittance);
  row.set("Kind", entry.kind);
  row.set("Status", std::string("O"));
  row.set("Claim Number", entry.claimNumber);
  row.set("Payer Claim ID", cut(entry.payerClaimId, 50));
  row.set("Chart Number", entry.chartNumber);
  row.set("Charge Entry", entry.chargeEntry);
  row.set("Procedure Code", cut(entry.procedure, 10));
  row.set("Date From", entry.dateFrom);
  row.set("Charge Amount", entry.charge);
  row.set("Paid Amount", entry.paid);
  row.set("Reason", entry.reason);
  row.set("Adjustments", entry.adjustments);
  row.set("Date Created", today);
  queue.append(row);
}

// What the deposit of an import that stopped had applied, charge by charge.
void appliedFrom(store::Connection& practice, Plan& plan) {
  plan.summary.remittanceNumber = plan.earlier->integer("Remittance Number");
  plan.summary.depositId = plan.earlier->integer("Deposit ID");
  store::Table applications = practice.openTable("QVPAX");
  applications.setOrder("Idxdepositid");
  applications.setRange({store::Value{plan.summary.depositId}},
                        {store::Value{plan.summary.depositId}});
  applications.forEach([&](const store::Record& row) {
    plan.appliedBefore[row.integer("Charge Reference")] += row.money("Payment Amount");
  });
}

// The payment application window writes its deposit's unapplied amount when
// it closes, so an import that stopped left it as it began.
void restoreUnapplied(store::Connection& practice, std::int64_t depositId) {
  store::Table deposits = practice.openTable("QVDEP");
  deposits.setOrder("IdxEntryNumber");
  auto deposit = deposits.seek({store::Value{depositId}});
  if (!deposit) return;
  const Money unapplied = deposits::unappliedByLedger(practice, *deposit);
  if (unapplied == deposit->money("Unapplied Amount")) return;
  deposits.edit(*deposit);
  deposit->set("Unapplied Amount", unapplied.toDouble());
  deposits.post(*deposit);
}

// Posting stopped before the plan's last patient (or before its first): what
// is posted so far, from this run or the one before, and what is left.
void stopShort(Plan& plan) {
  AdviceSummary& summary = plan.summary;
  summary.stopped = true;
  summary.linesPosted = 0;
  summary.linesLeft = 0;
  summary.amountPosted = Money{};
  for (const auto& posting : plan.postings) {
    if (!posting.rejection.empty()) continue;  // a denial, counted with the queue
    if (plan.savedCharts.count(posting.chart) != 0) {
      ++summary.linesPosted;
      summary.amountPosted += posting.payment;
    } else {
      ++summary.linesLeft;
    }
  }
}

}  // namespace

PatientShare patientShareOption(const practice::Options& options) {
  return options.flag("Patient Share As Deductible") ? PatientShare::Deductible
                                                     : PatientShare::LeftToPatient;
}

ImportResult importRemittance(const ImportSurroundings& surroundings, std::string_view text,
                              const ImportChoices& choices) {
  ImportResult result;
  store::Connection& practice = surroundings.practice;
  auto read = read835(text);
  if (auto* message = std::get_if<std::string>(&read)) {
    result.refusal = *message;
    return result;
  }
  store::ensureTable(practice, "QVERA");
  store::ensureTable(practice, "QVERQ");
  store::Table remittances = practice.openTable("QVERA");
  remittances.setOrder("Trace");

  std::vector<std::shared_ptr<store::RecordLock>> postingLocks;  // held until the import ends
  std::vector<Plan> plans;
  std::set<std::pair<std::string, std::string>> keys;
  std::string finishedBefore;  // the refusal, unless another transaction is being finished
  for (auto& advice : std::get<RemittanceFile>(read).advices) {
    if (!keys.emplace(store::upperAscii(cut(advice.payerId, 30)),
                      store::upperAscii(cut(advice.traceNumber, 50)))
             .second) {
      result.refusal = fmt::format(
          "The file holds the payment with trace number {} from payer {} "
          "twice; nothing is posted from it.",
          advice.traceNumber, advice.payerId);
      return result;
    }
    // One workstation at a time posts a payment, from before it looks for an
    // earlier import until its last save: two finishing one stopped import
    // would each post the patients the other had not saved yet.
    if (!choices.dryRun) {
      try {
        postingLocks.push_back(practice.driver().locks().lock(
            "QVERA", "posting\x1f" + store::upperAscii(cut(advice.payerId, 30)) + "\x1f" +
                         store::upperAscii(cut(advice.traceNumber, 50))));
      } catch (const store::RecordInUseError& inUse) {
        result.refusal = fmt::format(
            "The payment with trace number {} from payer {} is being posted by {}; nothing is "
            "posted from this file. Import it again when that workstation has finished.",
            advice.traceNumber, advice.payerId,
            inUse.owner() ? inUse.owner()->display() : std::string("another workstation"));
        return result;
      }
    }
    // Keyed as stored: the fields' widths cut longer IDs.
    auto earlier = remittances.seek({store::Value{store::upperAscii(cut(advice.payerId, 30))},
                                     store::Value{store::upperAscii(cut(advice.traceNumber, 50))}});
    if (earlier && !unfinishedImport(*earlier)) {
      if (finishedBefore.empty())
        finishedBefore = fmt::format(
            "The payment with trace number {} from payer {} was imported on {} as remittance {}; "
            "it is not posted twice.",
            advice.traceNumber, advice.payerId, earlier->date("Date Created").toMonthDayYear(),
            earlier->integer("Remittance Number"));
      continue;
    }
    auto carriers = carriersOf(practice, advice.payerId);
    if (carriers.size() != 1) {
      result.refusal =
          carriers.empty()
              ? fmt::format(
                    "No insurance carrier has the payer ID {} ({}) as its EMC Payor Number.",
                    advice.payerId, advice.payerName)
              : fmt::format(
                    "Several insurance carriers have the payer ID {} ({}) as their EMC "
                    "Payor Number; the payment cannot be given to one.",
                    advice.payerId, advice.payerName);
      return result;
    }
    Plan plan{std::move(advice), std::move(carriers.front()), {}, {}, std::move(earlier), {}, {}};
    plan.summary.carrier = trimmed(plan.carrier.text("Code"));
    plan.summary.payerName = plan.advice.payerName;
    plan.summary.payerId = plan.advice.payerId;
    plan.summary.traceNumber = plan.advice.traceNumber;
    plan.summary.payment = plan.advice.payment;
    plan.summary.finishing = plan.earlier.has_value();
    plans.push_back(std::move(plan));
  }
  // A file whose import finished is refused; one whose import stopped part
  // way is finished, leaving alone the transactions it had finished.
  if (!finishedBefore.empty() && std::none_of(plans.begin(), plans.end(), [](const Plan& plan) {
        return plan.earlier.has_value();
      })) {
    result.refusal = finishedBefore;
    return result;
  }

  ImportChoices chosen = choices;
  if (!chosen.patientShare) chosen.patientShare = patientShareOption(surroundings.options);
  Planner planner(practice, chosen);
  for (auto& plan : plans) {
    if (plan.earlier) appliedFrom(practice, plan);
    planner.plan(plan);
    // Every patient's save is atomic: one with anything from the deposit was saved.
    for (const auto& posting : plan.postings)
      if (plan.appliedBefore.count(posting.entry) != 0) plan.savedCharts.insert(posting.chart);
    // The codes the postings need, checked before anything is written.
    bool adjusts = false, deducts = false;
    for (const auto& posting : plan.postings) {
      adjusts = adjusts || posting.adjustment != Money{};
      deducts = deducts || posting.deductible != Money{};
    }
    const std::string carrier = plan.summary.carrier;
    for (const auto& [field, needed] :
         {std::pair{"Default Payment Code", true}, std::pair{"Default Write Off Code", adjusts},
          std::pair{"Default Deductible Code", deducts}}) {
      if (!needed) continue;
      const std::string problem =
          codeProblem(practice, carrier, field, trimmed(plan.carrier.text(field)));
      if (!problem.empty()) {
        result.refusal = problem + " Nothing is posted from this file.";
        return result;
      }
    }
  }
  if (choices.dryRun) {
    for (auto& plan : plans) result.advices.push_back(std::move(plan.summary));
    return result;
  }

  const Date today = surroundings.clock.today();
  // The imports, their deposits and their queues first, in one transaction:
  // the unique payer and trace number refuse a second desk importing the same file.
  try {
    store::Transaction transaction(practice);
    store::Table deposits = practice.openTable("QVDEP");
    store::Table queue = practice.openTable("QVERQ");
    for (auto& plan : plans) {
      if (plan.earlier)
        continue;  // recorded, with its deposit and queue, by the import that stopped
      const RemittanceAdvice& advice = plan.advice;
      const store::Record& carrier = plan.carrier;
      store::Record deposit = deposits.newRecord();
      deposit.set("Deposit Date", advice.paymentDate);
      deposit.set("Description", cut("ERA " + advice.traceNumber, 30));
      deposit.set("Payor Type", std::string("Insurance"));
      deposit.set("Payment Method", paymentMethodOf(advice.method));
      deposit.set("Insurance Code", plan.summary.carrier);
      deposit.set("Check Number", cut(advice.traceNumber, 15));
      deposit.set("Payment Amount", advice.payment.toDouble());
      deposit.set("Unapplied Amount", advice.payment.toDouble());
      deposit.set("Payor Name", cut(trimmed(carrier.text("Name")), 30));
      deposit.set("Payment Code", trimmed(carrier.text("Default Payment Code")));
      deposit.set("Adjustment Code", trimmed(carrier.text("Default Write Off Code")));
      deposit.set("Withhold Code", trimmed(carrier.text("Default Withhold Code")));
      deposit.set("Deductible Code", trimmed(carrier.text("Default Deductible Code")));
      deposit.set("Take Back Code", trimmed(carrier.text("Default Take Back Code")));
      deposit.set("User Code", cut(surroundings.userCode, 10));
      deposit.set("Date Created", today);
      deposit.set("CC Entry Number", std::int64_t{-1});
      deposits.append(deposit);
      plan.summary.depositId = deposit.integer("Entry Number");

      store::Record remittance = remittances.newRecord();
      remittance.set("Payer ID", cut(advice.payerId, 30));
      remittance.set("Trace Number", cut(advice.traceNumber, 50));
      remittance.set("Payer Name", cut(advice.payerName, 60));
      remittance.set("Insurance Code", plan.summary.carrier);
      remittance.set("File Name", cut(choices.fileName, 255));
      remittance.set("Payment Method", cut(advice.method, 3));
      remittance.set("Payment Date", advice.paymentDate);
      remittance.set("Payment Amount", advice.payment);
      remittance.set("Deposit ID", plan.summary.depositId);
      remittance.set("Claims", std::int64_t{plan.summary.claims});
      remittance.set("Lines", std::int64_t{plan.summary.lines});
      remittance.set("User Code", cut(surroundings.userCode, 10));
      remittance.set("Date Created", today);
      remittances.append(remittance);
      plan.summary.remittanceNumber = remittance.integer("Remittance Number");
      for (const auto& entry : plan.summary.queued)
        appendQueue(queue, plan.summary.remittanceNumber, entry, today);
    }
    transaction.commit();
  } catch (const store::DuplicateKeyError&) {
    result.refusal =
        "Another workstation imported this remittance at the same moment; nothing "
        "is posted twice.";
    return result;
  }

  // Then each deposit through the payment application window, a patient at a
  // time, as a clerk would: every rule of its save holds.
  practice::Options options(surroundings.options.record());
  {
    store::Record row = options.record();
    // The remittance says what was allowed, written off and complete; nothing is worked out.
    row.setFromText("Calculate Allowed Amount", "F");
    row.setFromText("Calculate Disallowed Amt", "F");
    row.setFromText("Mark Complete", "F");
    options = practice::Options(row);
  }
  bool stopped = false;
  for (auto& plan : plans) {
    AdviceSummary& summary = plan.summary;
    if (stopped) {  // not begun: its row, deposit and queue wait for the file again
      stopShort(plan);
      continue;
    }
    if (plan.earlier) restoreUnapplied(practice, summary.depositId);
    CollectingPrompter prompter;
    deposits::PaymentApplicationWindow window(
        {practice, options, prompter, surroundings.clock, surroundings.userCode, nullptr},
        summary.depositId);
    std::map<std::string, std::vector<const Posting*>> byPatient;
    for (const auto& posting : plan.postings) byPatient[posting.chart].push_back(&posting);
    std::vector<QueueEntry> refused;
    const int queuedBefore = summary.linesQueued;
    bool cut = false;
    if (surroundings.progress != nullptr)
      surroundings.progress->begin("Posting " + summary.traceNumber,
                                   static_cast<std::int64_t>(byPatient.size()));
    std::int64_t done = 0;
    for (const auto& [chart, postings] : byPatient) {
      ++done;
      if (plan.savedCharts.count(chart) != 0) continue;
      const auto before = prompter.messages.size();
      bool saved = window.choosePatient(chart);
      if (saved) {
        for (const Posting* posting : postings) {
          std::optional<std::size_t> row;
          for (std::size_t index = 0; index < window.rows().size(); ++index)
            if (window.rows()[index].charge.integer("Entry Number") == posting->entry) row = index;
          if (!row) continue;
          if (posting->payment != Money{}) window.setPayment(*row, posting->payment);
          if (posting->adjustment != Money{}) window.setAdjustment(*row, posting->adjustment);
          if (posting->deductible != Money{}) window.setDeductible(*row, posting->deductible);
          if (posting->allowed) window.setAllowed(*row, *posting->allowed);
          if (posting->complete) window.setComplete(*row, true);
          if (!posting->rejection.empty()) window.setRejection(*row, posting->rejection);
        }
        saved = window.save();
      }
      if (saved) plan.savedCharts.insert(chart);
      if (!saved) {
        std::string said;
        for (auto index = before; index < prompter.messages.size(); ++index)
          said += (said.empty() ? "" : " ") + prompter.messages[index];
        for (const Posting* posting : postings) {
          if (posting->rejection.empty()) {
            --summary.linesPosted;
            ++summary.linesQueued;
            summary.amountPosted -= posting->payment;
          }
          QueueEntry entry = posting->asQueued;
          entry.kind = "Not Posted";
          entry.reason = "The payment application window did not save: " + said;
          refused.push_back(entry);
        }
      }
      // Between two patients: what is saved is whole, and importing the file
      // again posts the patients not reached.
      if (surroundings.progress != nullptr && !surroundings.progress->advance(done)) {
        stopped = true;
        cut = done < static_cast<std::int64_t>(byPatient.size());
        break;
      }
    }
    if (surroundings.progress != nullptr) surroundings.progress->end();
    window.close();
    summary.messages = prompter.messages;
    if (cut) {
      // The counts stay short of the lines, which marks the import unfinished;
      // a patient refused meanwhile is tried again then, so is not queued now.
      summary.linesQueued = queuedBefore;
      stopShort(plan);
      continue;
    }
    store::Transaction transaction(practice);
    store::Table queue = practice.openTable("QVERQ");
    for (const auto& entry : refused) {
      appendQueue(queue, summary.remittanceNumber, entry, today);
      summary.queued.push_back(entry);
    }
    store::Table stored = practice.openTable("QVERA");
    stored.setOrder("Primary");
    if (auto row = stored.seek({store::Value{summary.remittanceNumber}})) {
      stored.edit(*row);
      row->set("Lines Posted", std::int64_t{summary.linesPosted});
      row->set("Lines Queued", std::int64_t{summary.linesQueued});
      row->set("Amount Posted", summary.amountPosted);
      stored.post(*row);
    }
    transaction.commit();
  }
  for (auto& plan : plans) {
    result.stopped = result.stopped || plan.summary.stopped;
    result.advices.push_back(std::move(plan.summary));
  }
  return result;
}

std::string stoppedText(const ImportResult& result) {
  int posted = 0, left = 0;
  Money amount;
  std::string traces;
  for (const auto& advice : result.advices) {
    posted += advice.linesPosted;
    left += advice.linesLeft;
    amount += advice.amountPosted;
    if (advice.stopped) traces += (traces.empty() ? "" : ", ") + advice.traceNumber;
  }
  const auto lines = [](int count) {
    return fmt::format("{} line{}", count, count == 1 ? "" : "s");
  };
  return fmt::format(
      "Posting was stopped. Posted: {} with payments of {}. Not posted: {} of the payment{} with "
      "trace number{} {}. Import the same file again to post the rest; what is posted already is "
      "not posted twice.",
      lines(posted), amount.toString(), lines(left),
      traces.find(',') == std::string::npos ? "" : "s",
      traces.find(',') == std::string::npos ? "" : "s", traces);
}

}  // namespace vantrell::remittance
