#pragma once
// Compresses a whole event log into a gzip stream (RFC 1952) with zlib's deflate: default level, a 32 KB
// window with the gzip wrapper (window bits 31), memory level 4, default strategy. The input is read and
// the output written in fixed chunks, so memory stays small whatever the file's size; each chunk is
// deflated until zlib has taken all of it, so input that compresses poorly (or not at all) still
// packages.
//
// Failure contract: answers 0 on success and -1 on any failure (a read or write error, a short write,
// zlib refusing), without a message; the caller opens and closes both descriptors and decides what a
// failure means. The output holds a partial stream after a failure.
int ZEVAnalyticsCompressFile(int inputFileDescriptor, int outputFileDescriptor);
