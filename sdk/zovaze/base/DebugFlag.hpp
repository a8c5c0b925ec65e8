#pragma once
// The SDK's debug flag, as the networking code reads it: false at start, switched by the
// crash-reporting kit. It lives here, apart from the Zovaze singleton, so that the network layer can
// be used and tested without starting the SDK; the singleton's debug accessors read and write this
// same flag.
//
// Failure contract: none; safe from any thread (a reader sees the old or the new value).

namespace zovaze {

bool debugFlag();
void setDebugFlag(bool on);

} // namespace zovaze
