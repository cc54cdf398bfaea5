// What the five service components of the standard host share: the factories of each, and the
// helpers more than one of them uses.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "host/sql/standard_host.h"

namespace quorlane {

std::shared_ptr<cSistema> make_sql_sistema(std::shared_ptr<StandardHost> host);
std::shared_ptr<cDatos> make_sql_datos(std::shared_ptr<StandardHost> host);
std::shared_ptr<cInventario> make_sql_inventario(std::shared_ptr<StandardHost> host);
std::shared_ptr<cImpuestos> make_sql_impuestos(std::shared_ptr<StandardHost> host);
std::shared_ptr<cPromociones> make_sql_promociones(std::shared_ptr<StandardHost> host);

// The name of the user this process runs as.
std::string login_name();

// A catalogue query of the component's routine call now running, on this thread's connection.
db::Rows catalogue(db::Database& database, const std::string& sql,
                   const std::vector<Variant>& params,
                   std::initializer_list<std::string_view> tables);

bool is_yes(const Variant& value);

double number_or_zero(const Variant& value);

std::string text_or_empty(const Variant& value);

}  // namespace quorlane
