#include "cli/quote_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>

#include "db/database.h"
#include "quorlane/interfaces.h"

namespace quorlane::cli {

namespace {

using automation::DocumentShape;
using automation::Json;

// A line that leaves out its Ct_Partida (the client's line number, which the row holds as a
// number) takes its place in the document.
constexpr const char* kPartida = "Ct_Partida";
constexpr const char* kNoFolio =
    "the quote was not finalised: it has no folio, since no line was admitted";

// What the build does through one shape of the component: the record routines or their
// object twins ("...2"). The steps are the same for both.
struct ShapeCalls {
  std::function<void(const Json& header, Date default_date)> assign_header;
  std::function<void(const Json& line, int position)> assign_line;
  std::function<bool()> admit;
  std::function<std::string()> folio;
  std::function<std::string(const Json& line)> product;
  // The Ct_ID of the line the quote holds: admission writes there the id it gave the line, or
  // the last promotion line's.
  std::function<std::string()> held_line_id;
};

ShapeCalls record_calls(const Ref<_Cotizacion>& quote) {
  return {[quote](const Json& header, Date default_date) {
            tCtEncabezado h = automation::header_record(header);
            if (!header.contains("Ct_Fecha")) h.Ct_Fecha = default_date;
            quote->put_Encabezado(h);
          },
          [quote](const Json& line, int position) {
            tCtDetalle d = automation::line_record(line);
            if (!line.contains(kPartida)) d.Ct_Partida = std::to_string(position);
            quote->put_Detalle(d);
          },
          [quote] { return quote->Add_Cotizacion_Detalle(); },
          [quote] { return quote->get_Folio(); },
          [](const Json& line) { return line["Producto"].value("Pr_Cve_Producto", std::string()); },
          [quote] { return quote->get_Detalle().Ct_ID; }};
}

ShapeCalls object_calls(const Ref<_Cotizacion>& quote) {
  return {[quote](const Json& header, Date default_date) {
            Ref<_cCtEncabezado> h = create_cCtEncabezado();
            if (!header.contains("Ct_Fecha")) h->put_Ct_Fecha(default_date);
            automation::set_properties(*h, header);
            quote->putref_Encabezado2(h.get());
          },
          [quote](const Json& line, int position) {
            Ref<_cCtDetalle> d = create_cCtDetalle();
            if (!line.contains(kPartida)) d->put_Ct_Partida(std::to_string(position));
            automation::set_properties(*d, line);
            quote->putref_Detalle2(d.get());
          },
          [quote] { return quote->Add_Cotizacion_Detalle2(); },
          [quote] { return quote->get_Folio2(); },
          [](const Json& line) { return line.value("Pr_Cve_Producto", std::string()); },
          [quote] {
            Ref<_cCtDetalle> held = quote->get_Detalle2();
            return held ? held->get_Ct_ID() : std::string();
          }};
}

std::string text_of(const Variant& v) {
  try {
    return v.to_text();
  } catch (...) {
    return "";
  }
}

// The number of a line id ("0042": 42); 0 for a text that is not one.
int line_number(const std::string& id) {
  if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stoi(id);
}

// Gives each line the stored rows numbered from its own number up to the next numbered line's.
void assign_rows(const StoredQuote& quote, const std::vector<int>& own_numbers,
                 std::vector<LineOutcome>& lines) {
  std::vector<std::pair<int, std::string>> rows;
  for (size_t i = 0; i < quote.lines.rows.size(); ++i) {
    std::string id = text_of(quote.lines.value(i, "Ct_ID"));
    rows.emplace_back(line_number(id), std::move(id));
  }
  std::sort(rows.begin(), rows.end());
  auto row = rows.begin();
  for (size_t k = 0; k < lines.size(); ++k) {
    if (own_numbers[k] == 0) continue;
    int next = std::numeric_limits<int>::max();
    for (size_t j = k + 1; j < lines.size(); ++j)
      if (own_numbers[j] != 0) {
        next = own_numbers[j];
        break;
      }
    while (row != rows.end() && row->first < own_numbers[k]) ++row;
    for (; row != rows.end() && row->first < next; ++row) lines[k].row_ids.push_back(row->second);
  }
}

std::string lines_text(size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

}  // namespace

bool QuoteOutcome::ok() const {
  if (!error.empty() || lines.empty() || stopped != BuildStop::None ||
      lines.size() != document_lines)
    return false;
  for (const LineOutcome& l : lines)
    if (!l.stored) return false;
  return !finalize_requested || finalized;
}

int QuoteOutcome::lines_stored() const {
  return static_cast<int>(
      std::count_if(lines.begin(), lines.end(), [](const LineOutcome& l) { return l.stored; }));
}

int QuoteOutcome::lines_refused() const { return static_cast<int>(lines.size()) - lines_stored(); }

int QuoteOutcome::rows_added() const {
  int n = 0;
  for (const LineOutcome& l : lines) n += static_cast<int>(l.row_ids.size());
  return n;
}

int QuoteOutcome::promotion_rows() const {
  int n = 0;
  for (const LineOutcome& l : lines)
    if (!l.row_ids.empty()) n += static_cast<int>(l.row_ids.size()) - 1;
  return n;
}

void check_line_limit(const automation::QuoteDocument& document) {
  if (document.lines.size() <= kLineLimit) return;
  throw automation::InvalidDocument(
      {{"lines", lines_text(document.lines.size()) + ": a quote holds at most " +
                     std::to_string(kLineLimit) + " lines"}});
}

HostSettings quiet_message_log(HostSettings settings) {
  const char* log = std::getenv("QUORLANE_MESSAGE_LOG");
  if (log == nullptr || *log == '\0') settings.message_log = "none";
  return settings;
}

QuoteSession::QuoteSession(const HostSettings& settings) : host_(StandardHost::create(settings)) {
  install_thread_host_factory(wrap_host(host_->factory(), boundary_));
}

QuoteSession::~QuoteSession() { install_thread_host_factory(nullptr); }

std::vector<HostMessage> QuoteSession::take_messages(int position) {
  std::vector<HostMessage> out;
  for (const CallRecord& call : boundary_->take_calls()) {
    if (call.service != "cSistema" || call.operation != "Mostrar_Mensaje") continue;
    auto arg = [&](size_t i) { return i < call.args.size() ? call.args[i] : Variant(); };
    HostMessage m;
    m.position = position;
    m.text = text_of(arg(0));
    try {
      m.style = arg(1).to_int32();
    } catch (...) {
      m.style = 0;
    }
    m.source = text_of(arg(2));
    m.app = text_of(arg(4));
    m.id = text_of(arg(5));
    out.push_back(std::move(m));
  }
  return out;
}

QuoteOutcome QuoteSession::build(const automation::QuoteDocument& document,
                                 const BuildOptions& options) {
  QuoteOutcome outcome;
  outcome.shape = document.shape;
  outcome.finalize_requested = document.finalizar;
  outcome.document_lines = document.lines.size();
  take_messages(0);  // whatever an earlier quote left

  auto keep_messages = [&](int position) {
    for (HostMessage& m : take_messages(position)) outcome.messages.push_back(std::move(m));
  };

  std::shared_ptr<db::Database> database;
  uint64_t lock_timeouts = 0;
  Ref<_Cotizacion> quote;
  ShapeCalls calls;
  try {
    database = host_->database();
    lock_timeouts = database->lock_timeouts();
    quote = create_Cotizacion();
    calls = document.shape == DocumentShape::Object ? object_calls(quote) : record_calls(quote);
    // Nuevo gives the quote the server's date, which a header without Ct_Fecha takes.
    quote->Nuevo();
    Date today = quote->get_Encabezado().Ct_Fecha;
    quote->put_Agregar_Promociones(document.promociones);
    calls.assign_header(document.header, today);
  } catch (const std::exception& e) {
    outcome.error = e.what();
    if (database && database->lock_timeouts() > lock_timeouts) outcome.stopped = BuildStop::Locked;
    keep_messages(0);
    return outcome;
  }
  keep_messages(0);

  // The rows each line added are told by the line ids, without reading the quote back after
  // every line: admission numbers the rows of a quote 1, 2, 3... and leaves the number it gave
  // a line in the line the quote holds; the line's promotion rows take the numbers that follow,
  // up to the next line's. The rows are matched to the lines once the quote is read back.
  std::vector<int> own_numbers;  // per line handed over; 0 when it was not numbered
  int last_number = 0;
  size_t stored_lines = 0;
  std::string folio;
  for (size_t i = 0; i < document.lines.size(); ++i) {
    if (options.stop && options.stop()) {
      outcome.stopped = BuildStop::Interrupted;
      break;
    }
    const Json& line = document.lines[i];
    LineOutcome result;
    result.position = static_cast<int>(i) + 1;
    result.product = calls.product(line);
    std::string held_before;
    try {
      calls.assign_line(line, result.position);
      held_before = calls.held_line_id();
      std::vector<HostMessage> refusal = take_messages(result.position);
      if (!refusal.empty()) {
        // The setter refused the line (or failed) and the quote kept its previous line:
        // admitting now would store that one again.
        result.error = refusal.front().text;
        for (HostMessage& m : refusal) outcome.messages.push_back(std::move(m));
      } else {
        result.stored = calls.admit();
        if (!result.stored) result.error = quote->get_Error();
      }
    } catch (const std::exception& e) {
      result.error = e.what();
    }
    keep_messages(result.position);
    try {
      folio = calls.folio();
    } catch (const std::exception&) {
    }
    std::string held_after;
    try {
      held_after = calls.held_line_id();
    } catch (const std::exception&) {
    }
    // A line that was not stored may still have been numbered (and written before a later step
    // failed); one that was not numbered leaves the held line id as the assignment left it.
    int held = line_number(held_after);
    bool numbered = (result.stored || held_after != held_before) && held > last_number;
    own_numbers.push_back(numbered ? held : 0);
    if (numbered) last_number = held;
    if (result.stored) ++stored_lines;
    outcome.lines.push_back(std::move(result));
    if (options.on_line) options.on_line(outcome.lines.size(), stored_lines);
    if (database->lock_timeouts() > lock_timeouts) {
      outcome.stopped = BuildStop::Locked;
      break;
    }
  }
  outcome.folio = folio;

  if (document.finalizar) {
    const int refused = outcome.lines_refused();
    if (outcome.stopped != BuildStop::None) {
      outcome.error = "the run stopped after " + lines_text(outcome.lines.size()) + " of " +
                      std::to_string(document.lines.size());
    } else if (folio.empty()) {
      outcome.error = kNoFolio;
    } else if (refused > 0 && !options.finalize_partial) {
      outcome.error = lines_text(refused) + (refused == 1 ? " was" : " were") +
                      " refused, so the quote was left open ('quorlane finalize " + folio +
                      "' or --finalize-partial finalises the lines stored)";
    } else {
      std::string f = folio;
      try {
        outcome.finalized = quote->Finalizar_Cotizacion(f);
        if (!outcome.finalized) outcome.error = quote->get_Error();
      } catch (const std::exception& e) {
        outcome.error = e.what();
      }
      keep_messages(0);
    }
  }
  if (!folio.empty()) outcome.stored = read(folio);
  if (outcome.stored) assign_rows(*outcome.stored, own_numbers, outcome.lines);
  return outcome;
}

StatusOutcome QuoteSession::change_status(StatusChange change, const std::string& folio) {
  StatusOutcome outcome;
  take_messages(0);
  try {
    Ref<_Cotizacion> quote = create_Cotizacion();
    std::string f = folio;
    switch (change) {
      case StatusChange::Finalize:
        outcome.done = quote->Finalizar_Cotizacion(f);
        break;
      case StatusChange::Authorize:
        outcome.done = quote->Autorizar_Cotizacion(f);
        break;
      case StatusChange::Reject:
        outcome.done = quote->Rechazar_Cotizacion(f);
        break;
      case StatusChange::Cancel:
        outcome.done = quote->Cancelar_Cotizacion(f);
        break;
      case StatusChange::Delete:
        outcome.done = quote->Eliminar_Cotizacion(f);
        break;
    }
    if (!outcome.done) outcome.error = quote->get_Error();
  } catch (const std::exception& e) {
    outcome.error = e.what();
  }
  outcome.messages = take_messages(0);
  return outcome;
}

std::optional<StoredQuote> QuoteSession::read(const std::string& folio) {
  return read_stored_quote(*host_->database(), folio);
}

}  // namespace quorlane::cli
