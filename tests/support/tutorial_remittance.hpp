#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

// An 835 written by hand for a claim of the tutorial practice: its first charge
// paid at 60 % with the rest a contractual write-off (CO-45), its second denied
// as not medically necessary (CO-50). Both are found by their line control
// number (REF*6R, the ledger entry). The chosen carrier gets a payer ID and the
// posting codes the import needs.
namespace vantrell::testing {

struct TutorialRemittance {
  std::string text;
  std::string carrier, chart;
  std::int64_t claim = 0, paidEntry = 0, deniedEntry = 0;
  Money paidCharge, paid, writtenOff, deniedCharge;
  // With patients above 1: a claim of each other patient, its first open charge paid alike.
  struct Other {
    std::string chart;
    std::int64_t claim = 0, paidEntry = 0;
    Money paid;
  };
  std::vector<Other> others;
};

// Empty text when the practice has no claim with two open charges of one carrier
// (or, for several patients, not that many patients with such a claim of it).
inline TutorialRemittance writeTutorialRemittance(store::Connection& practice,
                                                  const std::string& trace, int patients = 1) {
  const auto clean = [](const std::string& text) { return std::string(store::trimRight(text)); };
  std::map<std::pair<std::string, std::int64_t>, std::string> carrierOf;
  practice.openTable("QVCAS").forEach([&](const store::Record& row) {
    carrierOf[{clean(row.text("Chart Number")), row.integer("Case Number")}] =
        clean(row.text("Insurance Carrier #1"));
  });
  std::map<std::int64_t, std::vector<store::Record>> openCharges;
  practice.openTable("QVTRN").forEach([&](const store::Record& row) {
    const std::string type = clean(row.text("Transaction Type"));
    if (type.empty() || type >= "I" || row.integer("Claim Number") <= 0) return;
    Money left = row.money("Amount");
    for (const char* paid :
         {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
          "Guarantor Amount Paid", "Adjustment Amount"})
      left += row.money(paid);
    if (left == row.money("Amount") && left > Money{})
      openCharges[row.integer("Claim Number")].push_back(row);
  });
  TutorialRemittance made;
  for (const auto& [claim, charges] : openCharges) {
    if (charges.size() < 2) continue;
    const auto key =
        std::pair{clean(charges[0].text("Chart Number")), charges[0].integer("Case Number")};
    if (carrierOf[key].empty()) continue;
    made.claim = claim;
    made.chart = key.first;
    made.carrier = carrierOf[key];
    break;
  }
  if (made.claim == 0) return made;
  for (const auto& [claim, charges] : openCharges) {
    if (static_cast<int>(made.others.size()) + 1 >= patients) break;
    const auto key =
        std::pair{clean(charges[0].text("Chart Number")), charges[0].integer("Case Number")};
    if (carrierOf[key] != made.carrier || key.first == made.chart) continue;
    bool seen = false;
    for (const auto& other : made.others) seen = seen || other.chart == key.first;
    if (seen) continue;
    TutorialRemittance::Other other;
    other.chart = key.first;
    other.claim = claim;
    other.paidEntry = charges[0].integer("Entry Number");
    other.paid = Money::fromCents(charges[0].money("Amount").tenThousandths() / 100 * 60 / 100);
    made.others.push_back(other);
  }
  if (static_cast<int>(made.others.size()) + 1 < patients) return {};
  const store::Record& first = openCharges[made.claim][0];
  const store::Record& second = openCharges[made.claim][1];
  made.paidEntry = first.integer("Entry Number");
  made.deniedEntry = second.integer("Entry Number");
  made.paidCharge = first.money("Amount");
  made.deniedCharge = second.money("Amount");
  made.paid = Money::fromCents(made.paidCharge.tenThousandths() / 100 * 60 / 100);
  made.writtenOff = made.paidCharge - made.paid;

  // The posting codes: the tutorial's first active insurance payment and write-off codes.
  std::map<std::string, std::string> codeOfType;
  practice.openTable("QVPRO").forEach([&](const store::Record& row) {
    const std::string type = clean(row.text("Type"));
    if (!row.logical("Inactive") && !codeOfType.count(type))
      codeOfType[type] = clean(row.text("Code 1"));
  });
  store::Table carriers = practice.openTable("QVINS");
  carriers.forEach([&](const store::Record& row) {
    store::Record copy = row;
    const bool chosen = clean(row.text("Code")) == made.carrier;
    if (!chosen && clean(row.text("EMC Payor Number")) != "VT835") return;
    copy.set("EMC Payor Number", std::string(chosen ? "VT835" : ""));
    if (chosen) {
      copy.set("Default Payment Code", codeOfType["I"]);
      copy.set("Default Write Off Code", codeOfType["T"]);
    }
    carriers.post(copy);
  });

  const auto line = [](const store::Record& charge, const Money& paid,
                       const std::string& adjustment) {
    std::string procedure = "HC:" + std::string(store::trimRight(charge.text("Procedure Code")));
    for (int modifier = 1; modifier <= 4; ++modifier) {
      const std::string text(store::trimRight(charge.text("Modifier " + std::to_string(modifier))));
      if (!text.empty()) procedure += ":" + text;
    }
    const std::string date = charge.date("Date From").toIso();
    return fmt::format("SVC*{}*{}*{}**1~\nDTM*472*{}{}{}~\n{}~\nREF*6R*{}~\n", procedure,
                       charge.money("Amount").toString(), paid.toString(), date.substr(0, 4),
                       date.substr(5, 2), date.substr(8, 2), adjustment,
                       charge.integer("Entry Number"));
  };
  std::string claims =
      fmt::format("CLP*{0}*1*{1}*{2}*0*12*PCN{0}~\n{3}{4}", made.claim,
                  (made.paidCharge + made.deniedCharge).toString(), made.paid.toString(),
                  line(first, made.paid, "CAS*CO*45*" + made.writtenOff.toString()),
                  line(second, Money{}, "CAS*CO*50*" + made.deniedCharge.toString()));
  Money total = made.paid;
  for (const auto& other : made.others) {
    const store::Record& charge = openCharges[other.claim][0];
    claims += fmt::format(
        "CLP*{0}*1*{1}*{2}*0*12*PCN{0}~\n{3}", other.claim, charge.money("Amount").toString(),
        other.paid.toString(),
        line(charge, other.paid, "CAS*CO*45*" + (charge.money("Amount") - other.paid).toString()));
    total += other.paid;
  }
  const std::string sets = fmt::format(
      "ST*835*0001*005010X221A1~\nBPR*I*{0}*C*ACH*CCP*01*999999999*DA*1234*1999999999**01*"
      "999999999*DA*5678*20261201~\nTRN*1*{1}*1999999999~\nN1*PR*TUTORIAL PAYER~\n"
      "REF*2U*VT835~\n{2}SE*{3}*0001~\n",
      total.toString(), trace, claims, 15 + 5 * made.others.size());
  made.text =
      "ISA*00*          *00*          *ZZ*VT835          *ZZ*CLINIC         *261201*1200*^*"
      "00501*000000007*0*P*:~\nGS*HP*VT835*CLINIC*20261201*1200*7*X*005010X221A1~\n" +
      sets + "GE*1*7~\nIEA*1*000000007~\n";
  return made;
}

}  // namespace vantrell::testing
