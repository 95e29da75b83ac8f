#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "printing/document.hpp"

namespace vantrell::pdf {

// A PDF could not be written (the folder is missing or not writable, the disk
// is full); the message names the file.
class PdfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Draws the document to a PDF file in DejaVu Sans and DejaVu Sans Mono. The
// pages are written to a temporary file beside `path` that replaces `path` only
// when complete, so a crash or a kill never leaves half a PDF under the name;
// an older file of that name stays until then. Throws PdfError.
void writePdf(const printing::Document& document, const std::filesystem::path& path);

// The same for a document too long to hold at once (a run of thousands of
// statements): its parts are added one after another as they are laid out, and
// finish() puts the file in place. Destroying an unfinished writer removes its
// temporary file and leaves `path` as it was.
class PdfWriter {
 public:
  // Throws PdfError when the temporary file cannot be made.
  PdfWriter(const std::filesystem::path& path, printing::PageSize size, const std::string& title);
  ~PdfWriter();
  PdfWriter(const PdfWriter&) = delete;
  PdfWriter& operator=(const PdfWriter&) = delete;

  // Draws the pages of `part` (of the writer's page size) after those added so far.
  void add(const printing::Document& part);
  std::size_t pagesWritten() const;
  // Throws PdfError; the file is then not replaced.
  void finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantrell::pdf
