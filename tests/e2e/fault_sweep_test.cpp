// The fault sweep. A scenario that uses every public member of the quote in one shape (a new
// quote with a refused line, three admitted lines, one of them earning a promotion line,
// finalisation, authorisation and cancellation; a second quote deleted, a third rejected) runs
// once against the standard host on a fresh SQLite file, every host call recorded at the
// boundary. Then, for every call k of that run, the scenario runs again on a fresh copy of the
// same database with the k-th call failing, and after the member that was running:
//   - a member with an error exit returned False and let nothing escape; the accessors, Nuevo,
//     the header setters, creation and the timestamp of a status change let the failure reach
//     the client; the detail setters sent it through the message service;
//   - Error reads the source text and line breaks of the routine that owned the failing call,
//     the owner being read off the recorded calls of the first run;
//   - the database holds exactly what the calls before the failing one wrote: nothing half
//     written, nothing of a later step;
//   - the client goes on with the rest of the scenario and nothing escapes any more.
// The same is done with "no" for every yes/no answer that reports a failure or a missing
// relation (Registrar_Documento, Registrar_Seguimiento, Existe_*) and with an empty folio.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "support/temp_dir.h"

namespace quorlane::test {
namespace {

constexpr const char* kCrLf = "\r\n";

// ---------------------------------------------------------------- who reports a failure

// The routines that can own a failing call, and how each reports it.
enum class Owner {
  Client,        // no error exit: the failure reaches the client
  DetailSetter,  // sent through the message service
  Admission,
  RowInsert,
  HeaderInsert,
  Promotion,
  Finalizar,
  Eliminar,
  Cancelar,
  Autorizar,
  Rechazar,
  History,
};

struct Source {
  std::string text;
  int line_breaks;
};

Source source_of(Owner owner, bool object) {
  const std::string two = object ? "2" : "";
  switch (owner) {
    case Owner::Admission:
      return {"Quorlane.dll - Add_Cotizacion_Detalle" + two + "()", 2};
    case Owner::RowInsert:
      return {"Quorlane.dll - Inserta_Cotizacion" + two + "()", 2};
    case Owner::HeaderInsert:
      return {"Quorlane.dll - Inserta_Cotizacion_Encabezado" + two + "()", 1};
    case Owner::Promotion:
      return {"Quorlane.dll - Inserta_Promocion" + two + "()", 1};
    case Owner::Finalizar:
      return {"Quorlane.dll - Finalizar_Cotizacion()", 1};
    case Owner::Eliminar:
      return {"Quorlane.dll - Eliminar_Cotizacion()", 2};
    case Owner::Cancelar:
      return {"Quorlane.dll - Cancelar_Cotizacion()", 2};
    case Owner::Autorizar:
      return {"Quorlane.dll - Autorizar_Cotizacion()", 2};
    case Owner::Rechazar:
      return {"Quorlane.dll - Rechazar_Cotizacion()", 2};
    case Owner::History:
      return {"Crm_Historial_Seguimiento()", 1};
    case Owner::Client:
    case Owner::DetailSetter:
      break;
  }
  return {"", 0};
}

// Error after a failure whose description is `description`, owned by `owner` inside the public
// member `member`: the owner's error exit; the history entry's text goes back to its caller,
// which puts its own source line in front.
std::string error_exit_text(Owner member, Owner owner, bool object,
                            const std::string& description) {
  if (owner == Owner::History)
    return source_of(member, object).text + kCrLf + "Crm_Historial_Seguimiento()" + kCrLf +
           description;
  Source s = source_of(owner, object);
  std::string text = s.text;
  for (int i = 0; i < s.line_breaks; ++i) text += kCrLf;
  return text + description;
}

// ---------------------------------------------------------------- the scenario

enum class Kind {
  NoErrorExit,        // creation, Nuevo, the header setters, the accessors
  DetailSetter,       // Detalle / Detalle2
  ErrorExit,          // line admission, finalisation, deletion
  StampedTransition,  // cancel, authorise, reject: the timestamp comes before the error exit
};

struct Ctx {
  explicit Ctx(bool object) : client(object) {}
  Client client;
  std::string folio[3];
};

struct Step {
  std::string name;
  Kind kind;
  Owner member;  // for the kinds with an error exit
  std::function<std::optional<bool>(Ctx&)> body;
  int header = -1;  // the quote whose header a header step assigns
};

// What a step did in one run.
struct StepResult {
  bool threw = false;
  std::string thrown;
  std::optional<bool> result;
  std::string error;                    // Error after the step, when a quote exists
  size_t first_call = 0, end_call = 0;  // the calls the step made: [first, end)
};

// The header of quote n (0, 1, 2), each in a warehouse that checks another relation of the line:
// A2 sizes and colours, A3 sizes only, A4 colours only. Each has its own global discount factor,
// so that a header assignment cut short shows which of its steps ran.
const char* const kWarehouse[] = {"A2", "A3", "A4"};
const double kDiscountFactor[] = {0.05, 0.06, 0.07};

void fill_header(QuoteShape& s, int n) {
  s.set_date(H::Ct_Fecha, make_date(2026, 12, 5));
  s.set_text(H::Ct_Tabla, "PEDIDO");
  s.set_text(H::Ct_Documento, "PED-10" + std::to_string(n));
  s.set_text(H::Ct_Referencia, "Obra Insurgentes");
  s.set_text(H::Ct_Atencion, "Ing. Pérez");
  s.set_text(H::Ct_Comentario, "Entrega en obra");
  s.set_text(H::Ct_Condicion_Venta, "CON");
  s.set_text(H::Mn_Cve_Moneda, "MXN");
  s.set_number(H::Ct_Tipo_Cambio, 1);
  s.set_number(H::Ct_Descuento_Global_Factor, kDiscountFactor[n]);
  s.set_text(H::Sc_Cve_Sucursal, "S1");
  s.set_text(H::Al_Cve_Almacen, kWarehouse[n]);
  s.set_text(H::Cl_Cve_Cliente, "C1");
  s.set_text(H::Vn_Cve_Vendedor, "V1");
}

std::function<void(QuoteShape&)> line(const char* partida, const char* product, const char* size,
                                      const char* colour, double quantity, const char* unit,
                                      double price) {
  return [=](QuoteShape& s) {
    s.set_text(D::Ct_Partida, partida);
    s.set_text(D::Ct_Partida_Descripcion, std::string("Partida ") + partida);
    s.set_text(D::Pr_Cve_Producto, product);
    s.set_text(D::Tl_Cve_Talla, size);
    s.set_text(D::Cl_Cve_Color, colour);
    s.set_number(D::Ct_Cantidad_1, quantity);
    s.set_text(D::Ct_Unidad_1, unit);
    s.set_number(D::Ct_Precio_Lista, price);
    s.set_number(D::Ct_Descuento_Factor, 0.1);
    s.set_text(D::Ct_Concepto, std::string("Venta de ") + product);
  };
}

std::vector<Step> scenario() {
  auto none = [](auto f) {
    return [f](Ctx& c) -> std::optional<bool> {
      f(c);
      return std::nullopt;
    };
  };
  auto header = [&](int n) {
    return Step{
        "Encabezado (cotización " + std::to_string(n + 1) + ")", Kind::NoErrorExit, Owner::Client,
        none([n](Ctx& c) { c.client.set_header([n](QuoteShape& s) { fill_header(s, n); }); })};
  };
  auto detail = [&](const std::string& name, std::function<void(QuoteShape&)> fill) {
    return Step{"Detalle " + name, Kind::DetailSetter, Owner::DetailSetter,
                none([fill](Ctx& c) { c.client.set_line(fill); })};
  };
  auto add = [](const std::string& name) {
    return Step{"Add " + name, Kind::ErrorExit, Owner::Admission,
                [](Ctx& c) -> std::optional<bool> { return c.client.add(); }};
  };
  // Reads the quote back through every getter of the shape; keeps the folio of quote n.
  auto getters = [&](int n) {
    return Step{"getters", Kind::NoErrorExit, Owner::Client, none([n](Ctx& c) {
                  _Cotizacion& q = c.client.q();
                  c.folio[n] = c.client.folio();
                  (void)q.get_Error();
                  (void)q.get_Agregar_Promociones();
                  if (c.client.object()) {
                    (void)q.get_Encabezado2();
                    (void)q.get_Detalle2();
                  } else {
                    (void)q.get_Encabezado();
                    (void)q.get_Detalle();
                  }
                })};
  };
  using Member = bool (_Cotizacion::*)(std::string&);
  auto by_folio = [](const char* name, Kind kind, Owner owner, Member member, int n) {
    return Step{std::string(name) + " (cotización " + std::to_string(n + 1) + ")", kind, owner,
                [member, n](Ctx& c) -> std::optional<bool> {
                  std::string folio = c.folio[n];
                  return (c.client.q().*member)(folio);
                }};
  };
  // A new quote on the same object: Nuevo empties the record's folio and replaces the objects;
  // setting the folio to empty is how a client starts over without Nuevo.
  auto nuevo = [&]() {
    return Step{"Nuevo", Kind::NoErrorExit, Owner::Client, none([](Ctx& c) {
                  c.client.q().Nuevo();
                  c.client.set_folio("");
                })};
  };

  return {
      {"creación", Kind::NoErrorExit, Owner::Client, none([](Ctx& c) { c.client.create(); })},
      nuevo(),
      {"Agregar_Promociones", Kind::NoErrorExit, Owner::Client,
       none([](Ctx& c) { c.client.q().put_Agregar_Promociones(true); })},
      header(0),
      // No relation P3/XL/BL: refused after the folio and the header row.
      detail("P3 XL", line("1", "P3", "XL", "BL", 2, "PZA", 250)),
      add("P3 XL (rechazada)"),
      detail("P3 M", line("1", "P3", "M", "BL", 4, "PZA", 250)),
      add("P3 M"),
      // Ten shirts earn a cap (promotion PM0001).
      detail("P3 G", line("2", "P3", "G", "AZ", 10, "PZA", 250)),
      add("P3 G (con promoción)"),
      detail("P4", line("3", "P4", "U", "NG", 2, "PZA", 80)),
      add("P4"),
      getters(0),
      by_folio("Finalizar_Cotizacion", Kind::ErrorExit, Owner::Finalizar,
               &_Cotizacion::Finalizar_Cotizacion, 0),
      by_folio("Autorizar_Cotizacion", Kind::StampedTransition, Owner::Autorizar,
               &_Cotizacion::Autorizar_Cotizacion, 0),
      by_folio("Cancelar_Cotizacion", Kind::StampedTransition, Owner::Cancelar,
               &_Cotizacion::Cancelar_Cotizacion, 0),
      nuevo(),
      header(1),
      detail("P7", line("1", "P7", "23", "", 1, "PAR", 450)),
      add("P7"),
      getters(1),
      by_folio("Eliminar_Cotizacion", Kind::ErrorExit, Owner::Eliminar,
               &_Cotizacion::Eliminar_Cotizacion, 1),
      nuevo(),
      header(2),
      detail("P4 NG", line("1", "P4", "", "NG", 1, "PZA", 80)),
      add("P4 NG"),
      getters(2),
      by_folio("Rechazar_Cotizacion", Kind::StampedTransition, Owner::Rechazar,
               &_Cotizacion::Rechazar_Cotizacion, 2),
  };
}

// ---------------------------------------------------------------- owners of the recorded calls

bool is(const CallRecord& c, const char* service, const char* operation) {
  return c.service == service && c.operation == operation;
}

// Line admission, as its calls follow each other: its own checks; the header row and the line's
// row (each from the date text to the INSERT); the promotion, from the promotions component to
// the nested admission of the promotion line; the registration, its last call. Returns the index
// after the admission's last call.
size_t mark_admission(const std::vector<CallRecord>& calls, size_t i, size_t end,
                      std::vector<Owner>& owners) {
  while (i < end) {
    const CallRecord& c = calls[i];
    if (is(c, "cDatos", "Fecha_Documento_SQL")) {
      const std::string& sql = calls.at(i + 4).args.at(0).raw_text();
      Owner row = sql.rfind("INSERT INTO Cotizacion_Encabezado", 0) == 0 ? Owner::HeaderInsert
                                                                         : Owner::RowInsert;
      for (size_t j = i; j < i + 5; ++j) owners[j] = row;
      i += 5;
      continue;
    }
    if (is(c, "cPromociones", "Obtener_Promocion")) {
      owners[i] = Owner::Promotion;
      const tPromocion* p = c.result.record_as<tPromocion>();
      ++i;
      if (p == nullptr || p->Pr_Cve_Producto.empty()) continue;
      while (i < end && !is(calls[i], "cDatos", "Fecha_Servidor")) owners[i++] = Owner::Promotion;
      i = mark_admission(calls, i, end, owners);
      continue;
    }
    owners[i] = Owner::Admission;
    ++i;
    if (is(c, "cDatos", "Registrar_Documento")) return i;
  }
  return i;
}

// The owner of each call of the first run.
std::vector<Owner> owners_of(const std::vector<CallRecord>& calls, const std::vector<Step>& steps,
                             const std::vector<StepResult>& results) {
  std::vector<Owner> owners(calls.size(), Owner::Client);
  for (size_t s = 0; s < steps.size(); ++s) {
    const size_t first = results[s].first_call, end = results[s].end_call;
    switch (steps[s].kind) {
      case Kind::NoErrorExit:
        break;
      case Kind::DetailSetter:
        for (size_t i = first; i < end; ++i) owners[i] = Owner::DetailSetter;
        break;
      case Kind::ErrorExit:
      case Kind::StampedTransition:
        if (steps[s].member == Owner::Admission) {
          EXPECT_EQ(mark_admission(calls, first, end, owners), end) << steps[s].name;
          break;
        }
        for (size_t i = first; i < end; ++i) {
          // The follow-up history entry: the quote's date and customer, then the entry.
          if (is(calls[i], "cDatos", "Obtener_Campo") &&
              calls[i].args[0].raw_text() == "Cotizacion") {
            while (i < end && !is(calls[i], "cDatos", "Registrar_Seguimiento"))
              owners[i++] = Owner::History;
            owners[i] = Owner::History;
            continue;
          }
          owners[i] = steps[s].member;
        }
        // The operation timestamp is taken before the error exit is armed.
        if (steps[s].kind == Kind::StampedTransition) {
          EXPECT_TRUE(is(calls[first], "cDatos", "Fecha_Servidor") &&
                      is(calls[first + 1], "cDatos", "Fecha_SQL"))
              << steps[s].name;
          owners[first] = owners[first + 1] = Owner::Client;
        }
        break;
    }
  }
  return owners;
}

// ---------------------------------------------------------------- runs

// Runs the scenario's steps on this thread's installed host. After each step `after_step`
// says whether to go on.
std::vector<StepResult> run_steps(const std::vector<Step>& steps, Ctx& ctx, Boundary& boundary,
                                  const std::function<bool(size_t, StepResult&)>& after_step) {
  std::vector<StepResult> results;
  for (size_t s = 0; s < steps.size(); ++s) {
    StepResult r;
    r.first_call = boundary.call_count();
    try {
      r.result = steps[s].body(ctx);
    } catch (const std::exception& e) {
      r.threw = true;
      r.thrown = e.what();
    }
    r.end_call = boundary.call_count();
    if (ctx.client.created()) r.error = ctx.client.q().get_Error();
    results.push_back(r);
    if (!after_step(s, results.back())) break;
    if (!ctx.client.created()) break;  // creation failed: there is no quote to go on with
  }
  return results;
}

class FaultSweep : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    template_path = dir.file("plantilla.db");
    // A warehouse that manages colours only, so that the third quote checks the product/colour
    // relation.
    make_demo_database(template_path, [](db::Database& d) {
      d.run(
          "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, "
          "Al_Maneja_Tallas, Al_Maneja_Colores, Es_Cve_Estado) "
          "VALUES ('S1', 'A4', 'Almacén de accesorios', 'NO', 'SI', 'AC')");
      d.run(
          "INSERT INTO Costo (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, "
          "Cl_Cve_Color, Co_Costo) VALUES ('S1', 'A4', 'P4', '', '', 45)");
    });
  }

