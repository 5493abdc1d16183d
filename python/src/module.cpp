// The compiled part of the ltpadmin package; the package's __init__ names what is public.
#include "client.h"
#include "dates.h"
#include "errors.h"
#include "pool.h"
#include "records.h"

#include <pybind11/pybind11.h>

PYBIND11_MODULE(_ltpadmin, m) {
    m.doc() = "ltp::Client for Python";
    ltpy::init_dates();
    ltpy::register_errors(m);
    ltpy::bind_records(m);
    ltpy::bind_client(m);
    ltpy::bind_pool(m);
}
