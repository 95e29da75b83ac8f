#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// ASC X12 interchanges as segments: writing them with the interchange's
// delimiters, reading them back, and checking their envelopes. Claims go out
// through it and remittances will come in through it.
namespace vantrell::x12 {

struct Delimiters {
  char element = '*';
  char component = ':';
  char repetition = '^';
  char segment = '~';
};

// One segment: its ID ("CLM") and its elements from the first ("CLM01") on.
// A composite element keeps its components joined by the component delimiter.
struct Segment {
  std::string id;
  std::vector<std::string> elements;

  // The element at position (1 is the first), empty when the segment is shorter.
  const std::string& element(std::size_t position) const;
  // A component (1 is the first) of the element at position.
  std::string component(std::size_t position, std::size_t index, char delimiter = ':') const;
};

// Writes segments as text. Trailing empty elements are dropped, as the
// standard asks, except in ISA whose sixteen elements are fixed in width.
// Element, repetition and segment delimiters and line breaks in values become
// blanks so data never breaks a segment; the component delimiter is kept, as
// composites carry it, so a plain value that may hold one goes through
// composite({value}). With lineBreaks a line break follows each terminator.
class SegmentWriter {
 public:
  explicit SegmentWriter(Delimiters delimiters = {}, bool lineBreaks = true)
      : delimiters_(delimiters), lineBreaks_(lineBreaks) {}

  void add(const std::string& id, std::vector<std::string> elements);
  // Joins components with the component delimiter, dropping trailing empty
  // ones ("HC:99213:RT" or "HC:99213").
  std::string composite(const std::vector<std::string>& components) const;
  // The segments written since the last call, counted for SE01.
  std::size_t countSinceMark() const { return written_ - mark_; }
  void mark() { mark_ = written_; }
  const std::string& text() const { return text_; }
  const Delimiters& delimiters() const { return delimiters_; }

 private:
  std::string clean(std::string_view value, bool component) const;

  Delimiters delimiters_;
  bool lineBreaks_;
  std::string text_;
  std::size_t written_ = 0;
  std::size_t mark_ = 0;
};

// An interchange read into segments, with the delimiters its ISA declared.
struct Interchange {
  Delimiters delimiters;
  std::vector<Segment> segments;
};

// Reads an interchange's text: the ISA's fixed layout gives the element
// delimiter (the fourth character), the component delimiter (ISA16) and the
// segment terminator (the character after it); line breaks between segments
// are ignored. A text that does not begin with a whole ISA is an error,
// given as a sentence.
std::variant<Interchange, std::string> readInterchange(std::string_view text);

// What is wrong with an interchange's envelopes: each ST/SE pair's control
// numbers and segment count, each GS/GE pair's control numbers and count of
// transaction sets, the ISA/IEA control numbers and count of groups, and
// segments outside any envelope. Empty when every envelope is whole.
std::vector<std::string> envelopeProblems(const Interchange& interchange);

}  // namespace vantrell::x12