  // A fresh copy of the template.
  std::string fresh_database(const std::string& name) {
    std::string path = dir.file(name);
    remove_database(path);
    std::filesystem::copy_file(template_path, path);
    return path;
  }

  // The database after each prefix of the first run: the writes of the recorded calls replayed
  // one by one on a fresh copy. prefix[j] is the database after the first j calls.
  std::vector<std::string> prefix_dumps(const std::vector<CallRecord>& calls) {
    std::string path = fresh_database("replay.db");
    std::shared_ptr<StandardHost> host = StandardHost::create(e2e_settings(path));
    std::shared_ptr<cDatos> datos = host->factory()->create_datos();
    std::vector<std::string> dumps{dump_database(*host->database())};
    for (const CallRecord& c : calls) {
      auto text = [&](size_t i) { return c.args.at(i).raw_text(); };
      bool wrote = true;
      if (is(c, "Connection", "Execute") && text(0).rfind("SELECT", 0) != 0) {
        host->connection()->Execute(text(0));
      } else if (is(c, "cDatos", "Obtener_Folio")) {
        datos->Obtener_Folio(text(0), text(1), c.args[2].to_int32(), c.args[3].to_int32());
      } else if (is(c, "cDatos", "Registrar_Documento") && c.result.to_bool()) {
        datos->Registrar_Documento(text(0), text(1), text(2));
      } else if (is(c, "cDatos", "Registrar_Seguimiento") && c.result.to_bool()) {
        datos->Registrar_Seguimiento(text(0), text(1), text(2), text(3), text(4),
                                     c.args[5].to_date(), text(6));
      } else {
        wrote = false;
      }
      dumps.push_back(wrote ? dump_database(*host->database()) : dumps.back());
    }
    return dumps;
  }

