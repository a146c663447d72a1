#include "jpeg_glue_errors.hpp"

#include <zandrel/pixmap.hpp>

#include <cstdio>
#include <cstdlib>

#include <jerror.h>

namespace zandrel {

using namespace jpeg_io;

namespace {

constexpr size_t bufferSize = 4096;
// Beyond this a progressive file is taken for damaged: each scan decodes the
// whole image again.
constexpr int maxScans = 500;

// Warnings that mean the pixels are damaged or missing. The library would
// carry on and fill the rest with grey; an image that cannot be decoded whole
// is refused instead. Oddities that other decoders show without complaint
// (stray bytes between markers, unusual scan parameters) stay silent.
bool MeansDamage(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        return true;
    default:
        return false;
    }
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && MeansDamage(cinfo->err->msg_code)) JumpOnError(cinfo);
}

void OutputNothing(j_common_ptr) {}

void FormatNothing(j_common_ptr, char* buffer) {
    buffer[0] = '\0';
}

void CheckScanCount(j_common_ptr cinfo) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > maxScans) JumpOnError(cinfo);
}

struct StreamSource {
    jpeg_source_mgr manager; // first, so that cinfo->src leads back here
    void* stream;
    JpegReadFn read;
    bool startOfFile;
    JOCTET buffer[bufferSize];
};

StreamSource& SourceOf(j_decompress_ptr cinfo) {
    return *reinterpret_cast<StreamSource*>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo) {
    SourceOf(cinfo).startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto& source = SourceOf(cinfo);
    size_t n = source.read(source.buffer, 1, bufferSize, source.stream);
    if (n == 0) {
        if (source.startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source.buffer[0] = 0xFF;
        source.buffer[1] = JPEG_EOI;
        n = 2;
    }
    source.manager.next_input_byte = source.buffer;
    source.manager.bytes_in_buffer = n;
    source.startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto& manager = SourceOf(cinfo).manager;
    if (count <= 0) return;
    while (count > static_cast<long>(manager.bytes_in_buffer)) {
        count -= static_cast<long>(manager.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void UseStreamSource(j_decompress_ptr cinfo, StreamSource& source, void* stream, JpegReadFn read) {
    source.stream = stream;
    source.read = read;
    source.manager.init_source = InitSource;
    source.manager.fill_input_buffer = FillInputBuffer;
    source.manager.skip_input_data = SkipInputData;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = TermSource;
    source.manager.bytes_in_buffer = 0;
    source.manager.next_input_byte = nullptr;
    cinfo->src = &source.manager;
}

struct Decoder {
    jpeg_decompress_struct cinfo;
    GlueError error;
    StreamSource source;
    jpeg_progress_mgr progress;
};

// Holds no object with a destructor: library errors leave it by longjmp.
int DecodeWithJump(Decoder& d, void* stream, JpegReadFn read, const JpegTarget& target) {
    j_decompress_ptr cinfo = &d.cinfo;
    StartSilentErrors(d.error, reinterpret_cast<j_common_ptr>(cinfo));
    if (setjmp(d.error.jump)) {
        jpeg_destroy_decompress(cinfo);
        return -1;
    }
    jpeg_create_decompress(cinfo);
    UseStreamSource(cinfo, d.source, stream, read);
    d.progress.progress_monitor = CheckScanCount;
    cinfo->progress = &d.progress;
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK)
        JumpOnError(reinterpret_cast<j_common_ptr>(cinfo));
    // The size is known before the library allocates for the whole image.
    jpeg_calc_output_dimensions(cinfo);
    int pitch = 0;
    unsigned char* top =
        target.rows(target.context, static_cast<int>(cinfo->output_width),
                    static_cast<int>(cinfo->output_height), cinfo->output_components, &pitch);
    if (!top) JumpOnError(reinterpret_cast<j_common_ptr>(cinfo));
    cinfo->mem->max_memory_to_use = static_cast<long>(MaxPixmapBytes) * 2;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = top + static_cast<ptrdiff_t>(cinfo->output_scanline) * pitch;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 0;
}

struct MallocTarget {
    int width = 0, height = 0, components = 0;
    unsigned char* pixels = nullptr;
};

unsigned char* MallocRows(void* context, int width, int height, int components, int* pitch) {
    auto& t = *static_cast<MallocTarget*>(context);
    int64_t bytes = int64_t{width} * height * components;
    if (width <= 0 || height <= 0 || bytes > MaxPixmapBytes) return nullptr;
    t.pixels = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
    t.width = width;
    t.height = height;
    t.components = components;
    *pitch = width * components;
    return t.pixels;
}

} // namespace

int JpegDecodeInto(void* stream, JpegReadFn read, const JpegTarget& target) {
    auto* d = static_cast<Decoder*>(std::calloc(1, sizeof(Decoder)));
    if (!d) return -1;
    int result = DecodeWithJump(*d, stream, read, target);
    std::free(d);
    return result;
}

int JpegDecode(void* stream, JpegReadFn read, int* width, int* height, int* components,
               unsigned char** pixels) {
    MallocTarget t;
    int result = JpegDecodeInto(stream, read, {&t, MallocRows});
    if (result != 0) {
        std::free(t.pixels);
        return result;
    }
    *width = t.width;
    *height = t.height;
    *components = t.components;
    *pixels = t.pixels;
    return 0;
}

namespace jpeg_io {

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<GlueError*>(cinfo->err)->jump, 1);
}

void StartSilentErrors(GlueError& error, j_common_ptr cinfo) {
    cinfo->err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpOnError;
    error.manager.emit_message = EmitMessage;
    error.manager.output_message = OutputNothing;
    error.manager.format_message = FormatNothing;
}

} // namespace jpeg_io

} // namespace zandrel
