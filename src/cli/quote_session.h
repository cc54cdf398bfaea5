// The main job: quotes built from documents, and status changes of stored quotes, all through
// the component's public interface on the standard host. The host's services are wrapped with
// the recording boundary so that every message the component sends through
// cSistema.Mostrar_Mensaje is captured and reported with the line it concerns.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/quote_document.h"
#include "host/sql/standard_host.h"
#include "host/wrap/boundary.h"
#include "stored/stored_quote.h"

namespace quorlane::cli {

// A message of the message service: its text, style, source, application and error id, and
// the document line being handed over when it was sent (0: none).
struct HostMessage {
  int position = 0;
  std::string text;
  int32_t style = 0;
  std::string source;
  std::string app;
  std::string id;
};

// What became of one line of the document.
struct LineOutcome {
  int position = 0;     // 1 for the document's first line
  std::string product;  // the product key as the document gives it
  bool stored = false;  // admitted: Add_Cotizacion_Detalle(2) answered True
  std::string error;    // why not: the quote's Error, the setter's message or the failure
  // The rows of the folio that this line added: its own row first, then its promotion lines.
  // A line can add rows and still not be stored (a promotion that failed after its row).
  std::vector<std::string> row_ids;
};

// Why a build stopped before the document's last line.
enum class BuildStop { None, Interrupted, Locked };

struct QuoteOutcome {
  automation::DocumentShape shape = automation::DocumentShape::Record;
  std::string folio;
  size_t document_lines = 0;       // the lines the document gives
  std::vector<LineOutcome> lines;  // the lines handed over, in order
  BuildStop stopped = BuildStop::None;
  std::vector<HostMessage> messages;
  bool finalize_requested = false;
  bool finalized = false;
  std::string error;                  // the header's failure or the finalisation's Error
  std::optional<StoredQuote> stored;  // the quote as the database holds it afterwards

  // Every line of the document stored, and the quote finalised when the document asked for it.
  bool ok() const;
  int lines_stored() const;
  int lines_refused() const;
  int rows_added() const;
  int promotion_rows() const;
};

struct BuildOptions {
  // Finalise when the document asks for it even though a line was refused. Otherwise such a
  // quote is left open.
  bool finalize_partial = false;
  // Asked before each line: true stops the build there, and the quote is not finalised.
  std::function<bool()> stop;
  // Told after each line: the lines handed over so far and those of them stored.
  std::function<void(size_t lines, size_t stored)> on_line;
};

// The most lines a quote can hold: the component numbers them with a 16-bit counter.
constexpr size_t kLineLimit = 32767;
// Refuses (InvalidDocument) a document with more lines than a quote can hold, so that nothing
// of it is written.
void check_line_limit(const automation::QuoteDocument& document);

enum class StatusChange { Finalize, Authorize, Reject, Cancel, Delete };

struct StatusOutcome {
  bool done = false;
  std::string error;  // the quote's Error when not done
  std::vector<HostMessage> messages;
};

class QuoteSession {
 public:
  // Installs the standard host with these settings, behind the boundary, for this thread.
  explicit QuoteSession(const HostSettings& settings);
  ~QuoteSession();
  QuoteSession(const QuoteSession&) = delete;
  QuoteSession& operator=(const QuoteSession&) = delete;

  // Builds the quote: header, then each line assigned and admitted, then finalisation when the
  // document asks for it and every line was stored (or `options` say to finalise anyway).
  // Refusals and failures are part of the outcome; a stop asked through `options`, or a lock
  // of another process that outlasted the busy timeout, ends the build after the line in
  // progress. Only a failure to read the database back throws.
  QuoteOutcome build(const automation::QuoteDocument& document, const BuildOptions& options = {});

  // Calls Finalizar_, Autorizar_, Rechazar_, Cancelar_ or Eliminar_Cotizacion with the folio.
  StatusOutcome change_status(StatusChange change, const std::string& folio);

  std::optional<StoredQuote> read(const std::string& folio);

  StandardHost& host() { return *host_; }

 private:
  std::vector<HostMessage> take_messages(int position);

  std::shared_ptr<StandardHost> host_;
  std::shared_ptr<Boundary> boundary_ = std::make_shared<Boundary>();
};

// The settings of the host options, with the message log off unless QUORLANE_MESSAGE_LOG names
// one: the commands report the messages themselves.
HostSettings quiet_message_log(HostSettings settings);

}  // namespace quorlane::cli
