#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/document.hpp"
#include "printing/flow_layout.hpp"

namespace vantrell::printing {
namespace {

std::vector<const Text*> textsOf(const Page& page) {
  std::vector<const Text*> texts;
  for (const Item& item : page.items)
    if (const Text* text = std::get_if<Text>(&item)) texts.push_back(text);
  return texts;
}

TEST(FlowLayout, LongTableBreaksAcrossPagesRepeatingItsHeadingAndTotalsItsAmounts) {
  Document document;
  FlowLayout layout(document, Margins{72, 72, 72, 72});
  layout.setHeader([](Page& page, const Frame& margins) {
    page.text(margins.left, margins.top, margins.width(), "Practice report", Font{12, true});
    return 30.0;
  });
  const std::vector<Column> columns{{"Entry", 100}, {"Amount", 100, Align::Right, true}};
  std::vector<TableRow> rows;
  for (int row = 1; row <= 100; ++row)
    rows.push_back({{std::to_string(row), Money::fromCents(row * 100)}});
  layout.table(columns, rows, TableStyle{}, "Total");
  layout.numberPages();

  // 648 points between the margins, 30 of them header, 14 the table heading:
  // 604 / 13 = 46 rows a page, so 100 rows take three pages.
  ASSERT_EQ(document.pageCount(), 3u);
  std::vector<std::string> entries;
  for (std::size_t index = 0; index < document.pageCount(); ++index) {
    const auto texts = textsOf(document.page(index));
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0]->text, "Practice report");
    EXPECT_EQ(texts[1]->text, "Entry");
    EXPECT_EQ(texts[2]->text, "Amount");
    EXPECT_EQ(texts.back()->text, "Page " + std::to_string(index + 1) + " of 3");
    for (const Text* text : texts) {
      EXPECT_LE(text->y + text->font.size, 792 - 72 + 20) << text->text;
      if (text->x == 74 && text->text != "Entry")
        entries.push_back(text->text);  // the entry column's cells
    }
  }
  ASSERT_EQ(entries.size(), 101u);
  for (int row = 1; row <= 100; ++row)
    EXPECT_EQ(entries[static_cast<std::size_t>(row - 1)], std::to_string(row));
  EXPECT_EQ(entries.back(), "Total");
  // 1 + 2 + ... + 100 dollars.
  const auto last = textsOf(document.page(2));
  EXPECT_EQ(last[last.size() - 2]->text, "5,050.00");
  EXPECT_EQ(last[last.size() - 2]->align, Align::Right);
}

TEST(FlowLayout, EachRunOfPagesCountsItsOwn) {
  Document document;
  for (int statement = 0; statement < 2; ++statement) {
    FlowLayout layout(document);
    layout.newPage();
    if (statement == 1) layout.newPage();
    layout.numberPages();
  }
  ASSERT_EQ(document.pageCount(), 3u);
  EXPECT_EQ(textsOf(document.page(0)).back()->text, "Page 1 of 1");
  EXPECT_EQ(textsOf(document.page(1)).back()->text, "Page 1 of 2");
  EXPECT_EQ(textsOf(document.page(2)).back()->text, "Page 2 of 2");
}

TEST(FlowLayout, ParagraphsWrapWithinTheFrameAndKeepEveryWord) {
  // 6.02 points a character: 200 points hold 33, and the first 33 end on a whole word.
  const Font font{10, false, FontFamily::Mono};
  const std::string text =
      "Your account shows a balance that is now more than ninety days past due. Please call "
      "our office to arrange payment or a payment plan at your earliest convenience.";
  const auto lines = wrappedLines(text, font, 200);
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Your account shows a balance that");
  std::string joined;
  for (const auto& line : lines) {
    EXPECT_LE(line.size(), 33u) << line;
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(joined, text);
}

TEST(FittedText, CutsWholeCharactersAndMarksTheCut) {
  const Font font{10, false, FontFamily::Mono};
  // 6.02 points a character: 60 points hold ten.
  EXPECT_EQ(fittedText("0123456789", font, 60.2), "0123456789");
  EXPECT_EQ(fittedText("0123456789X", font, 60.2), "0123456...");
  const std::string cut =
      fittedText("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", font, 40);
  EXPECT_EQ(cut, "\xC3\xA9\xC3\xA9\xC3\xA9...");
}

}  // namespace
}  // namespace vantrell::printing
