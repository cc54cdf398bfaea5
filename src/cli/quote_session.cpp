#include "cli/quote_session.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

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
};

ShapeCalls record_calls(const Ref<_Cotizacion>& quote) {
  return {
      [quote](const Json& header, Date default_date) {
        tCtEncabezado h = automation::header_record(header);
        if (!header.contains("Ct_Fecha")) h.Ct_Fecha = default_date;
        quote->put_Encabezado(h);
      },
      [quote](const Json& line, int position) {
        tCtDetalle d = automation::line_record(line);
        if (!line.contains(kPartida)) d.Ct_Partida = std::to_string(position);
        quote->put_Detalle(d);
      },
      [quote] { return quote->Add_Cotizacion_Detalle(); }, [quote] { return quote->get_Folio(); },
      [](const Json& line) { return line["Producto"].value("Pr_Cve_Producto", std::string()); }};
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
          [](const Json& line) { return line.value("Pr_Cve_Producto", std::string()); }};
}

std::string text_of(const Variant& v) {
  try {
    return v.to_text();
  } catch (...) {
    return "";
  }
}

// The rows in `after` that `before` does not hold, in order.
std::vector<std::string> added(const std::vector<std::string>& before,
                               const std::vector<std::string>& after) {
  std::vector<std::string> out;
  for (const std::string& id : after)
    if (std::find(before.begin(), before.end(), id) == before.end()) out.push_back(id);
  return out;
}

}  // namespace

bool QuoteOutcome::ok() const {
  if (!error.empty() || lines.empty()) return false;
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

QuoteOutcome QuoteSession::build(const automation::QuoteDocument& document) {
  QuoteOutcome outcome;
  outcome.shape = document.shape;
  outcome.finalize_requested = document.finalizar;
  take_messages(0);  // whatever an earlier quote left

  auto keep_messages = [&](int position) {
    for (HostMessage& m : take_messages(position)) outcome.messages.push_back(std::move(m));
  };

  Ref<_Cotizacion> quote;
  ShapeCalls calls;
  try {
    quote = create_Cotizacion();
    calls = document.shape == DocumentShape::Object ? object_calls(quote) : record_calls(quote);
    // Nuevo gives the quote the server's date, which a header without Ct_Fecha takes.
    quote->Nuevo();
    Date today = quote->get_Encabezado().Ct_Fecha;
    quote->put_Agregar_Promociones(document.promociones);
    calls.assign_header(document.header, today);
  } catch (const std::exception& e) {
    outcome.error = e.what();
    keep_messages(0);
    return outcome;
  }
  keep_messages(0);

  std::vector<std::string> known_ids;
  std::string folio;
  for (size_t i = 0; i < document.lines.size(); ++i) {
    const Json& line = document.lines[i];
    LineOutcome result;
    result.position = static_cast<int>(i) + 1;
    result.product = calls.product(line);
    try {
      calls.assign_line(line, result.position);
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
    if (!folio.empty()) {
      std::vector<std::string> ids = stored_line_ids(*host_->database(), folio);
      result.row_ids = added(known_ids, ids);
      known_ids = std::move(ids);
    }
    outcome.lines.push_back(std::move(result));
  }
  outcome.folio = folio;

  if (document.finalizar) {
    if (folio.empty()) {
      outcome.error = kNoFolio;
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
