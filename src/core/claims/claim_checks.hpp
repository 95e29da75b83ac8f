#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "claims/claim_picture.hpp"

// The checks a claim passes before it leaves the practice, as a claim
// clearinghouse would make them first: a claim that fails is neither sent nor
// marked billed, and the clerk gets, claim by claim, what is wrong and where
// to put it right.
namespace vantrell::claims {

struct ClaimProblem {
  // What is wrong, naming the person, provider or line and the value.
  std::string what;
  // Where to put it right: the record and the field as the windows name them.
  std::string where;
};

// Every problem of one claim to its slot's carrier, in the order of the claim
// (carrier, patient, insured, providers, diagnoses, lines, totals); empty when
// the claim may leave.
std::vector<ClaimProblem> checkClaim(const ClaimPicture& picture);

// A National Provider Identifier: ten digits whose last is the check digit
// of the Luhn formula over the first nine with the prefix 80840.
bool isValidNpi(std::string_view npi);
// An employer identification number ("12-3456789" or nine digits), or with
// ssn a social security number ("123-45-6789" or nine digits); never all zeros.
bool isTaxIdForm(std::string_view taxId, bool ssn);
// The form of an ICD-10-CM code: a letter, a digit, a letter or digit, then
// up to four letters or digits after an optional dot ("S93.401A", "R05").
bool isIcd10CmForm(std::string_view code);
// A CPT code (five digits, or four and F, T or U) or a HCPCS Level II code (a
// letter A to V and four digits).
bool isProcedureCodeForm(std::string_view code);

}  // namespace vantrell::claims
