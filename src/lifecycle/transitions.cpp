// The status changes of a stored quote, named by its folio: delete, cancel, authorise, reject.
// The four are one routine; what sets them apart is the data of their Transition.
#include <functional>
#include <span>

#include "frame/error_convention.h"
#include "frame/publico.h"
#include "lifecycle/lifecycle.h"
#include "lines/sql_values.h"
#include "model/cotizacion.h"

namespace quorlane {

namespace {

constexpr const char* kNotFound = "Imposible localizar la cotización: ";
constexpr const char* kOpen = "AC";
constexpr const char* kCancelled = "CA";

// A piece of a status statement: fixed text, or a value written when the piece is reached.
struct Piece {
  enum Kind { Text, NewStatus, Operator, Timestamp, Folio };
  Kind kind;
  const char* text = "";
};
constexpr Piece txt(const char* s) { return {Piece::Text, s}; }
constexpr Piece kStatus{Piece::NewStatus};
constexpr Piece kOperator{Piece::Operator};
constexpr Piece kTimestamp{Piece::Timestamp};
constexpr Piece kFolio{Piece::Folio};

// The statements' pieces, one column to a line. Cancellation: the line rows' pieces open with a
// blank, the header row's do not.
// clang-format off
constexpr Piece kCancelLines[] = {
    txt("UPDATE Cotizacion SET "),
    txt(" Es_Cve_Estado = '"), kStatus, txt("', "),
    txt(" Oper_Ult_Modif = '"), kOperator, txt("', "),
    txt(" Fecha_Ult_Modif = '"), kTimestamp, txt("', "),
    txt(" Oper_Baja = '"), kOperator, txt("', "),
    txt(" Fecha_Baja = '"), kTimestamp, txt("' "),
    txt(" WHERE Ct_Folio = '"), kFolio, txt("'")};
constexpr Piece kCancelHeader[] = {
    txt("UPDATE Cotizacion_Encabezado SET "),
    txt("Es_Cve_Estado = '"), kStatus, txt("', "),
    txt("Oper_Ult_Modif = '"), kOperator, txt("', "),
    txt("Fecha_Ult_Modif = '"), kTimestamp, txt("', "),
    txt("Oper_Baja = '"), kOperator, txt("', "),
    txt("Fecha_Baja = '"), kTimestamp, txt("' "),
    txt("WHERE Ct_Folio = '"), kFolio, txt("'")};

// Authorisation and rejection differ only in the status written.
constexpr Piece kDecideLines[] = {
    txt("UPDATE Cotizacion SET "),
    txt("Es_Cve_Estado = '"), kStatus, txt("', "),
    txt("Oper_Ult_Modif = '"), kOperator, txt("', "),
    txt("Fecha_Ult_Modif = '"), kTimestamp, txt("' "),
    txt("WHERE Ct_Folio = '"), kFolio, txt("'")};
constexpr Piece kDecideHeader[] = {
    txt("UPDATE Cotizacion_Encabezado SET "),
    txt("Es_Cve_Estado = '"), kStatus, txt("', "),
    txt("Oper_Ult_Modif = '"), kOperator, txt("', "),
    txt("Fecha_Ult_Modif = '"), kTimestamp, txt("' "),
    txt("WHERE Ct_Folio = '"), kFolio, txt("'")};

// Deletion removes the line rows and the quote's extended descriptions; the header row stays.
constexpr Piece kDeleteLines[] = {
    txt("DELETE Cotizacion WHERE Ct_Folio = '"), kFolio, txt("'")};
constexpr Piece kDeleteDescriptions[] = {
    txt("DELETE Documento_Descripcion_Extendida "
        "WHERE Dd_Tabla = 'COTIZACION' AND Dd_Documento = '"),
    kFolio, txt("'")};
// clang-format on

enum class Accepts { OnlyOpen, AllButCancelled };

struct Transition {
  Routine routine;
  const char* refusal;         // the refusal text before the folio
  Accepts accepts;             // which status of the first line row allows the change
  const char* refusal_ending;  // the refusal text after the folio
  bool ending_shows_status;    // the stored status follows the ending
  const char* new_status;      // the code that the statements write
  bool timestamp;              // takes the operation timestamp before arming the error exit
  const char* history;         // the follow-up history description, or nullptr for none
  std::span<const Piece> first;
  std::span<const Piece> second;
};

const Transition kEliminar = {.routine = Routine::Eliminar_Cotizacion,
                              .refusal = "Imposible eliminar la cotización: ",
                              .accepts = Accepts::OnlyOpen,
                              .refusal_ending = ", con estado: ",
                              .ending_shows_status = true,
                              .new_status = "",
                              .timestamp = false,
                              .history = nullptr,
                              .first = kDeleteLines,
                              .second = kDeleteDescriptions};
const Transition kCancelar = {.routine = Routine::Cancelar_Cotizacion,
                              .refusal = "Imposible cancelar la cotización: ",
                              .accepts = Accepts::AllButCancelled,
                              .refusal_ending = ", con estado = 'CA'",
                              .ending_shows_status = false,
                              .new_status = kCancelled,
                              .timestamp = true,
                              .history = "Baja de cotización",
                              .first = kCancelLines,
                              .second = kCancelHeader};
const Transition kAutorizar = {.routine = Routine::Autorizar_Cotizacion,
                               .refusal = "Imposible autorizar la cotización: ",
                               .accepts = Accepts::OnlyOpen,
                               .refusal_ending = ", con estado: ",
                               .ending_shows_status = true,
                               .new_status = "AU",
                               .timestamp = true,
                               .history = nullptr,
                               .first = kDecideLines,
                               .second = kDecideHeader};
const Transition kRechazar = {.routine = Routine::Rechazar_Cotizacion,
                              .refusal = "Imposible rechazar la cotización: ",
                              .accepts = Accepts::OnlyOpen,
                              .refusal_ending = ", con estado: ",
                              .ending_shows_status = true,
                              .new_status = "RZ",
                              .timestamp = true,
                              .history = nullptr,
                              .first = kDecideLines,
                              .second = kDecideHeader};

void build_status_query(std::string& sql, const std::string& folio) {
  sql = "SELECT * FROM Cotizacion WHERE Ct_Folio = '";
  append_quoted_value(sql, folio);
  sql += "' ORDER BY Ct_ID";
}

// The operator is asked anew for each column that receives it.
void build_statement(std::string& sql, std::span<const Piece> pieces, const Transition& t,
                     const std::string& folio, const std::string& timestamp) {
  assemble_statement(sql, pieces, [&](const Piece& piece) {
    switch (piece.kind) {
      case Piece::Text:
        break;
      case Piece::NewStatus:
        sql += t.new_status;
        break;
      case Piece::Operator:
        append_quoted_value(sql, publico().gSistema->Operador_Actual());
        break;
      case Piece::Timestamp:
        append_quoted_value(sql, timestamp);
        break;
      case Piece::Folio:
        append_quoted_value(sql, folio);
        break;
    }
  });
}

// A status missing from the row (Null) is no code at all: neither open nor cancelled, and it
// shows as an empty text in a refusal.
std::string stored_status(Recordset& rs) {
  Variant value = rs.GetFields().Item("Es_Cve_Estado").Value();
  return value.is_null() ? std::string() : value.to_text();
}

bool accepted(Accepts rule, const std::string& status) {
  return rule == Accepts::OnlyOpen ? status == kOpen : status != kCancelled;
}

std::string refusal_text(const Transition& t, const std::string& folio, const std::string& status) {
  std::string text = t.refusal + folio + t.refusal_ending;
  if (t.ending_shows_status) text += status;
  return text;
}

using History = std::function<bool(const std::string& folio, const std::string& description)>;

// The status of the folio's first line row (by line id) decides; the change is written to all
// its rows. The statements run one by one, with no transaction: a failure leaves the earlier
// ones in effect. m_Error is not emptied here; only the history entry of a cancellation does.
bool change_status(const Transition& t, const std::string& folio, std::string& m_Error,
                   std::string& m_Fecha_Texto, const History& history) {
  Publico& p = publico();
  // The stamp is taken before the error exit is armed: a failure here reaches the caller.
  if (t.timestamp) m_Fecha_Texto = p.gDatos->Fecha_SQL(p.gDatos->Fecha_Servidor());

  return with_error_exit(t.routine, m_Error, [&] {
    build_status_query(p.gSQL, folio);
    std::shared_ptr<Recordset> rs = p.gSistema->Conexion()->Execute(p.gSQL, -1);
    if (rs->Eof()) {
      m_Error = kNotFound + folio;
      rs->Close();
      return false;
    }
    std::string status = stored_status(*rs);
    if (!accepted(t.accepts, status)) {
      m_Error = refusal_text(t, folio, status);
      rs->Close();
      return false;
    }
    rs->Close();

    for (std::span<const Piece> statement : {t.first, t.second}) {
      build_statement(p.gSQL, statement, t, folio, m_Fecha_Texto);
      p.gSistema->Conexion()->Execute(p.gSQL, -1);
    }

    if (t.history && !history(folio, t.history)) {
      m_Error = with_source_line(t.routine, m_Error);
      return false;
    }
    return true;
  });
}

}  // namespace

bool Cotizacion::Eliminar_Cotizacion(std::string& Ct_Folio) {
  return change_status(kEliminar, Ct_Folio, m_Error, m_Fecha_Texto, nullptr);
}

bool Cotizacion::Cancelar_Cotizacion(std::string& Ct_Folio) {
  return change_status(kCancelar, Ct_Folio, m_Error, m_Fecha_Texto,
                       [this](const std::string& folio, const std::string& description) {
                         return Crm_Historial_Seguimiento(folio, description);
                       });
}

bool Cotizacion::Autorizar_Cotizacion(std::string& Ct_Folio) {
  return change_status(kAutorizar, Ct_Folio, m_Error, m_Fecha_Texto, nullptr);
}

bool Cotizacion::Rechazar_Cotizacion(std::string& Ct_Folio) {
  return change_status(kRechazar, Ct_Folio, m_Error, m_Fecha_Texto, nullptr);
}

}  // namespace quorlane
