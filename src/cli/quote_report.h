// How the program shows quotes: readable tables for people, one JSON object for programs.
#pragma once

#include <ostream>
#include <string>

#include "automation/json_values.h"
#include "cli/quote_session.h"
#include "stored/stored_quote.h"

namespace quorlane::cli {

// The quote a document built: folio, one row per stored line (promotion lines marked), the
// refused lines with their Error, the messages, the totals and a closing summary line.
void print_quote(std::ostream& out, const QuoteOutcome& outcome);
automation::Json quote_json(const QuoteOutcome& outcome);

// A stored quote: header with status, amounts and audit columns, lines, history.
void print_stored_quote(std::ostream& out, const StoredQuote& quote);

// A message as one line: "[ERR-ID:7500001] Quorlane.dll - Property Let Detalle(): text".
std::string message_line(const HostMessage& message);
automation::Json message_json(const HostMessage& message);

// A text of the component for a terminal: each CRLF a line break followed by `indent`.
std::string indented(const std::string& text, const std::string& indent);

// "2.50" for an amount; "" for NULL.
std::string amount_text(const Variant& value);

}  // namespace quorlane::cli
