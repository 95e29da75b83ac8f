#pragma once

#include <filesystem>
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

}  // namespace vantrell::pdf
