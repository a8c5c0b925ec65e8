#pragma once
// The start of crash capture: the one place that knows every stage of the road.
//
// ZEVContextInitialize builds the crash context (ZEVContext.hpp), names the SDK log's file, installs
// the handlers (unless a tracer is attached) and writes the launch's metadata; it blocks for at most 5
// seconds, and ZEVContextIsInitialized may be false for a moment after it returns. A null start record
// does nothing.
#include "sdk/zevuzavidav/context/ZEVContext.hpp"

void ZEVContextInitialize(const ZEVContextInitData* data);
// Writes "metadata.zevrecord" into the report directory: identity, host, application and executable.
void ZEVContextRecordMetadata(const char* reportDirectory, const ZEVContextInitData* data);
