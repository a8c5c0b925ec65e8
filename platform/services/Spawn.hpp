#pragma once
// Starting a desktop helper program (xdg-open, xdg-email) the safe way: looked up on PATH first, started
// by posix_spawn with its arguments as they are (no shell ever reads them), its standard streams on
// /dev/null so its chatter cannot scribble over the terminal front end, and reaped in the background.
//
// Failure contract: findOnPath answers "" when the program is not there; spawnDetached answers false
// when the program is missing, an argument holds a NUL byte, or the process cannot be started. Neither
// waits for the program to finish.
#include <string>
#include <string_view>
#include <vector>

namespace svc {

// The program's full path as execvp would find it (the default search path when PATH is unset).
std::string findOnPath(std::string_view program);

// Starts `program` (looked up on PATH) with `arguments` (argv[1...]).
bool spawnDetached(std::string_view program, const std::vector<std::string>& arguments);

} // namespace svc
