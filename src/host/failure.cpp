#include "host/failure.h"

#include <exception>

namespace quorlane {

std::string current_failure_description() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Error desconocido";
  }
}

}  // namespace quorlane
