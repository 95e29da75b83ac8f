#include "x12/segments.hpp"

#include <fmt/format.h>

#include <optional>

namespace vantrell::x12 {

namespace {

const std::string emptyElement;

std::vector<std::string> split(std::string_view text, char delimiter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(delimiter, start);
    parts.emplace_back(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

bool isLineBreak(char c) {
  return c == '\n' || c == '\r';
}

}  // namespace

const std::string& Segment::element(std::size_t position) const {
  if (position == 0 || position > elements.size()) return emptyElement;
  return elements[position - 1];
}

std::string Segment::component(std::size_t position, std::size_t index, char delimiter) const {
  const std::vector<std::string> parts = split(element(position), delimiter);
  return index == 0 || index > parts.size() ? std::string() : parts[index - 1];
}

std::string SegmentWriter::clean(std::string_view value, bool component) const {
  std::string text(value);
  for (char& c : text) {
    if (c == delimiters_.element || c == delimiters_.segment || c == delimiters_.repetition ||
        (component && c == delimiters_.component) || isLineBreak(c))
      c = ' ';
  }
  return text;
}

std::string SegmentWriter::composite(const std::vector<std::string>& components) const {
  std::size_t used = components.size();
  while (used > 0 && components[used - 1].empty()) --used;
  std::string text;
  for (std::size_t index = 0; index < used; ++index) {
    if (index > 0) text += delimiters_.component;
    text += clean(components[index], true);
  }
  return text;
}

void SegmentWriter::add(const std::string& id, std::vector<std::string> elements) {
  if (id != "ISA")
    while (!elements.empty() && elements.back().empty()) elements.pop_back();
  text_ += id;
  for (std::size_t index = 0; index < elements.size(); ++index) {
    text_ += delimiters_.element;
    // ISA11 is the repetition delimiter itself.
    text_ += id == "ISA" && index == 10 ? elements[index] : clean(elements[index], false);
  }
  text_ += delimiters_.segment;
  if (lineBreaks_) text_ += '\n';
  ++written_;
}

std::variant<Interchange, std::string> readInterchange(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && (isLineBreak(text[start]) || text[start] == ' ')) ++start;
  text.remove_prefix(start);
  // The ISA is 106 characters to its terminator: "ISA", the delimiter, and
  // sixteen fixed-width elements.
  if (text.size() < 106 || text.substr(0, 3) != "ISA")
    return std::string("The file does not begin with an interchange header (ISA).");
  Interchange interchange;
  interchange.delimiters.element = text[3];
  const std::vector<std::string> header = split(text.substr(0, 105), text[3]);
  if (header.size() != 17 || header[16].size() != 1)
    return std::string(
        "The interchange header (ISA) does not have its sixteen fixed-width elements.");
  interchange.delimiters.component = header[16][0];
  interchange.delimiters.repetition = header[11].size() == 1 ? header[11][0] : '^';
  interchange.delimiters.segment = text[105];

  for (const std::string& piece : split(text, interchange.delimiters.segment)) {
    std::string_view body = piece;
    while (!body.empty() && isLineBreak(body.front())) body.remove_prefix(1);
    while (!body.empty() && isLineBreak(body.back())) body.remove_suffix(1);
    if (body.empty()) continue;
    std::vector<std::string> parts = split(body, interchange.delimiters.element);
    Segment segment;
    segment.id = parts.front();
    segment.elements.assign(parts.begin() + 1, parts.end());
    interchange.segments.push_back(std::move(segment));
  }
  return interchange;
}

std::vector<std::string> envelopeProblems(const Interchange& interchange) {
  std::vector<std::string> problems;
  const auto& segments = interchange.segments;
  std::optional<std::size_t> isa;
  std::optional<std::size_t> gs;
  std::optional<std::size_t> st;
  std::size_t groups = 0;
  std::size_t sets = 0;
  bool closed = false;
  for (std::size_t index = 0; index < segments.size(); ++index) {
    const Segment& segment = segments[index];
    const std::string& id = segment.id;
    if (closed) {
      problems.push_back(
          fmt::format("Segment {} ({}) follows the interchange trailer.", index + 1, id));
      continue;
    }
    if (id == "ISA") {
      if (isa) problems.push_back(fmt::format("Segment {} opens a second interchange.", index + 1));
      isa = index;
    } else if (id == "IEA") {
      if (!isa) {
        problems.push_back("The interchange trailer (IEA) has no header.");
      } else {
        if (segment.element(2) != segments[*isa].element(13))
          problems.push_back(
              fmt::format("The interchange control numbers differ: ISA13 {}, IEA02 {}.",
                          segments[*isa].element(13), segment.element(2)));
        if (segment.element(1) != std::to_string(groups))
          problems.push_back(fmt::format("IEA01 counts {} functional groups; there are {}.",
                                         segment.element(1), groups));
      }
      if (gs)
        problems.push_back("A functional group is not closed before the interchange trailer.");
      closed = true;
    } else if (id == "GS") {
      if (!isa) problems.push_back("A functional group (GS) begins outside an interchange.");
      if (gs)
        problems.push_back(fmt::format("Segment {} opens a group inside a group.", index + 1));
      gs = index;
      sets = 0;
      ++groups;
    } else if (id == "GE") {
      if (!gs) {
        problems.push_back(fmt::format("Segment {} (GE) closes no group.", index + 1));
      } else {
        if (segment.element(2) != segments[*gs].element(6))
          problems.push_back(fmt::format("The group control numbers differ: GS06 {}, GE02 {}.",
                                         segments[*gs].element(6), segment.element(2)));
        if (segment.element(1) != std::to_string(sets))
          problems.push_back(fmt::format("GE01 counts {} transaction sets; the group has {}.",
                                         segment.element(1), sets));
      }
      if (st) problems.push_back("A transaction set is not closed before its group trailer.");
      gs.reset();
    } else if (id == "ST") {
      if (!gs) problems.push_back("A transaction set (ST) begins outside a functional group.");
      if (st)
        problems.push_back(
            fmt::format("Segment {} opens a transaction set inside another.", index + 1));
      st = index;
      ++sets;
    } else if (id == "SE") {
      if (!st) {
        problems.push_back(fmt::format("Segment {} (SE) closes no transaction set.", index + 1));
      } else {
        const std::size_t count = index - *st + 1;
        if (segment.element(1) != std::to_string(count))
          problems.push_back(
              fmt::format("SE01 of transaction set {} counts {} segments; it has {}.",
                          segments[*st].element(2), segment.element(1), count));
        if (segment.element(2) != segments[*st].element(2))
          problems.push_back(
              fmt::format("The transaction set control numbers differ: ST02 {}, SE02 {}.",
                          segments[*st].element(2), segment.element(2)));
      }
      st.reset();
    } else if (!st) {
      problems.push_back(
          fmt::format("Segment {} ({}) is outside any transaction set.", index + 1, id));
    }
  }
  if (!isa) problems.push_back("There is no interchange header (ISA).");
  if (!closed) problems.push_back("The interchange trailer (IEA) is missing.");
  return problems;
}

}  // namespace vantrell::x12
