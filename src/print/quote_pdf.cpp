#include "print/quote_pdf.h"

#include <cairo-pdf.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorlane::print {

namespace {

// Noto Sans for Latin, Greek and Cyrillic text; fontconfig finds a font for every character it
// lacks (Noto Sans CJK for Chinese and Japanese, and so on).
constexpr const char* kFamily = "Noto Sans";
constexpr double kSideMargin = 36;
constexpr double kTopMargin = 36;
constexpr double kFootHeight = 36;   // below the body: the page's foot line
constexpr double kRunningHead = 24;  // the folio line at the top of the following pages
constexpr double kCellPad = 3;

struct Rgb {
  double r, g, b;
};
constexpr Rgb kInk{0.13, 0.14, 0.16};
constexpr Rgb kMuted{0.42, 0.45, 0.49};
constexpr Rgb kAccent{0.11, 0.27, 0.42};
constexpr Rgb kWhite{1, 1, 1};
constexpr Rgb kStripe{0.955, 0.965, 0.975};
constexpr Rgb kGiftFill{0.89, 0.96, 0.90};
constexpr Rgb kGiftInk{0.09, 0.45, 0.20};
constexpr Rgb kRule{0.76, 0.79, 0.83};
constexpr Rgb kAlert{0.72, 0.12, 0.12};
constexpr Rgb kPending{0.82, 0.42, 0.02};
constexpr Rgb kOpen{0.20, 0.42, 0.62};

double points(int pango_units) { return pango_units / static_cast<double>(PANGO_SCALE); }
int pango_units(double pts) { return static_cast<int>(pts * PANGO_SCALE + 0.5); }

// Pango takes valid UTF-8 only: an invalid byte is printed as U+FFFD.
std::string valid_utf8(const std::string& s) {
  if (g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gchar* fixed = g_utf8_make_valid(s.data(), static_cast<gssize>(s.size()));
  std::string out = fixed;
  g_free(fixed);
  return out;
}

// A text with bold or coloured runs.
class RichText {
 public:
  RichText() = default;
  RichText(const std::string& text, bool bold = false) { add(text, bold); }  // NOLINT
  RichText& add(const std::string& text, bool bold = false, const Rgb* colour = nullptr) {
    size_t start = text_.size();
    text_ += valid_utf8(text);
    if (bold || colour) runs_.push_back({start, text_.size(), bold, colour});
    return *this;
  }
  const std::string& text() const { return text_; }

  // The runs as Pango attributes; null when there are none.
  PangoAttrList* attributes() const {
    if (runs_.empty()) return nullptr;
    PangoAttrList* list = pango_attr_list_new();
    for (const Run& run : runs_) {
      auto span = [&](PangoAttribute* a) {
        a->start_index = static_cast<guint>(run.start);
        a->end_index = static_cast<guint>(run.end);
        pango_attr_list_insert(list, a);
      };
      if (run.bold) span(pango_attr_weight_new(PANGO_WEIGHT_BOLD));
      if (run.colour)
        span(pango_attr_foreground_new(static_cast<guint16>(run.colour->r * 65535),
                                       static_cast<guint16>(run.colour->g * 65535),
                                       static_cast<guint16>(run.colour->b * 65535)));
    }
    return list;
  }

 private:
  struct Run {
    size_t start, end;
    bool bold;
    const Rgb* colour;
  };
  std::string text_;
  std::vector<Run> runs_;
};

struct Style {
  double size = 8;
  bool bold = false;
  Rgb colour = kInk;
  PangoAlignment align = PANGO_ALIGN_LEFT;
};

// A cell of a row: its text, where it stands and how it is written.
struct Cell {
  RichText text;
  double x = 0, width = 0;
  Style style;
};

// One line of a laid-out paragraph, in points from the paragraph's top.
struct LineBox {
  double top, bottom, baseline, x;
};

struct Column {
  const char* title;
  double width;  // 0: the description column, which takes the rest
  bool right;
};
const Column kColumns[] = {
    {"Part.", 30, false},    {"Producto", 0, false}, {"Talla", 32, false},
    {"Color", 34, false},    {"Cantidad", 50, true}, {"Precio lista", 56, true},
    {"Descuento", 56, true}, {"Impuesto", 54, true}, {"Importe neto", 62, true}};
constexpr size_t kColumnCount = std::size(kColumns);
constexpr size_t kDescriptionColumn = 1;
constexpr size_t kFirstAmountColumn = 5;

// Lays the sheet out page by page. Each page is drawn into a recording first; once the last
// page is known they are played onto the PDF, each with its "Página N de M" foot.
class Typesetter {
 public:
  Typesetter(const QuoteSheet& sheet, cairo_t* pdf, double width, double height)
      : sheet_(sheet), pdf_(pdf), cr_(pdf), width_(width), height_(height) {
    // Sizes are in points of the page: Pango's default of 96 dots per inch would enlarge them.
    context_ = pango_cairo_create_context(cr_);
    pango_cairo_context_set_resolution(context_, 72);
    for (size_t i = 0; i < kColumnCount; ++i) layouts_.push_back(pango_layout_new(context_));
    bottom_ = height_ - kFootHeight;
    double x = kSideMargin, fixed = 0;
    for (const Column& c : kColumns) fixed += c.width;
    for (const Column& c : kColumns) {
      double w = c.width > 0 ? c.width : body_width() - fixed;
      column_x_.push_back(x);
      column_width_.push_back(w);
      x += w;
    }
  }
  ~Typesetter() {
    for (PangoLayout* l : layouts_) g_object_unref(l);
    g_object_unref(context_);
    if (cr_ != pdf_) cairo_destroy(cr_);
    for (cairo_surface_t* page : pages_) cairo_surface_destroy(page);
    for (auto& [key, font] : fonts_) pango_font_description_free(font);
  }
  Typesetter(const Typesetter&) = delete;
  Typesetter& operator=(const Typesetter&) = delete;

  // Lays out and draws the whole document; returns the number of pages.
  int run() {
    table_page_top_ = kTopMargin + kRunningHead + table_header_height();
    page_ = 0;
    in_table_ = false;
    new_page();
    fields();
    y_ += 10;
    in_table_ = true;
    table_header();
    for (size_t i = 0; i < sheet_.lines.size(); ++i) line_row(i);
    // A page that the totals move to repeats the table's header too: every page has it.
    y_ += 10;
    if (sheet_.finalized)
      totals();
    else
      not_finalised();
    in_table_ = false;
    end_page();
    cr_ = pdf_;
    for (size_t i = 0; i < pages_.size(); ++i) {
      cairo_set_source_surface(pdf_, pages_[i], 0, 0);
      cairo_paint(pdf_);
      foot(static_cast<int>(i) + 1, static_cast<int>(pages_.size()));
      cairo_show_page(pdf_);
    }
    return page_;
  }

 private:
  double body_width() const { return width_ - 2 * kSideMargin; }

  PangoFontDescription* font(double size, bool bold) {
    auto key = std::make_pair(pango_units(size), bold);
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    PangoFontDescription* f = pango_font_description_new();
    pango_font_description_set_family(f, kFamily);
    pango_font_description_set_size(f, key.first);
    pango_font_description_set_weight(f, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    return fonts_.emplace(key, f).first->second;
  }

  // Sets `layout` to the text, wrapped to `width` (none when 0); returns its height.
  double set(PangoLayout* layout, const RichText& text, double width, const Style& style) {
    pango_layout_set_font_description(layout, font(style.size, style.bold));
    pango_layout_set_width(layout, width > 0 ? pango_units(width) : -1);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, style.align);
    pango_layout_set_text(layout, text.text().data(), static_cast<int>(text.text().size()));
    PangoAttrList* attributes = text.attributes();
    pango_layout_set_attributes(layout, attributes);
    if (attributes) pango_attr_list_unref(attributes);
    int w, h;
    pango_layout_get_size(layout, &w, &h);
    return points(h);
  }

  // The width the text takes on one line.
  double natural_width(const RichText& text, const Style& style) {
    set(layouts_[0], text, 0, style);
    int w, h;
    pango_layout_get_size(layouts_[0], &w, &h);
    return points(w);
  }

  void colour(const Rgb& c) { cairo_set_source_rgb(cr_, c.r, c.g, c.b); }

  void fill(double x, double y, double w, double h, const Rgb& c) {
    colour(c);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
  }

  void rule(double y, const Rgb& c, double thickness = 0.6) {
    fill(kSideMargin, y, body_width(), thickness, c);
  }

  // Writes a text at (x, y) within `width`; returns its height.
  double write(const RichText& text, double x, double y, double width, const Style& style) {
    double h = set(layouts_[0], text, width, style);
    colour(style.colour);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layouts_[0]);
    return h;
  }

  // A rounded label with white text, its right edge at `right`; returns its width.
  double badge(const std::string& text, double right, double y, const Rgb& c) {
    Style style{8.5, true, kWhite, PANGO_ALIGN_LEFT};
    double w = natural_width(text, style) + 12;
    double x = right - w, h = 16, r = 3;
    colour(c);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, x + w - r, y + r, r, -G_PI / 2, 0);
    cairo_arc(cr_, x + w - r, y + h - r, r, 0, G_PI / 2);
    cairo_arc(cr_, x + r, y + h - r, r, G_PI / 2, G_PI);
    cairo_arc(cr_, x + r, y + r, r, G_PI, 3 * G_PI / 2);
    cairo_close_path(cr_);
    cairo_fill(cr_);
    write(text, x + 6, y + 2, 0, style);
    return w;
  }

