// Growth: time per line on an empty database and on one holding many stored rows.
#include <strings.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "frame/publico.h"
#include "phases.h"
#include "quote_builder.h"

namespace quorlane::bench {

namespace {

// Server databases may fold the names of columns.
bool same_name(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Copies every row of Cotizacion, Cotizacion_Encabezado and Documento_Registro of a folio under
// another folio, in one statement per table.
class QuoteCopier {
 public:
  explicit QuoteCopier(db::Database& db) : db_(db) {
    line_ = copy_statement("Cotizacion", "Ct_Folio", "");
    header_ = copy_statement("Cotizacion_Encabezado", "Ct_Folio", "");
    registration_ = copy_statement("Documento_Registro", "Dr_Documento", "Dr_Registro");
  }
  void copy(const std::string& from, const std::string& to) {
    for (const std::string* sql : {&line_, &header_, &registration_})
      db_.run(*sql, {Variant(to), Variant(from)});
  }

 private:
  std::string copy_statement(const std::string& table, const std::string& folio_column,
                             const std::string& skip) {
    db::Rows none = db_.run("SELECT * FROM " + table + " WHERE 1 = 0");
    std::string columns, values;
    for (const std::string& c : none.columns) {
      if (same_name(c, skip)) continue;
      if (!columns.empty()) {
        columns += ", ";
        values += ", ";
      }
      columns += c;
      values += same_name(c, folio_column) ? std::string("?") : c;
    }
    return "INSERT INTO " + table + " (" + columns + ") SELECT " + values + " FROM " + table +
           " WHERE " + folio_column + " = ?";
  }

  db::Database& db_;
  std::string line_, header_, registration_;
};

// Stores `o.prefill_rows` rows: quotes built through the component on this thread, then copied
// again and again under the next folios of the series, as if the component had built them, in
// one transaction.
void prefill(const Options& o, Site& site) {
  install_thread_host_factory(site.host().factory());
  reset_thread_state();
  std::vector<std::string> templates;
  {
    QuoteBuilder builder(Shape::Record, o.lines_per_quote);
    build_lines(builder, o.growth_lines);
    templates = builder.folios();
  }
  reset_thread_state();
  install_thread_host_factory(nullptr);

  db::Database& db = site.database();
  Clock::time_point start = Clock::now();
  QuoteCopier copier(db);
  const long copies_needed = o.prefill_rows / o.growth_lines - 1;
  db.Execute("BEGIN", -1);
  db::Rows series = db.run(
      "SELECT Fo_Prefijo, Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = 'S1' AND "
      "Fo_Tipo_Documento = 'COTIZACION'");
  std::string prefix = series.first(0).to_text();
  long last = static_cast<long>(series.first(1).to_double());
  for (long c = 0; c < copies_needed; ++c) {
    for (const std::string& from : templates) {
      std::string number = std::to_string(++last);
      if (number.size() < 10) number.insert(0, 10 - number.size(), '0');
      copier.copy(from, prefix + number);
    }
  }
  db.run(
      "UPDATE Folio SET Fo_Ultimo = ? WHERE Sc_Cve_Sucursal = 'S1' AND "
      "Fo_Tipo_Documento = 'COTIZACION'",
      {Variant(static_cast<double>(last))});
  db.Execute("COMMIT", -1);
  site.checkpoint();
  long stored = static_cast<long>(db.run("SELECT COUNT(*) FROM Cotizacion").first().to_double());
  progress("prefill: " + std::to_string(stored) + " rows in " +
           std::to_string(seconds_since(start)) + " s");
}

// Whose turn it is, between two threads that must never run at once.
class Turns {
 public:
  explicit Turns(int first) : turn_(first) {}

  // False once the other thread has given up.
  bool wait_for(int who) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == who || abandoned_; });
    return !abandoned_;
  }
  void pass(int next) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      turn_ = next;
    }
    changed_.notify_all();
  }
  void abandon() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int turn_;
  bool abandoned_ = false;
};

constexpr long kGrowthTurn = 100;  // lines of each database in turn

}  // namespace

json growth_phase(const Options& o, const WorkDir& dir, Samples& empty_us, Samples& full_us,
                  Samples& empty_cpu_us, Samples& full_cpu_us, Samples& statements) {
  for (int r = 0; r < o.repeat; ++r) {
    progress("growth, run " + std::to_string(r + 1));
    Site empty_site(o, dir, "empty", nullptr, Site::FloorOnly);
    Site stored_site(o, dir, "stored", nullptr, Site::FloorOnly);
    prefill(o, stored_site);
    empty_site.checkpoint();

    // Two threads, each with the component on one of the databases, build their lines in turns
    // of 100, so that on a busy machine both meet the same load; only one runs at a time.
    Site* sites[2] = {&empty_site, &stored_site};
    Timing timings[2];
    uint64_t sent[2] = {0, 0};
    std::string failures[2];
    Turns turns(r % 2);  // each database goes first in every other run
    auto build = [&](int who) {
      try {
        install_thread_host_factory(sites[who]->host().factory());
        create_Cotizacion();  // start-up and the connection, before the clock runs
        QuoteBuilder builder(Shape::Record, o.lines_per_quote);
        for (long done = 0; done < o.growth_lines; done += kGrowthTurn) {
          if (!turns.wait_for(who)) return;
          const uint64_t before = sites[who]->statements();
          const Timing t = build_lines(builder, std::min(kGrowthTurn, o.growth_lines - done));
          sent[who] += sites[who]->statements() - before;
          timings[who].wall += t.wall;
          timings[who].cpu += t.cpu;
          turns.pass(1 - who);
        }
      } catch (const std::exception& e) {
        failures[who] = e.what();
        turns.abandon();
      }
    };
    std::thread empty_thread(build, 0), stored_thread(build, 1);
    empty_thread.join();
    stored_thread.join();
    for (const std::string& f : failures)
      if (!f.empty()) give_up(f);

    const double n = static_cast<double>(o.growth_lines);
    empty_us.add(timings[0].wall * 1e6 / n);
    full_us.add(timings[1].wall * 1e6 / n);
    empty_cpu_us.add(timings[0].cpu * 1e6 / n);
    full_cpu_us.add(timings[1].cpu * 1e6 / n);
    statements.add(static_cast<double>(sent[0] + sent[1]) / (2 * n));
  }
  Samples ratio, cpu_ratio;
  for (size_t i = 0; i < empty_us.values.size(); ++i) {
    ratio.add(full_us.values[i] / empty_us.values[i]);
    cpu_ratio.add(full_cpu_us.values[i] / empty_cpu_us.values[i]);
  }
  return json{{"lines", o.growth_lines},
              {"stored_rows_before", o.prefill_rows},
              {"empty_us_per_line", empty_us.to_json()},
              {"stored_us_per_line", full_us.to_json()},
              {"ratio_stored_over_empty", ratio.to_json()},
              {"empty_cpu_us_per_line", empty_cpu_us.to_json()},
              {"stored_cpu_us_per_line", full_cpu_us.to_json()},
              {"cpu_ratio_stored_over_empty", cpu_ratio.to_json()},
              {"statements_per_line", statements.to_json()}};
}

}  // namespace quorlane::bench
