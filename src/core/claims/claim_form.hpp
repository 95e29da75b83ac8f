#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "claims/claim_picture.hpp"
#include "common/date.hpp"
#include "printing/document.hpp"

// The 1500 health insurance claim form (version 02/12) of a professional
// claim, built from a claim picture. One layout serves two papers: the red
// pre-printed form, on which only the claim's data is printed, and plain
// paper, on which the form's boxes and captions are drawn around the data.
namespace vantrell::claims {

enum class ClaimFormPaper { RedForm, PlainPaper };

// The form holds six service lines; a claim with more goes on over further
// pages, each a whole form with the same patient, insured and diagnoses.
inline constexpr std::size_t serviceLinesPerForm = 6;

struct ClaimFormOptions {
  ClaimFormPaper paper = ClaimFormPaper::PlainPaper;
  // The date beside the physician's signature (box 31).
  Date signatureDate;
  // Moves everything on the page, in points, to meet a printer's feed on the
  // red form (right and down are positive).
  double shiftRight = 0;
  double shiftDown = 0;
};

// The form's print grid: ten characters to the inch across, six lines to the
// inch down. Column 1 and line 1 are the first positions the form prints in.
inline constexpr double formColumnWidth = 7.2;
inline constexpr double formLineHeight = 12;
inline constexpr double formLeftEdge = 21.6;  // 0.3 inch: the left edge of column 1
double columnX(double column);                // left edge of a column, counted from 1
double lineY(double line);                    // top of a line, counted from 1

// A piece of data on the form: where its text starts and how many columns it
// may take. Check boxes hold one "X" and carry the words printed beside them
// on plain paper.
struct FormPlace {
  std::string_view key;
  int column = 1;
  int line = 1;
  int width = 1;
  printing::Align align = printing::Align::Left;
  std::string_view checkLabel = {};  // set for a check box
};

// A ruled box of the form with its caption, drawn only on plain paper. Edges
// are in grid columns and lines: left column to right column inclusive, top
// line to bottom line inclusive.
struct FormBox {
  std::string_view caption;
  double left = 1;
  double right = 1;
  double top = 1;
  double bottom = 1;
};

// The layout, once, as data. Service line places are given for the first
// line; line n of a page sits 2 * (n - 1) lines lower.
const std::vector<FormPlace>& claimFormPlaces();
const std::vector<FormPlace>& serviceLinePlaces();
const std::vector<FormBox>& claimFormBoxes();

// The texts of one page of a claim's form, by place key; absent keys stay
// blank. `page` counts from 0.
using FormValues = std::map<std::string, std::string, std::less<>>;
FormValues claimFormValues(const ClaimPicture& claim, std::size_t page,
                           const ClaimFormOptions& options);
FormValues serviceLineValues(const ClaimPicture& claim, const PictureLine& line);

std::size_t claimFormPageCount(const ClaimPicture& claim);

// Adds the pages of one claim's form to the document. Throws std::logic_error
// when a value has no place on the form (a fault of the layout, never of data).
void addClaimForm(printing::Document& document, const ClaimPicture& claim,
                  const ClaimFormOptions& options);

// The forms of the claims, one after another, on US letter pages.
printing::Document claimFormDocument(const std::vector<ClaimPicture>& claims,
                                     const ClaimFormOptions& options);

}  // namespace vantrell::claims
