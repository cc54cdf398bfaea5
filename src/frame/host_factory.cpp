#include "frame/host_factory.h"

#include <mutex>

namespace quorlane {

namespace {
std::mutex g_mutex;
std::shared_ptr<HostFactory> g_factory;  // process-wide, installed by the program
thread_local std::shared_ptr<HostFactory> t_factory;
std::shared_ptr<HostFactory> (*g_make_default)() = nullptr;
}  // namespace

void set_default_host_factory(std::shared_ptr<HostFactory> (*make)()) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_make_default = make;
}

void install_host_factory(std::shared_ptr<HostFactory> factory) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_factory = std::move(factory);
}

void install_thread_host_factory(std::shared_ptr<HostFactory> factory) {
  t_factory = std::move(factory);
}

std::shared_ptr<HostFactory> current_host_factory() {
  if (t_factory) return t_factory;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_factory && g_make_default) g_factory = g_make_default();
  if (!g_factory) throw Failure("No hay un anfitrión instalado");
  return g_factory;
}

}  // namespace quorlane
