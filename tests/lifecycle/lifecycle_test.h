// Fixture of the lifecycle tests: a quote on the recording fake host whose database answers the
// status query with `status_rows` and the totals query with `totals`, and logs every statement
// and every closing of a result set in `events`, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/cotizacion.h"
#include "support/host_test.h"

namespace quorlane::test {

// The stamp that the fake host's clock and Fecha_SQL give.
inline constexpr const char* kStamp = "2026-12-05 10:30:00";
inline constexpr const char* kStampCall = "#2026-12-05 10:30:00#";

class LifecycleTest : public HostTest {
 protected:
  void SetUp() override;

  // A line row of the folio, as the status query returns it (status Null allowed).
  void add_line(const std::string& folio, const std::string& id, Variant status);
  // The five sums of the totals query, in its column order.
  void set_totals(double L, double Ds, double T0, double D, double G);
  // The line rows' date and customer, as Obtener_Campo gives them for any folio.
  void set_quote_row(const std::string& fecha, const std::string& cliente);
  // Leaves a known text in m_Error (finalisation refusing an empty folio) and returns it.
  std::string leave_error();

  Ref<Cotizacion> quote;
  std::vector<std::vector<Variant>> status_rows;
  std::optional<std::vector<Variant>> totals;
  std::vector<std::string> events;
};

// "Connection.Execute(\"<sql>\")" as call_text writes it.
std::string execute_call(const std::string& sql);

}  // namespace quorlane::test