  TempDir dir{scratch_base()};
  std::string template_path;
};

// One disturbed run: the k-th call fails, or answers `answer`.
struct Disturbance {
  size_t k;                       // 1-based index of the call
  std::optional<Variant> answer;  // none: the call fails
  std::string description;
};

TEST_P(FaultSweep, EveryFailingCallIsReportedByItsOwnerAndLeavesOnlyTheEarlierWrites) {
  const bool object = GetParam();
  const std::vector<Step> steps = scenario();

  // ------------------------------------------------------------ the first run, undisturbed
  std::vector<CallRecord> calls;
  std::vector<StepResult> baseline;
  std::string final_dump;
  {
    auto boundary = std::make_shared<Boundary>();
    InstalledHost installed(e2e_settings(fresh_database("base.db")), boundary);
    Ctx ctx(object);
    baseline = run_steps(steps, ctx, *boundary, [](size_t, StepResult&) { return true; });
    calls = boundary->calls();
    final_dump = dump_database(installed.database());
    ctx.client.release();
  }
  ASSERT_EQ(baseline.size(), steps.size());
  for (size_t s = 0; s < steps.size(); ++s) {
    SCOPED_TRACE(steps[s].name);
    EXPECT_FALSE(baseline[s].threw) << baseline[s].thrown;
    if (steps[s].kind == Kind::ErrorExit || steps[s].kind == Kind::StampedTransition) {
      bool refused_line = steps[s].name == "Add P3 XL (rechazada)";
      EXPECT_EQ(baseline[s].result, std::optional<bool>(!refused_line)) << baseline[s].error;
    }
  }
  EXPECT_EQ(baseline[5].error, "No se encuentra la relación producto/talla/color: P3/XL/BL");
  // The scenario reaches every relation check, the promotion and both history entries.
  auto count = [&](const char* service, const char* operation) {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const CallRecord& c) { return is(c, service, operation); });
  };
  EXPECT_EQ(count("cDatos", "Existe_Producto_Talla_Color"), 5);
  EXPECT_EQ(count("cDatos", "Existe_Producto_Talla"), 1);
  EXPECT_EQ(count("cDatos", "Existe_Producto_Color"), 1);
  EXPECT_EQ(count("cDatos", "Obtener_Folio"), 3);
  EXPECT_EQ(count("cDatos", "Registrar_Seguimiento"), 2);
  EXPECT_EQ(count("cDatos", "Registrar_Documento"), 7);  // 6 lines and the finalised quote
  EXPECT_EQ(count("cSistema", "Mostrar_Mensaje"), 0);

  const std::vector<Owner> owners = owners_of(calls, steps, baseline);
  const std::vector<std::string> prefix = prefix_dumps(calls);
  ASSERT_EQ(prefix.back(), final_dump) << "the replayed writes give the first run's database";

  // The step that made call i of the first run.
  auto step_of = [&](size_t i) {
    for (size_t s = 0; s < steps.size(); ++s)
      if (i >= baseline[s].first_call && i < baseline[s].end_call) return s;
    return steps.size();
  };

  // ------------------------------------------------------------ the disturbed runs
  auto run_disturbed = [&](const Disturbance& d) {
    const size_t at = d.k - 1;  // index of the disturbed call
    const size_t faulted = step_of(at);
    const Step& step = steps.at(faulted);
    const Owner owner = owners[at];
    const CallRecord& original = calls[at];
    SCOPED_TRACE("call " + std::to_string(d.k) + " (" + call_text(original) + ") in step '" +
                 step.name + "'" + (d.answer ? " answered " + debug_text(*d.answer) : " failing"));

    auto boundary = std::make_shared<Boundary>();
    if (d.answer) {
      boundary->answer("*", "*", static_cast<int>(d.k), *d.answer);
    } else {
      boundary->fail("*", "*", static_cast<int>(d.k), d.description);
    }
    std::string path = fresh_database("run.db");
    InstalledHost installed(e2e_settings(path), boundary);
    Ctx ctx(object);
    std::string error_before;
    bool going_on = false;  // past the disturbed step: the client goes on undisturbed

    run_steps(steps, ctx, *boundary, [&](size_t s, StepResult& r) {
      if (going_on) {
        // Nothing is disturbed any more: no member lets anything escape, and a False always
        // comes with a text in Error.
        EXPECT_FALSE(r.threw) << steps[s].name << ": " << r.thrown;
        if (r.result == std::optional<bool>(false)) {
          EXPECT_NE(r.error, "") << steps[s].name;
        }
        return true;
      }
      if (s < faulted) {
        // The same calls as the first run, with the same outcome.
        EXPECT_EQ(r.end_call, baseline[s].end_call) << steps[s].name;
        EXPECT_EQ(r.result, baseline[s].result) << steps[s].name;
        EXPECT_EQ(r.threw, baseline[s].threw) << steps[s].name;
        error_before = r.error;
        return true;
      }
      EXPECT_EQ(s, faulted);
      std::vector<CallRecord> made = boundary->calls();
      EXPECT_TRUE(made.size() >= d.k && made[at].operation == original.operation &&
                  made[at].service == original.service)
          << "the disturbed call is the same as in the first run";

      if (d.answer) {
        // A "no" or an empty folio: a refusal or a failure told by the routine that asked.
        EXPECT_FALSE(r.threw) << r.thrown;
        EXPECT_EQ(r.result, std::optional<bool>(false));
        auto ultimo_error = [&]() -> std::string {
          if (made.size() > d.k && is(made[d.k], "cDatos", "Ultimo_Error"))
            return made[d.k].result.to_text();
          ADD_FAILURE() << "Ultimo_Error is not asked right after the answer";
          return "";
        };
        const auto& a = original.args;
        auto arg = [&](size_t i) { return a.at(i).raw_text(); };
        std::string expected;
        if (original.operation == "Existe_Producto_Talla_Color") {
          expected = "No se encuentra la relación producto/talla/color: " + arg(0) + "/" + arg(1) +
                     "/" + arg(2);
        } else if (original.operation == "Existe_Producto_Talla") {
          expected = "No se encuentra la relación producto/talla: " + arg(0) + "/" + arg(1);
        } else if (original.operation == "Existe_Producto_Color") {
          expected = "No se encuentra la relación producto/color: " + arg(0) + "/" + arg(1);
        } else if (original.operation == "Obtener_Folio") {
          expected = "Error al intentar obtener el folio de la cotización!";
          EXPECT_EQ(ctx.client.folio(), "") << "the folio stays empty";
        } else if (original.operation == "Registrar_Seguimiento") {
          expected = source_of(step.member, object).text + kCrLf + "Crm_Historial_Seguimiento()" +
                     kCrLf + ultimo_error();
        } else {  // Registrar_Documento: of a line, or of the finalised quote
          expected =
              source_of(owner == Owner::Finalizar ? Owner::Finalizar : Owner::Admission, object)
                  .text +
              kCrLf + ultimo_error();
        }
        EXPECT_EQ(r.error, expected);
      } else {
        switch (owner) {
          case Owner::Client:
            // No error exit: the failure reaches the client and Error is left alone.
            EXPECT_TRUE(r.threw);
            EXPECT_EQ(r.thrown, d.description);
            if (ctx.client.created()) {
              EXPECT_EQ(r.error, error_before);
            }
            break;
          case Owner::DetailSetter: {
            EXPECT_FALSE(r.threw) << r.thrown;
            EXPECT_EQ(r.error, error_before);
            const std::string setter = object ? "Detalle2" : "Detalle";
            const std::string id = object ? "ERR-ID:7500006" : "ERR-ID:7500003";
            if (made.size() <= d.k) {
              ADD_FAILURE() << "no message sent";
              break;
            }
            EXPECT_EQ(call_text(made[d.k]), "cSistema.Mostrar_Mensaje(\"" + d.description +
                                                "\", 16, \"Quorlane.dll - Property Let " + setter +
                                                "()\", <omitted>, \"Quorlane\", \"" + id +
                                                "\") -> 0");
            EXPECT_EQ(made.size(), d.k + 1) << "the setter stops at the failure";
            break;
          }
          default:
            EXPECT_FALSE(r.threw) << r.thrown;
            EXPECT_EQ(r.result, std::optional<bool>(false));
            EXPECT_EQ(r.error, error_exit_text(step.member, owner, object, d.description));
            break;
        }
        // What a header setter cut short leaves: the server id read first, then the fields
        // copied and the size and colour flags, the global discount factor last.
        if (step.header >= 0) {
          const int n = step.header;
          const bool copied = original.operation != "Obtener_Campo";
          EXPECT_EQ(ctx.client.header_text(H::Al_Cve_Almacen) == kWarehouse[n], copied);
          EXPECT_NE(ctx.client.header_number(H::Ct_Descuento_Global_Factor), kDiscountFactor[n]);
        }
        // Nuevo empties the record's folio before it asks for the server's date.
        if (step.name == "Nuevo") {
          EXPECT_EQ(ctx.client.q().get_Folio(), "");
        }
      }
      // Only what the calls before the disturbed one wrote is in the database.
      EXPECT_EQ(dump_database(installed.database()), prefix[at]);
      going_on = true;
      return true;
    });
    ctx.client.release();
  };

  size_t faults = 0, answers = 0;
  for (size_t k = 1; k <= calls.size(); ++k) {
    run_disturbed({k, std::nullopt, "Falla inyectada en la llamada " + std::to_string(k)});
    ++faults;
    if (::testing::Test::HasFatalFailure()) return;
  }
  for (size_t k = 1; k <= calls.size(); ++k) {
    const CallRecord& c = calls[k - 1];
    if (c.service != "cDatos") continue;
    if (c.operation == "Registrar_Documento" || c.operation == "Registrar_Seguimiento" ||
        c.operation.rfind("Existe_Producto_", 0) == 0) {
      run_disturbed({k, Variant(false), ""});
      ++answers;
    } else if (c.operation == "Obtener_Folio") {
      run_disturbed({k, Variant(std::string()), ""});
      ++answers;
    }
  }
  std::printf(
      "[ sweep    ] %s shape: %zu calls, %zu failing runs, %zu runs with a 'no' or an "
      "empty folio\n",
      object ? "object" : "record", calls.size(), faults, answers);
  RecordProperty("faults", static_cast<int>(faults));
  RecordProperty("answers", static_cast<int>(answers));
}

INSTANTIATE_TEST_SUITE_P(Shapes, FaultSweep, ::testing::Bool(), shape_name);

}  // namespace
}  // namespace quorlane::test
