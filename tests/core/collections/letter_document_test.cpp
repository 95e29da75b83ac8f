#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collections/letter_document.hpp"

namespace vantrell::collections {
namespace {

// Where a text of the page stands, or a negative x when it is not there.
printing::Text findText(const printing::Page& page, const std::string& wanted) {
  for (const auto& item : page.items) {
    if (const auto* text = std::get_if<printing::Text>(&item); text && text->text == wanted)
      return *text;
  }
  printing::Text missing;
  missing.x = missing.y = -1;
  return missing;
}

bool holds(const printing::Page& page, const std::string& part) {
  for (const auto& item : page.items) {
    if (const auto* text = std::get_if<printing::Text>(&item);
        text && text->text.find(part) != std::string::npos)
      return true;
  }
  return false;
}

TEST(CollectionLetterDocument, OneLetterAPartyWithTheAddressInTheEnvelopeWindow) {
  CollectionLetter first;
  first.party = "AAA00000";
  first.name = "Jane Doe";
  first.address = {"1 Elm Street", "Springfield, IL 62701"};
  first.balance = Money::fromCents(12345);
  first.items = {{1, "AAA00000", "Jane Doe", Money::fromCents(10000)},
                 {2, "CCC00000", "Jim Doe", Money::fromCents(2345)}};
  CollectionLetter second = first;
  second.party = "BBB00000";
  second.name = "Bob Roe";
  const Letterhead head{"Elm Clinic", {"2 Oak Road", "Chatham, IL 62629"}};
  const auto document = collectionLetterDocument(
      {first, second}, {" This item is at least 60 days old."}, head,
      "First paragraph of the practice.\n\nSecond paragraph.", Date::fromYmd(2027, 3, 1));
  ASSERT_EQ(document.pageCount(), 2U);
  const auto& page = document.page(0);
  // A #10 window: 7/8 inch to 4 7/8 inch across, 1 7/8 inch to 3 inch down.
  for (const std::string line : {"Jane Doe", "1 Elm Street", "Springfield, IL 62701"}) {
    const auto placed = findText(page, line);
    EXPECT_GE(placed.x, 0.875 * 72) << line;
    EXPECT_LE(placed.x + 180, 4.875 * 72) << line;
    EXPECT_GE(placed.y, 1.875 * 72) << line;
    EXPECT_LE(placed.y + 12, 3.0 * 72) << line;
  }
  EXPECT_LT(findText(page, "Elm Clinic").y, 1.875 * 72);
  EXPECT_TRUE(holds(page, "03/01/2027"));
  EXPECT_TRUE(holds(page, "123.45"));
  EXPECT_TRUE(holds(page, "Jim Doe"));
  EXPECT_TRUE(holds(page, "First paragraph of the practice."));
  EXPECT_TRUE(holds(page, "Second paragraph."));
  EXPECT_TRUE(holds(page, "at least 60 days old."));
  EXPECT_GE(findText(document.page(1), "Bob Roe").x, 0);
  EXPECT_TRUE(holds(document.page(1), "Dear Bob Roe"));
  EXPECT_FALSE(holds(document.page(1), "Dear Jane Doe"));
}

}  // namespace
}  // namespace vantrell::collections
