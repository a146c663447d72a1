// Plain-function glue over libjpeg (API 62): a silent error manager and
// source and destination managers that move bytes through fread- and
// fwrite-shaped functions.
#pragma once

#include <cstddef>

namespace zandrel {

// Return the number of whole items moved, like fread and fwrite.
using JpegReadFn = size_t (*)(void* buffer, size_t size, size_t count, void* stream);
using JpegWriteFn = size_t (*)(const void* buffer, size_t size, size_t count, void* stream);

// Where decoded rows go. Asked once the output size is known; gives the
// address of the top row and the distance between rows, or null to refuse the
// image. Must not throw.
struct JpegTarget {
    void* context;
    unsigned char* (*rows)(void* context, int width, int height, int components, int* pitch);
};

// 0 on success, -1 on any library error, on damaged or truncated data and
// when the target refuses.
int JpegDecodeInto(void* stream, JpegReadFn read, const JpegTarget& target);

// Decodes into a block from malloc that the caller frees: width x height
// pixels of `components` bytes, top row first, rows not padded.
int JpegDecode(void* stream, JpegReadFn read, int* width, int* height, int* components,
               unsigned char** pixels);

// Three-byte RGB rows `pitch` bytes apart; quality 0-100. 0 on success, 1 on
// any library error, including a short write.
int JpegEncode(void* stream, JpegWriteFn write, int width, int height, int pitch,
               const unsigned char* pixels, int quality);

} // namespace zandrel
