#include "pdf_renderer.hpp"

#include "common/file_modes.hpp"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <pango/pangocairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <variant>
#include <vector>

namespace vantrell::pdf {
namespace {

using printing::Align;
using printing::Font;
using printing::FontFamily;

struct OutputFile {
  int descriptor = -1;
  bool failed = false;
  int error = 0;
};

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
  auto* file = static_cast<OutputFile*>(closure);
  while (length > 0) {
    const ssize_t written = ::write(file->descriptor, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      file->failed = true;
      file->error = errno;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    data += written;
    length -= static_cast<unsigned int>(written);
  }
  return CAIRO_STATUS_SUCCESS;
}

// Font descriptions for the four faces a document uses, made once per file.
class Fonts {
 public:
  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts() {
    for (auto* description : descriptions_)
      if (description) pango_font_description_free(description);
  }

  PangoFontDescription* describe(const Font& font) {
    const std::size_t slot = (font.family == FontFamily::Mono ? 2u : 0u) + (font.bold ? 1u : 0u);
    if (!descriptions_[slot]) {
      descriptions_[slot] = pango_font_description_new();
      pango_font_description_set_family(descriptions_[slot], font.family == FontFamily::Mono
                                                                 ? "DejaVu Sans Mono"
                                                                 : "DejaVu Sans");
      pango_font_description_set_weight(descriptions_[slot],
                                        font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    }
    // Sizes are in points, and a PDF surface's unit is the point.
    pango_font_description_set_absolute_size(descriptions_[slot], font.size * PANGO_SCALE);
    return descriptions_[slot];
  }

 private:
  std::array<PangoFontDescription*, 4> descriptions_{};
};

class PageDrawer {
 public:
  PageDrawer(cairo_t* context, PangoLayout* layout, Fonts& fonts)
      : context_(context), layout_(layout), fonts_(fonts) {}

  void operator()(const printing::Text& text) {
    pango_layout_set_font_description(layout_, fonts_.describe(text.font));
    pango_layout_set_text(layout_, text.text.data(), static_cast<int>(text.text.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    const double width = static_cast<double>(logical.width) / PANGO_SCALE;
    double x = text.x;
    if (text.align == Align::Right) x = text.x + text.width - width;
    if (text.align == Align::Center) x = text.x + (text.width - width) / 2;
    cairo_move_to(context_, x, text.y);
    pango_cairo_show_layout(context_, layout_);
  }

  void operator()(const printing::Line& line) {
    cairo_save(context_);
    cairo_set_line_width(context_, line.thickness);
    if (line.dashed) {
      const double dashes[] = {4, 3};
      cairo_set_dash(context_, dashes, 2, 0);
    }
    cairo_move_to(context_, line.x1, line.y1);
    cairo_line_to(context_, line.x2, line.y2);
    cairo_stroke(context_);
    cairo_restore(context_);
  }

  void operator()(const printing::Box& box) {
    cairo_save(context_);
    cairo_rectangle(context_, box.x, box.y, box.width, box.height);
    if (box.shaded) {
      cairo_set_source_rgb(context_, box.grey, box.grey, box.grey);
      cairo_fill_preserve(context_);
      cairo_set_source_rgb(context_, 0, 0, 0);
    }
    cairo_set_line_width(context_, box.thickness);
    cairo_stroke(context_);
    cairo_restore(context_);
  }

 private:
  cairo_t* context_;
  PangoLayout* layout_;
  Fonts& fonts_;
};

}  // namespace

struct PdfWriter::State {
  std::filesystem::path path;
  std::string temporary;
  OutputFile file;
  cairo_surface_t* surface = nullptr;
  cairo_t* context = nullptr;
  PangoLayout* layout = nullptr;
  Fonts fonts;
  std::size_t pages = 0;
  bool finished = false;

  void release() {
    if (layout) g_object_unref(layout);
    if (context) cairo_destroy(context);
    if (surface) cairo_surface_destroy(surface);
    layout = nullptr;
    context = nullptr;
    surface = nullptr;
    if (file.descriptor >= 0) ::close(file.descriptor);
    file.descriptor = -1;
  }

  [[noreturn]] void fail(const char* reason) {
    const int error = file.error;
    release();
    std::remove(temporary.c_str());
    finished = true;
    throw PdfError("Cannot write " + path.string() + ": " +
                   (error != 0 ? std::strerror(error) : reason));
  }
};

PdfWriter::PdfWriter(const std::filesystem::path& path, printing::PageSize size,
                     const std::string& title)
    : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.path = path;
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  state.temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  state.file.descriptor = ::mkstemp(state.temporary.data());
  if (state.file.descriptor < 0)
    throw PdfError("Cannot write " + path.string() + ": " + std::strerror(errno));
  // Statements carry patients' names and balances: the practice's staff may
  // read them, nobody else.
  ::fchmod(state.file.descriptor, files::sharedFileMode);
  state.surface =
      cairo_pdf_surface_create_for_stream(writeToFile, &state.file, size.width, size.height);
  if (!title.empty())
    cairo_pdf_surface_set_metadata(state.surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
  cairo_pdf_surface_set_metadata(state.surface, CAIRO_PDF_METADATA_CREATOR, "Vantrell");
  state.context = cairo_create(state.surface);
  state.layout = pango_cairo_create_layout(state.context);
  cairo_set_source_rgb(state.context, 0, 0, 0);
}

PdfWriter::~PdfWriter() {
  if (state_->finished) return;
  state_->release();
  std::remove(state_->temporary.c_str());
}

void PdfWriter::add(const printing::Document& part) {
  State& state = *state_;
  PageDrawer drawer(state.context, state.layout, state.fonts);
  for (const printing::Page& page : part.pages()) {
    for (const printing::Item& item : page.items) std::visit(drawer, item);
    cairo_show_page(state.context);
    ++state.pages;
    if (state.file.failed) state.fail("the disk refused the file");
  }
}

std::size_t PdfWriter::pagesWritten() const {
  return state_->pages;
}

void PdfWriter::finish() {
  State& state = *state_;
  // A document without pages is still a valid PDF of one blank page.
  if (state.pages == 0) cairo_show_page(state.context);
  g_object_unref(state.layout);
  state.layout = nullptr;
  cairo_destroy(state.context);
  state.context = nullptr;
  cairo_surface_finish(state.surface);
  if (cairo_surface_status(state.surface) != CAIRO_STATUS_SUCCESS)
    state.fail("the PDF could not be drawn");
  if (state.file.failed) state.fail("the disk refused the file");
  cairo_surface_destroy(state.surface);
  state.surface = nullptr;
  if (::fsync(state.file.descriptor) != 0) {
    state.file.error = errno;
    state.fail("");
  }
  const int descriptor = state.file.descriptor;
  state.file.descriptor = -1;
  if (::close(descriptor) != 0) {
    state.file.error = errno;
    state.fail("");
  }
  if (std::rename(state.temporary.c_str(), state.path.c_str()) != 0) {
    state.file.error = errno;
    state.fail("");
  }
  state.finished = true;
}

void writePdf(const printing::Document& document, const std::filesystem::path& path) {
  PdfWriter writer(path, document.pageSize(), document.title());
  writer.add(document);
  writer.finish();
}

}  // namespace vantrell::pdf
