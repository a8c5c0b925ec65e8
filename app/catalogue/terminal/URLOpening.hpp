#pragma once
// How the app opens addresses in the terminal: through the shared URL opener (the desktop's default
// program), telling the learner in plain words when nothing could be opened. The words name what the
// address leads to (the store page, the mail program, a web page), never the raw address, which for the
// store is long and means nothing on this system.
//
// Failure contract: none; the handler answers whether the address was handed over.
#include "platform/terminal/FrontEnd.hpp"

#include <functional>
#include <string>

// The notice for an address that could not be opened.
std::string couldNotOpenNotice(const std::string& url);

// The application's URL-opening handler for this front end.
std::function<bool(const std::string& url)> openURLThroughDesktop(term::FrontEnd& frontEnd);
