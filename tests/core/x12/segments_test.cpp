#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "x12/segments.hpp"

namespace vantrell::x12 {
namespace {

// A small interchange written by hand: one group, one transaction set of four
// segments, with the delimiters "|", ">" and "!" on one line.
const std::string handWritten =
    "ISA|00|          |00|          |ZZ|SENDER         |ZZ|RECEIVER       |261206|0705|^|00501|"
    "000000042|0|T|>!GS|HC|SENDER|RECEIVER|20261206|0705|7|X|005010X222A1!ST|837|0001|005010X222A1!"
    "BHT|0019|00|42|20261206|0705|CH!SV1|HC>99213>25|95||1!SE|4|0001!GE|1|7!IEA|1|000000042!";

Interchange read(const std::string& text) {
  auto result = readInterchange(text);
  if (const auto* error = std::get_if<std::string>(&result)) ADD_FAILURE() << *error;
  return std::holds_alternative<Interchange>(result) ? std::get<Interchange>(result)
                                                     : Interchange{};
}

TEST(SegmentReader, TheHeaderDeclaresTheDelimiters) {
  const Interchange interchange = read(handWritten);
  EXPECT_EQ(interchange.delimiters.element, '|');
  EXPECT_EQ(interchange.delimiters.component, '>');
  EXPECT_EQ(interchange.delimiters.segment, '!');
  ASSERT_EQ(interchange.segments.size(), 8U);
  EXPECT_EQ(interchange.segments[0].id, "ISA");
  EXPECT_EQ(interchange.segments[0].element(13), "000000042");
  EXPECT_EQ(interchange.segments[0].element(16), ">");
  const Segment& line = interchange.segments[4];
  EXPECT_EQ(line.id, "SV1");
  EXPECT_EQ(line.component(1, 2, '>'), "99213");
  EXPECT_EQ(line.component(1, 3, '>'), "25");
  EXPECT_EQ(line.component(1, 4, '>'), "");
  EXPECT_EQ(line.element(3), "");
  EXPECT_EQ(line.element(4), "1");
  EXPECT_EQ(line.element(9), "");
  EXPECT_EQ(envelopeProblems(interchange), std::vector<std::string>{});

  // Line breaks after the terminators change nothing.
  std::string broken;
  for (char c : handWritten) {
    broken += c;
    if (c == '!') broken += "\r\n";
  }
  EXPECT_EQ(read(broken).segments.size(), 8U);

  EXPECT_EQ(std::get<std::string>(readInterchange("GS|HC!")),
            "The file does not begin with an interchange header (ISA).");
  EXPECT_EQ(std::get<std::string>(readInterchange(handWritten.substr(0, 90))),
            "The file does not begin with an interchange header (ISA).");
}

TEST(EnvelopeCheck, CountsAndControlNumbersThatDoNotMatchAreNamed) {
  const auto problemsOf = [](std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return envelopeProblems(read(text));
  };
  EXPECT_EQ(problemsOf(handWritten, "SE|4|0001", "SE|5|0001"),
            std::vector<std::string>{"SE01 of transaction set 0001 counts 5 segments; it has 4."});
  EXPECT_EQ(problemsOf(handWritten, "SE|4|0001", "SE|4|0002"),
            std::vector<std::string>{
                "The transaction set control numbers differ: ST02 0001, SE02 0002."});
  EXPECT_EQ(problemsOf(handWritten, "GE|1|7", "GE|2|8"),
            (std::vector<std::string>{"The group control numbers differ: GS06 7, GE02 8.",
                                      "GE01 counts 2 transaction sets; the group has 1."}));
  EXPECT_EQ(problemsOf(handWritten, "IEA|1|000000042", "IEA|1|000000043"),
            std::vector<std::string>{
                "The interchange control numbers differ: ISA13 000000042, IEA02 000000043."});
  EXPECT_EQ(
      problemsOf(handWritten, "SE|4|0001!", ""),
      (std::vector<std::string>{"A transaction set is not closed before its group trailer."}));
  EXPECT_EQ(problemsOf(handWritten, "IEA|1|000000042!", ""),
            std::vector<std::string>{"The interchange trailer (IEA) is missing."});
}

TEST(SegmentWriter, TrailingEmptiesGoAndDataCannotBreakASegment) {
  SegmentWriter writer;
  writer.add("NM1", {"IL", "1", "O*BRIEN", "PAT~", "", "", "", "MI", "W12", "", ""});
  writer.add("SV1", {writer.composite({"HC", "99213", "", ""}), "95", "UN", "1", "", "",
                     writer.composite({"1", "2"})});
  writer.add("REF", {"G1", writer.composite({"PA:77"})});
  writer.add("DTP", {"472", "D8", "20261201", "", ""});
  EXPECT_EQ(writer.text(),
            "NM1*IL*1*O BRIEN*PAT ****MI*W12~\n"
            "SV1*HC:99213*95*UN*1***1:2~\n"
            "REF*G1*PA 77~\n"
            "DTP*472*D8*20261201~\n");
  EXPECT_EQ(writer.countSinceMark(), 4U);
  writer.mark();
  writer.add("SE", {"1", "0001"});
  EXPECT_EQ(writer.countSinceMark(), 1U);
}

}  // namespace
}  // namespace vantrell::x12
