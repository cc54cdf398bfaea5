// What the header and detail setters share.
#pragma once

#include <string>

#include "quorlane/variant.h"

namespace quorlane {

// The object setters need an object: a client that hands over Nothing gets a failed call.
inline void require_object(const void* object, const char* class_name) {
  if (!object)
    throw Failure(std::string("Se esperaba un objeto ") + class_name + " y se recibió Nothing");
}

}  // namespace quorlane
