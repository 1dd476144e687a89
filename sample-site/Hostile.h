// Pages that attack the shell, for its end-to-end tests (--hostile). Each
// reports what it managed to do by requesting /beacon?<what>, which the
// sample site logs like any request.
#pragma once

#include <httplib.h>

void ServeHostile(httplib::Server& server);

// A page of the given title, body and script, with beacon(what) defined.
std::string HostilePage(const std::string& title, const std::string& body,
                        const std::string& script);
void Html(httplib::Response& res, const std::string& html);

// Pages that print (Printing.cpp): a record with print styles, printed on
// its load as often as asked, in a loop, or from a frame of another origin.
void ServePrinting(httplib::Server& server);
