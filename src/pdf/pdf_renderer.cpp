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

void drawDocument(const printing::Document& document, OutputFile& file) {
  const printing::PageSize size = document.pageSize();
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_pdf_surface_create_for_stream(writeToFile, &file, size.width, size.height),
      cairo_surface_destroy);
  if (!document.title().empty())
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE,
                                   document.title().c_str());
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Vantrell");
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                             cairo_destroy);
  std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(
      pango_cairo_create_layout(context.get()), g_object_unref);
  Fonts fonts;
  PageDrawer drawer(context.get(), layout.get(), fonts);

  cairo_set_source_rgb(context.get(), 0, 0, 0);
  for (const printing::Page& page : document.pages()) {
    for (const printing::Item& item : page.items) std::visit(drawer, item);
    cairo_show_page(context.get());
  }
  // A document without pages is still a valid PDF of one blank page.
  if (document.pages().empty()) cairo_show_page(context.get());
  context.reset();
  cairo_surface_finish(surface.get());
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS && !file.failed) {
    file.failed = true;
    file.error = 0;
  }
}

}  // namespace

void writePdf(const printing::Document& document, const std::filesystem::path& path) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  OutputFile file;
  file.descriptor = ::mkstemp(temporary.data());
  if (file.descriptor < 0)
    throw PdfError("Cannot write " + path.string() + ": " + std::strerror(errno));

  drawDocument(document, file);
  if (!file.failed && ::fsync(file.descriptor) != 0) {
    file.failed = true;
    file.error = errno;
  }
  // Statements carry patients' names and balances: the practice's staff may
  // read them, nobody else.
  ::fchmod(file.descriptor, files::sharedFileMode);
  if (::close(file.descriptor) != 0 && !file.failed) {
    file.failed = true;
    file.error = errno;
  }
  if (!file.failed && std::rename(temporary.c_str(), path.c_str()) != 0) {
    file.failed = true;
    file.error = errno;
  }
  if (file.failed) {
    std::remove(temporary.c_str());
    throw PdfError("Cannot write " + path.string() + ": " +
                   (file.error != 0 ? std::strerror(file.error) : "the PDF could not be drawn"));
  }
}

}  // namespace vantrell::pdf
