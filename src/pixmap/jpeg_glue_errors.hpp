// The silent error manager that decoding and encoding share: library errors
// jump back to the caller's setjmp instead of printing and exiting.
#pragma once

#include "jpeg_glue.hpp"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace zandrel::jpeg_io {

struct GlueError {
    jpeg_error_mgr manager; // first, so that cinfo->err leads back here
    jmp_buf jump;
};

// Jumps to the GlueError's setjmp.
[[noreturn]] void JumpOnError(j_common_ptr cinfo);

// Makes `error` the manager of cinfo: errors and damage warnings jump, the
// other messages are dropped.
void StartSilentErrors(GlueError& error, j_common_ptr cinfo);

} // namespace zandrel::jpeg_io
