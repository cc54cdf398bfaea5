// What the printed quote says, as texts ready to be laid out: the header fields with the
// catalogue's names, one row per stored line, the totals and the status. Building it reads the
// catalogue; laying it out (quote_pdf.h) reads nothing.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"
#include "stored/stored_quote.h"

namespace quorlane::print {

struct SheetField {
  std::string label;
  std::string value;
};

struct SheetLine {
  std::string line;  // the line number of the document (Ct_Partida), else the line id
  std::string product;
  std::string description;  // the catalogue's, then the line's own concept when it differs
  bool gift = false;        // a promotion line
  std::string size, colour, quantity;
  std::string price, discount, tax, net;  // amounts, without the currency code
};

struct QuoteSheet {
  std::string folio;
  std::string date;
  std::string branch;         // the branch's description, the letterhead of the document
  std::string customer;       // key and name, repeated on the following pages
  std::string status;         // "Abierta", "Autorizada", ...
  bool status_alert = false;  // rejected or cancelled
  bool finalized = false;     // the totals have been written by finalisation
  std::string currency;       // the currency's code
  // The customer's side (the customer first, then attention, reference, sale condition) and
  // the seller's (branch, warehouse, seller, currency, exchange rate); fields without a value
  // are left out.
  std::vector<SheetField> customer_fields;
  std::vector<SheetField> seller_fields;
  std::string comment;
  std::vector<SheetLine> lines;
  std::vector<SheetField> totals;  // values with the currency code; the last is the net amount
};

// The sheet of a stored quote that has lines. Names are read from the catalogue whatever
// their status (a withdrawn product keeps its description).
QuoteSheet make_quote_sheet(db::Database& database, const StoredQuote& quote);

// "1,234.50": two decimals, thousands grouped; "-0.00" is written "0.00".
std::string amount_text(double amount);

}  // namespace quorlane::print
