/// @file
/// The modern interface of ltpadmin: `ltp::Client`, `ltp::Pool`, `ltp::Pipeline`, the value types,
/// their field reflection, the errors and the date helpers. Everything lives in namespace `ltp`;
/// nothing of the Windows-shaped interface is included, so this header mixes with any other code.
///
/// @code
/// ltp::Options options;
/// options.host = "127.0.0.1";
/// options.user = "admin";
/// options.password = "secret";
/// ltp::Client client(options);
/// for (const ltp::User& user : client.users())
///     std::cout << user.user_id << '\n';
/// @endcode
#pragma once

#include <ltpadmin/ltp/client.h>
#include <ltpadmin/ltp/dates.h>
#include <ltpadmin/ltp/errors.h>
#include <ltpadmin/ltp/fields.h>
#include <ltpadmin/ltp/options.h>
#include <ltpadmin/ltp/pipeline.h>
#include <ltpadmin/ltp/pool.h>
#include <ltpadmin/ltp/values.h>
#include <ltpadmin/ltp/wire.h>
