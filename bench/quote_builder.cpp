#include "quote_builder.h"

#include "frame/publico.h"

namespace quorlane::bench {

const char* shape_name(Shape s) { return s == Shape::Record ? "record" : "object"; }

LineInput line_input(long n) {
  switch (n % 4) {
    case 0:
      return {"P1", "PZA", static_cast<double>(n % 9 + 1), 3.5};
    case 1:
      return {"P2", "M", 2.5 + static_cast<double>(n % 4), 18.9};
    case 2:
      return {"P5", "CAJ", static_cast<double>(n % 3 + 1), 210};
    default:
      return {"P6", "PZA", 1, 350};
  }
}

namespace {

const Date kQuoteDate = make_date(2025, 6, 2);

}  // namespace

void QuoteBuilder::add_line() {
  if (!quote_ || in_quote_ == per_quote_) begin_quote();
  const LineInput in = line_input(count_);
  const std::string partida = std::to_string(in_quote_ + 1);
  bool admitted;
  if (shape_ == Shape::Record) {
    tCtDetalle d;
    d.Ct_Partida = partida;
    d.Producto.Pr_Cve_Producto = in.product;
    d.Ct_Cantidad_1 = in.quantity;
    d.Ct_Unidad_1 = in.unit;
    d.Ct_Precio_Lista = in.price;
    d.Ct_Descuento_Factor = 0.1;
    d.Ct_Concepto = "Partida " + partida;
    quote_->put_Detalle(d);
    admitted = quote_->Add_Cotizacion_Detalle();
  } else {
    Ref<_cCtDetalle> d = create_cCtDetalle();
    d->put_Ct_Partida(partida);
    d->put_Pr_Cve_Producto(in.product);
    d->put_Ct_Cantidad_1(in.quantity);
    d->put_Ct_Unidad_1(in.unit);
    d->put_Ct_Precio_Lista(in.price);
    d->put_Ct_Descuento_Factor(0.1);
    d->put_Ct_Concepto("Partida " + partida);
    quote_->putref_Detalle2(d.get());
    admitted = quote_->Add_Cotizacion_Detalle2();
  }
  if (!admitted) give_up("line refused: " + quote_->get_Error());
  if (in_quote_ == 0) folios_.push_back(folio());
  ++in_quote_;
  ++count_;
}

void QuoteBuilder::begin_quote() {
  quote_ = create_Cotizacion();
  in_quote_ = 0;
  if (shape_ == Shape::Record) {
    tCtEncabezado h;
    h.Ct_Fecha = kQuoteDate;
    h.Ct_Referencia = "BENCH";
    h.Ct_Atencion = "Compras";
    h.Ct_Comentario = "Cotización de la prueba de rendimiento";
    h.Ct_Condicion_Venta = "CON";
    h.Mn_Cve_Moneda = "MXN";
    h.Ct_Tipo_Cambio = 1;
    h.Ct_Descuento_Global_Factor = 0.05;
    h.Sucursal.Sc_Cve_Sucursal = "S1";
    h.Almacen.Sc_Cve_Sucursal = "S1";
    h.Almacen.Al_Cve_Almacen = "A1";
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    quote_->put_Encabezado(h);
  } else {
    Ref<_cCtEncabezado> h = create_cCtEncabezado();
    h->put_Ct_Fecha(kQuoteDate);
    h->put_Ct_Referencia("BENCH");
    h->put_Ct_Atencion("Compras");
    h->put_Ct_Comentario("Cotización de la prueba de rendimiento");
    h->put_Ct_Condicion_Venta("CON");
    h->put_Mn_Cve_Moneda("MXN");
    h->put_Ct_Tipo_Cambio(1);
    h->put_Ct_Descuento_Global_Factor(0.05);
    h->put_Sc_Cve_Sucursal("S1");
    h->put_Al_Cve_Almacen("A1");
    h->put_Cl_Cve_Cliente("C1");
    h->put_Vn_Cve_Vendedor("V1");
    quote_->putref_Encabezado2(h.get());
  }
}

Timing build_lines(QuoteBuilder& builder, long lines) {
  Stopwatch watch;
  for (long i = 0; i < lines; ++i) builder.add_line();
  return watch.elapsed();
}

}  // namespace quorlane::bench
