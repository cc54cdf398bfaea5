#include "db/dialect.h"

#include <gtest/gtest.h>

namespace quorlane::db {
namespace {

// The totals query of quote finalisation, piece by piece as the component builds it.
std::string totals_query(const std::string& function, const std::string& folio) {
  return "SELECT " +
         ("   " + function + "(SUM(Ct_Precio_Lista_Importe),0) as Ct_Precio_Lista_Importe, ") +
         ("   " + function + "(SUM(Ct_Descuento_Importe),0) as Ct_Descuento_Importe,") +
         ("   " + function + "(SUM(Ct_Impuesto_Importe),0) as Ct_Impuesto_Importe,") +
         ("   " + function +
          "(SUM(Ct_Precio_Descontado_Importe),0) as Ct_Precio_Descontado_Importe, ") +
         ("   " + function +
          "(SUM(Ct_Descuento_Global_Importe),0) as Ct_Descuento_Global_Importe ") +
         "FROM Cotizacion " + "WHERE Ct_Folio = '" + folio + "' ";
}

// SQLite and PostgreSQL get DELETE without FROM and the two-argument ISNULL rewritten, and
// nothing else; SQL Server gets every text unchanged. (That the component's own statements need
// nothing else, the statement forms of a whole quote's life show.)
TEST(Dialect, OnlyDeleteWithoutFromAndTwoArgumentIsnullAreRewritten) {
  const std::pair<std::string, std::string> rewritten[] = {
      {totals_query("ISNULL", "A0000000001"), totals_query("COALESCE", "A0000000001")},
      {"DELETE Cotizacion WHERE Ct_Folio = 'A0000000001'",
       "DELETE FROM Cotizacion WHERE Ct_Folio = 'A0000000001'"},
      // Keywords in any letter case; only at the start of a statement, a comment before it
      // keeping it there.
      {"delete cotizacion where ct_folio = 'x'", "delete FROM cotizacion where ct_folio = 'x'"},
      {"SELECT 1; DELETE t WHERE c = 1", "SELECT 1; DELETE FROM t WHERE c = 1"},
      {"/* baja */ DELETE t WHERE c = 1", "/* baja */ DELETE FROM t WHERE c = 1"},
      {"SELECT isnull(a, 0), IsNull(b,1), ISNULL (c , 2) FROM t",
       "SELECT COALESCE(a, 0), COALESCE(b,1), COALESCE (c , 2) FROM t"},
      {"SELECT ISNULL(ISNULL(a, b), f(c, d)) FROM t",
       "SELECT COALESCE(COALESCE(a, b), f(c, d)) FROM t"},
      // Literals stay as written, doubled apostrophes and all, and commas and parentheses
      // inside a literal argument do not count.
      {"SELECT 'It''s ISNULL(a, b)', ISNULL(x, '''') FROM t",
       "SELECT 'It''s ISNULL(a, b)', COALESCE(x, '''') FROM t"},
      {"SELECT '''',ISNULL(x,0)", "SELECT '''',COALESCE(x,0)"},
      {"SELECT ISNULL(a, ',)(,') FROM t", "SELECT COALESCE(a, ',)(,') FROM t"},
      {"SELECT ISNULL(a, 'x') || ', ISNULL(b, c)' FROM t",
       "SELECT COALESCE(a, 'x') || ', ISNULL(b, c)' FROM t"}};
  const std::string unchanged[] = {
      // A DELETE that has FROM; DELETE only as part of another word.
      "DELETE FROM Cotizacion WHERE Ct_ID = '0001'", "Delete From Cotizacion",
      "UPDATE t SET DELETED = 1 WHERE c = 2", "UPDATE t SET c = 1 WHERE DELETE_X = 2",
      // Not two arguments, not the word itself, or the postfix operator.
      "SELECT ISNULL(a) FROM t", "SELECT ISNULL(a, b, c) FROM t", "SELECT ISNULL(f(a, b)) FROM t",
      "SELECT MYISNULL(a, b) FROM t", "SELECT ISNULL_2(a, b) FROM t",
      "SELECT a FROM t WHERE a ISNULL", "SELECT t.ISNULLX FROM t",
      // Inside literals, comments and quoted names.
      "INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Comentario) VALUES ('DELETE x WHERE y', "
      "'O''Brien dijo: ''ISNULL(a, b)'' y DELETE Cotizacion WHERE 1') ",
      "-- ISNULL(a, b)\nSELECT 1", "/* DELETE t WHERE x */ SELECT 1",
      "SELECT \"ISNULL(a, b)\" FROM t", "SELECT [ISNULL(a, b)] FROM t",
      "SELECT 'unterminated ISNULL(a, b)"};
  for (Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
    for (const auto& [sql, adapted] : rewritten) EXPECT_EQ(adapt_statement(engine, sql), adapted);
    for (const std::string& sql : unchanged) {
      EXPECT_FALSE(adapted_statement(engine, sql).has_value()) << sql;
      EXPECT_EQ(adapt_statement(engine, sql), sql);
    }
  }
  for (const auto& [sql, adapted] : rewritten) {
    EXPECT_FALSE(adapted_statement(Engine::SqlServer, sql, Collation::Utf8).has_value()) << sql;
    EXPECT_EQ(adapt_statement(Engine::SqlServer, sql, Collation::Utf8), sql);
  }
}

// On SQL Server every text literal goes as N'...', its inside untouched, unless the database's
// collation is a UTF-8 one; nothing else of the text changes.
TEST(Dialect, SqlServerGetsNationalLiteralsUnlessItsCollationIsUtf8) {
  const std::pair<std::string, std::string> rewritten[] = {
      {"INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Comentario) VALUES ('A1', "
       "'Señora Müller — 日本語 Ωμέγα, O''Brien: ''ISNULL(a, b)''')",
       "INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Comentario) VALUES (N'A1', "
       "N'Señora Müller — 日本語 Ωμέγα, O''Brien: ''ISNULL(a, b)''')"},
      // Already national (either case) stays; a word ending in N is no prefix.
      {"SELECT N'a', n'b', 'c', '' FROM t WHERE IN_N = 'N'",
       "SELECT N'a', n'b', N'c', N'' FROM t WHERE IN_N = N'N'"},
      {"SELECT CASE WHEN a = 1 THEN'x' ELSE'y' END, @N'z'",
       "SELECT CASE WHEN a = 1 THEN N'x' ELSE N'y' END, @N N'z'"},
      // Comments and quoted names are no literals, whatever apostrophes they hold.
      {"-- 'nota'\nSELECT [it's], \"o'k\" /* 'x' */ FROM t WHERE c = 'd'",
       "-- 'nota'\nSELECT [it's], \"o'k\" /* 'x' */ FROM t WHERE c = N'd'"},
      {"DELETE Cotizacion WHERE Ct_Folio = 'A1'; SELECT 'unterminated",
       "DELETE Cotizacion WHERE Ct_Folio = N'A1'; SELECT N'unterminated"}};
  const std::string unchanged[] = {"SELECT ISNULL(a, 0) FROM t", "SELECT N'ya', [a'b] FROM t",
                                   "-- 'x'\nSELECT 1"};
  for (const auto& [sql, national] : rewritten) {
    EXPECT_EQ(adapt_statement(Engine::SqlServer, sql), national);
    EXPECT_EQ(adapt_statement(Engine::SqlServer, national), national);
    EXPECT_FALSE(adapted_statement(Engine::SqlServer, sql, Collation::Utf8).has_value());
  }
  for (const std::string& sql : unchanged)
    EXPECT_FALSE(adapted_statement(Engine::SqlServer, sql).has_value()) << sql;

  EXPECT_EQ(collation_named("Latin1_General_100_CI_AS_SC_UTF8"), Collation::Utf8);
  EXPECT_EQ(collation_named("latin1_general_100_ci_as_sc_utf8"), Collation::Utf8);
  EXPECT_EQ(collation_named("SQL_Latin1_General_CP1_CI_AS"), Collation::CodePage);
  EXPECT_EQ(collation_named("UTF8"), Collation::CodePage);
  EXPECT_EQ(collation_named(""), Collation::CodePage);
}

// The names PostgreSQL reports for the result of `sql`, spelt back.
std::vector<std::string> unfolded(std::string_view sql, std::vector<std::string> reported,
                                  const DeclaredNames* declared) {
  unfold_column_names(sql, reported, declared);
  return reported;
}

using Names = std::vector<std::string>;

TEST(ColumnNames, FoldedNamesGetTheAliasAsWrittenElseTheDeclaredSpellingElseTheWrittenOne) {
  const DeclaredNames declared{{"ct_folio", "Ct_Folio"}, {"ct_id", "Ct_ID"}, {"nota", "Nota"}};
  // The totals query of finalisation: every column is an alias.
  EXPECT_EQ(unfolded(totals_query("COALESCE", "A1"),
                     {"ct_precio_lista_importe", "ct_descuento_importe", "ct_impuesto_importe",
                      "ct_precio_descontado_importe", "ct_descuento_global_importe"},
                     &declared),
            (Names{"Ct_Precio_Lista_Importe", "Ct_Descuento_Importe", "Ct_Impuesto_Importe",
                   "Ct_Precio_Descontado_Importe", "Ct_Descuento_Global_Importe"}));
  // A column written in another case than declared, SELECT * and a table the map does not know.
  EXPECT_EQ(unfolded("SELECT ct_folio, CT_ID FROM Cotizacion", {"ct_folio", "ct_id"}, &declared),
            (Names{"Ct_Folio", "Ct_ID"}));
  EXPECT_EQ(unfolded("SELECT * FROM Cotizacion", {"ct_folio", "ct_id"}, &declared),
            (Names{"Ct_Folio", "Ct_ID"}));
  EXPECT_EQ(unfolded("SELECT Mi_Columna FROM Mia", {"mi_columna"}, &declared),
            (Names{"Mi_Columna"}));
  EXPECT_EQ(unfolded("SELECT Mi_Columna FROM Mia", {"mi_columna"}, nullptr), (Names{"Mi_Columna"}));
  // The alias wins over the declared spelling, as it does on the other engines; lower-case
  // aliases, quoted aliases and names with a capital stay as they are.
  EXPECT_EQ(unfolded("SELECT COUNT(*) AS NOTA, Ct_Folio as n, x AS \"ct_id\", Y FROM t",
                     {"nota", "n", "ct_id", "Y"}, &declared),
            (Names{"NOTA", "n", "ct_id", "Y"}));
  // A comment between AS and its alias; an alias taken from no literal or comment.
  EXPECT_EQ(
      unfolded("SELECT 1 AS /* uno */ Uno, 'AS Dos' AS x -- AS Tres\n", {"uno", "x"}, nullptr),
      (Names{"Uno", "x"}));
  EXPECT_EQ(unfolded("SELECT 'Nota' AS valor /* Valor */", {"valor", "?column?"}, nullptr),
            (Names{"valor", "?column?"}));
  // Only ASCII letters are folded by the server: no other name is taken for the reported one.
  EXPECT_EQ(unfolded("SELECT Año FROM t", {"año"}, nullptr), (Names{"Año"}));
  EXPECT_EQ(unfolded("SELECT AÑO FROM t", {"año"}, nullptr), (Names{"año"}));
}

}  // namespace
}  // namespace quorlane::db
