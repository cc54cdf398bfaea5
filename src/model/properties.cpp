#include "model/properties.h"

#include "frame/publico.h"

namespace quorlane {

Ref<cCtEncabezado> cCtEncabezado::create() {
  ensure_started();
  return Ref<cCtEncabezado>(new cCtEncabezado());
}

Ref<cCtDetalle> cCtDetalle::create() {
  ensure_started();
  return Ref<cCtDetalle>(new cCtDetalle());
}

}  // namespace quorlane
