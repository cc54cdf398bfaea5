// Quorlane: builds and manages sales quotes ("cotizaciones").
// Include this header, link Quorlane::quorlane, create a Cotizacion and drive it.
#pragma once

#include "quorlane/com.h"
#include "quorlane/host.h"
#include "quorlane/interfaces.h"
#include "quorlane/records.h"
#include "quorlane/variant.h"
