// Threads: lines per second with one thread and with two, each on its own connection.
#include <barrier>
#include <thread>
#include <vector>

#include "frame/publico.h"
#include "phases.h"
#include "quote_builder.h"

namespace quorlane::bench {

ThreadsRun threads_rate(const Options& o, const WorkDir& dir, int threads) {
  Site site(o, dir, "threads");
  site.checkpoint();
  std::barrier start_line(threads + 1);
  std::vector<std::string> failures(static_cast<size_t>(threads));
  std::vector<uint64_t> sent(static_cast<size_t>(threads), 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      try {
        // Start-up and the connection are the thread's own, before the clock runs.
        create_Cotizacion();
        QuoteBuilder builder(Shape::Record, o.lines_per_quote);
        const uint64_t before = site.statements();
        start_line.arrive_and_wait();
        for (long i = 0; i < o.thread_lines; ++i) builder.add_line();
        sent[static_cast<size_t>(t)] = site.statements() - before;
      } catch (const std::exception& e) {
        failures[static_cast<size_t>(t)] = e.what();
      }
    });
  }
  start_line.arrive_and_wait();
  Clock::time_point start = Clock::now();
  const double cpu_start = process_cpu_seconds();
  for (std::thread& w : workers) w.join();
  double elapsed = seconds_since(start);
  const double cpu = process_cpu_seconds() - cpu_start;
  for (const std::string& f : failures)
    if (!f.empty()) give_up("thread: " + f);
  const double lines = static_cast<double>(o.thread_lines * threads);
  uint64_t statements = 0;
  for (uint64_t n : sent) statements += n;
  return {lines / elapsed, static_cast<double>(statements) / lines, cpu / elapsed,
          cpu * 1e6 / lines};
}

json threads_phase(const Options& o, const WorkDir& dir, Samples& one, Samples& two,
                   Samples& speedup, Samples cores[2], Samples cpu_per_line[2],
                   Samples statements[2]) {
  for (int r = 0; r < o.repeat; ++r) {
    progress("threads, run " + std::to_string(r + 1));
    ThreadsRun a = threads_rate(o, dir, 1);
    ThreadsRun b = threads_rate(o, dir, 2);
    one.add(a.lines_per_s);
    two.add(b.lines_per_s);
    speedup.add(b.lines_per_s / a.lines_per_s);
    cores[0].add(a.cores_used);
    cores[1].add(b.cores_used);
    cpu_per_line[0].add(a.cpu_us_per_line);
    cpu_per_line[1].add(b.cpu_us_per_line);
    statements[0].add(a.statements_per_line);
    statements[1].add(b.statements_per_line);
  }
  return json{{"lines_per_thread", o.thread_lines},
              {"one_thread_lines_per_s", one.to_json()},
              {"two_threads_lines_per_s", two.to_json()},
              {"speedup", speedup.to_json()},
              {"one_thread_cores_used", cores[0].to_json()},
              {"two_threads_cores_used", cores[1].to_json()},
              {"one_thread_cpu_us_per_line", cpu_per_line[0].to_json()},
              {"two_threads_cpu_us_per_line", cpu_per_line[1].to_json()},
              {"one_thread_statements_per_line", statements[0].to_json()},
              {"two_threads_statements_per_line", statements[1].to_json()}};
}

}  // namespace quorlane::bench
