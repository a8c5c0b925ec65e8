#pragma once
// The SDK log: a diagnostic text file ("sdk.log" in the launch's report folder) written with nothing
// but open and write, so crash handlers can use it.
//
// Formatting is deliberately tiny: %d (signed 32-bit), %u and %x (unsigned 32-bit), %p (64-bit as
// 0x...), %s (text, "(null)" for null). Any other conversion, length modifiers included, is written
// as its two characters and takes no argument. Nothing is written before the crash context exists;
// a failed open is retried on the next line. Each line (up to 512 bytes) reaches the file with one
// write, so lines of concurrent threads never mix.

// Appends one formatted message to the SDK log. Safe in signal handlers.
void ZEVSDKLog(const char* format, ...);
