// Pages that attack the shell, for its end-to-end tests (--hostile). Each
// reports what it managed to do by requesting /beacon?<what>, which the
// sample site logs like any request.
#pragma once

#include <httplib.h>

void ServeHostile(httplib::Server& server);