  // ------------------------------------------------------------------ pages

  void new_page() {
    if (page_ > 0) end_page();
    ++page_;
    cairo_rectangle_t extents{0, 0, width_, height_};
    pages_.push_back(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents));
    cr_ = cairo_create(pages_.back());
    y_ = kTopMargin;
    if (page_ == 1) {
      letterhead();
      return;
    }
    running_head();
    if (in_table_) table_header();
    body_top_ = y_;
  }

  void end_page() {
    cairo_destroy(cr_);
    cr_ = pdf_;
  }

  void foot(int page, int pages) {
    double y = bottom_ + 12;
    rule(y, kRule);
    Style foot{8, false, kMuted, PANGO_ALIGN_LEFT};
    write("Cotización " + sheet_.folio, kSideMargin, y + 5, body_width() / 2, foot);
    foot.align = PANGO_ALIGN_RIGHT;
    write("Página " + std::to_string(page) + " de " + std::to_string(pages),
          kSideMargin + body_width() / 2, y + 5, body_width() / 2, foot);
  }

  // The first page's head: the branch as letterhead, the title, folio, date and status.
  void letterhead() {
    const double half = body_width() / 2;
    const double right = kSideMargin + body_width();
    double left_h = write(RichText(sheet_.branch, true), kSideMargin, y_, half - 10,
                          {17, true, kAccent, PANGO_ALIGN_LEFT});
    double right_h = write(RichText("Cotización", true), kSideMargin + half, y_ - 4, half,
                           {28, true, kAccent, PANGO_ALIGN_RIGHT});
    right_h -= 4;
    right_h += write(RichText("Folio ").add(sheet_.folio, true), kSideMargin + half, y_ + right_h,
                     half, {13, false, kInk, PANGO_ALIGN_RIGHT});
    if (!sheet_.date.empty())
      right_h += write("Fecha " + sheet_.date, kSideMargin + half, y_ + right_h, half,
                       {10, false, kMuted, PANGO_ALIGN_RIGHT});
    right_h += 4;
    double badge_right = right;
    const Rgb& status_colour = sheet_.status_alert ? kAlert : kOpen;
    badge_right -= badge("Estado: " + sheet_.status, badge_right, y_ + right_h, status_colour) + 6;
    if (!sheet_.finalized) badge("Sin finalizar", badge_right, y_ + right_h, kPending);
    right_h += 16;
    y_ += std::max(left_h, right_h) + 8;
    rule(y_, kAccent, 1.2);
    y_ += 8;
  }

  void running_head() {
    Style head{9.5, true, kAccent, PANGO_ALIGN_LEFT};
    write("Cotización " + sheet_.folio, kSideMargin, y_, body_width() / 2, head);
    head = {9.5, false, kMuted, PANGO_ALIGN_RIGHT};
    write(sheet_.customer, kSideMargin + body_width() / 2, y_, body_width() / 2, head);
    rule(y_ + kRunningHead - 8, kRule);
    y_ += kRunningHead;
  }

  // The quote's fields in two columns (the customer's on the left, the seller's on the right),
  // then the comment across the page. A long value is wrapped; the comment may go on to the
  // next page.
  void fields() {
    const double gap = 16, label = 86;
    const double half = (body_width() - gap) / 2;
    const double right = kSideMargin + half + gap;
    const Style label_style{8, false, kMuted};
    const std::vector<SheetField>& left = sheet_.customer_fields;
    const std::vector<SheetField>& right_side = sheet_.seller_fields;
    for (size_t i = 0; i < std::max(left.size(), right_side.size()); ++i) {
      std::vector<Cell> cells(4);
      for (int side = 0; side < 2; ++side) {
        const std::vector<SheetField>& fields = side == 0 ? left : right_side;
        const double x = side == 0 ? kSideMargin : right;
        if (i >= fields.size()) {
          cells[side * 2] = {RichText(), x, label, label_style};
          cells[side * 2 + 1] = {RichText(), x + label, half - label, label_style};
          continue;
        }
        const bool customer = side == 0 && i == 0 && !sheet_.customer.empty();
        cells[side * 2] = {RichText(fields[i].label), x, label, label_style};
        cells[side * 2 + 1] = {RichText(fields[i].value, customer),
                               x + label,
                               half - label,
                               {customer ? 11.0 : 9.5, customer, kInk}};
      }
      row(cells, 1, nullptr, 1.5);
    }
    if (!sheet_.comment.empty()) {
      y_ += 4;
      std::vector<Cell> cells = {{RichText("Comentario"), kSideMargin, label, label_style},
                                 {RichText(sheet_.comment),
                                  kSideMargin + label,
                                  body_width() - label,
                                  {9.5, false, kInk}}};
      row(cells, 1, nullptr, 1.5);
    }
  }

  std::vector<Cell> header_cells() {
    std::vector<Cell> cells;
    for (size_t i = 0; i < kColumnCount; ++i) {
      std::string title = kColumns[i].title;
      if (i >= kFirstAmountColumn && !sheet_.currency.empty()) title += "\n" + sheet_.currency;
      cells.push_back(
          {RichText(title, true),
           column_x_[i],
           column_width_[i],
           {7.5, true, kWhite, kColumns[i].right ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT}});
    }
    return cells;
  }

  void table_header() { row(header_cells(), kDescriptionColumn, &kAccent, kCellPad, true); }

  void line_row(size_t index) {
    const SheetLine& line = sheet_.lines[index];
    RichText product;
    product.add(line.product, true);
    if (line.gift) product.add("  Regalo · Promoción", true, &kGiftInk);
    if (!line.description.empty()) product.add("\n" + line.description);
    const std::string texts[] = {line.line,     "",         line.size,     line.colour,
                                 line.quantity, line.price, line.discount, line.tax,
                                 line.net};
    std::vector<Cell> cells;
    for (size_t i = 0; i < kColumnCount; ++i)
      cells.push_back(
          {i == kDescriptionColumn ? product : RichText(texts[i]),
           column_x_[i],
           column_width_[i],
           {8.5, false, kInk, kColumns[i].right ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT}});
    const Rgb* background = line.gift ? &kGiftFill : index % 2 == 1 ? &kStripe : nullptr;
    row(cells, kDescriptionColumn, background, kCellPad);
  }

  // The totals as finalisation stored them, in a box at the right.
  void totals() {
    const double box = 250, x = kSideMargin + body_width() - box;
    const double needed = sheet_.totals.size() * 14 + 12;
    if (y_ + needed > bottom_) new_page();
    for (size_t i = 0; i < sheet_.totals.size(); ++i) {
      bool net = i + 1 == sheet_.totals.size();
      if (net) {
        fill(x, y_ + 2, box, 1, kAccent);
        y_ += 5;
      }
      Style label{net ? 11.5 : 9.0, net, net ? kAccent : kMuted, PANGO_ALIGN_LEFT};
      Style value{net ? 11.5 : 9.0, net, kInk, PANGO_ALIGN_RIGHT};
      write(sheet_.totals[i].label, x + kCellPad, y_, box / 2, label);
      y_ += write(sheet_.totals[i].value, x + box / 2, y_, box / 2 - kCellPad, value) + 2;
    }
  }

  // In place of the totals: the quote has not been finalised, so it has none yet.
  void not_finalised() {
    const double box = body_width();
    const RichText text =
        RichText("Sin finalizar. ", true)
            .add("Esta cotización aún no se ha finalizado: sus totales no se han calculado.");
    Style style{10, false, kInk, PANGO_ALIGN_LEFT};
    double h = set(layouts_[0], text, box - 16, style) + 12;
    if (y_ + h > bottom_) new_page();
    fill(kSideMargin, y_, 3, h, kPending);
    write(text, kSideMargin + 12, y_ + 6, box - 16, style);
    y_ += h;
  }

  // ------------------------------------------------------------------ rows

  std::vector<LineBox> line_boxes(PangoLayout* layout) {
    std::vector<LineBox> out;
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
      int top, bottom;
      pango_layout_iter_get_line_yrange(it, &top, &bottom);
      PangoRectangle logical;
      pango_layout_iter_get_line_extents(it, nullptr, &logical);
      out.push_back({points(top), points(bottom), points(pango_layout_iter_get_baseline(it)),
                     points(logical.x)});
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    return out;
  }

  // The body's first free position on a page that follows this one.
  double next_page_top() const { return in_table_ ? table_page_top_ : kTopMargin + kRunningHead; }

  double table_header_height() {
    double h = 0;
    std::vector<Cell> cells = header_cells();
    for (size_t i = 0; i < cells.size(); ++i)
      h = std::max(h,
                   set(layouts_[i], cells[i].text, cells[i].width - 2 * kCellPad, cells[i].style));
    return h + 2 * kCellPad;
  }

  // A row of cells. The cell `flowing` may be split between two of its lines when the row does
  // not fit on the page: its first part ends the page (with the other cells), the rest follows on
  // the next. A row that fits on a page of its own is never split.
  void row(const std::vector<Cell>& cells, size_t flowing, const Rgb* background, double pad,
           bool header = false) {
    double others = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
      double h = set(layouts_[i], cells[i].text, cells[i].width - 2 * kCellPad, cells[i].style);
      if (i != flowing) others = std::max(others, h);
    }
    const std::vector<LineBox> lines = line_boxes(layouts_[flowing]);
    auto span = [&](size_t a, size_t b) { return b > a ? lines[b - 1].bottom - lines[a].top : 0; };
    size_t first = 0;
    bool first_part = true;
    while (true) {
      const double rest = std::max(first_part ? others : 0.0, span(first, lines.size())) + 2 * pad;
      if (y_ + rest <= bottom_ || header) {
        draw_row(cells, flowing, lines, first, lines.size(), first_part, background, pad, rest);
        y_ += rest;
        return;
      }
      if (rest <= bottom_ - next_page_top() && !page_is_empty()) {
        new_page();
        reset(cells);
        continue;
      }
      // Too tall for any page: as many of its lines as fit here.
      const double room = bottom_ - y_ - 2 * pad;
      size_t end = first;
      while (end < lines.size() && span(first, end + 1) <= room) ++end;
      if (end == first || (first_part && others > room)) {
        if (!page_is_empty()) {
          new_page();
          reset(cells);
          continue;
        }
        end = std::max(end, first + 1);  // a line taller than the page: it is clipped
      }
      const double h = std::max(first_part ? others : 0.0, span(first, end)) + 2 * pad;
      draw_row(cells, flowing, lines, first, end, first_part, background, pad, h);
      y_ += h;
      first = end;
      first_part = false;
      new_page();
      reset(cells);
    }
  }

  bool page_is_empty() const { return y_ <= body_top_ + 0.01; }

  // Lays the cells out again after a page break has used the layouts for the page's head.
  void reset(const std::vector<Cell>& cells) {
    for (size_t i = 0; i < cells.size(); ++i)
      set(layouts_[i], cells[i].text, cells[i].width - 2 * kCellPad, cells[i].style);
  }

  void draw_row(const std::vector<Cell>& cells, size_t flowing, const std::vector<LineBox>& lines,
                size_t first, size_t end, bool first_part, const Rgb* background, double pad,
                double height) {
    if (background) fill(kSideMargin, y_, body_width(), height, *background);
    for (size_t i = 0; i < cells.size(); ++i) {
      const Cell& cell = cells[i];
      const double x = cell.x + kCellPad;
      colour(cell.style.colour);
      if (i != flowing) {
        if (!first_part) continue;
        cairo_move_to(cr_, x, y_ + pad);
        pango_cairo_show_layout(cr_, layouts_[i]);
        continue;
      }
      for (size_t j = first; j < end; ++j) {
        cairo_move_to(cr_, x + lines[j].x, y_ + pad + lines[j].baseline - lines[first].top);
        pango_cairo_show_layout_line(cr_, pango_layout_get_line_readonly(layouts_[i], j));
      }
    }
  }

  const QuoteSheet& sheet_;
  cairo_t* const pdf_;
  cairo_t* cr_;  // the current page's recording, or the PDF
  std::vector<cairo_surface_t*> pages_;
  const double width_, height_;
  PangoContext* context_;
  std::vector<PangoLayout*> layouts_;  // one per cell of a row
  std::map<std::pair<int, bool>, PangoFontDescription*> fonts_;
  std::vector<double> column_x_, column_width_;
  double bottom_ = 0;
  int page_ = 0;
  double y_ = 0;
  double body_top_ = 0;  // where the body of the current page starts
  double table_page_top_ = 0;
  bool in_table_ = false;
};

}  // namespace

int write_quote_pdf(const QuoteSheet& sheet, Paper paper, cairo_write_func_t write, void* closure) {
  // A4 is 210 x 297 mm, US Letter 8.5 x 11 in; PDF measures in points of 1/72 in.
  const double width = paper == Paper::A4 ? 595.28 : 612;
  const double height = paper == Paper::A4 ? 841.89 : 792;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(write, closure, width, height);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                 valid_utf8("Cotización " + sheet.folio).c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Quorlane");
  cairo_t* cr = cairo_create(surface);
  int pages = Typesetter(sheet, cr, width, height).run();
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(cairo_status_to_string(status));
  return pages;
}

}  // namespace quorlane::print
