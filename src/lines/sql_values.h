// The value rules by which every statement of the component writes its values. Statements are
// assembled piece by piece in gSQL; the apostrophes that open and close a quoted value belong to
// the fixed pieces around it ("'" before, "', " or "') " after), so these functions append only
// the value itself.
#pragma once

#include <string>
#include <string_view>

namespace quorlane {

// Quoted text: the text as held, with every apostrophe doubled so that no value can end its
// literal (the surrounding apostrophes come from the pieces).
void append_quoted_value(std::string& sql, std::string_view text);
// Bare text: the text exactly as held.
void append_bare_value(std::string& sql, std::string_view text);
// Whether a text reads as a number literal that every engine takes as one value: an optional
// sign, digits with an optional decimal point (at least one digit), an optional exponent, with
// blanks around allowed. Only such a text may go into a statement as bare text: anything else
// could end the value and write more into the statement.
bool is_number_literal(std::string_view text);
// Plain number: general decimal text, 15 significant digits, '.' always. A value that is not
// finite fails with kOverflow.
void append_plain_number(std::string& sql, double value);
// Integer constant: decimal digits.
void append_integer(std::string& sql, long long value);

}  // namespace quorlane
