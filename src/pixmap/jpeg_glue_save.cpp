#include "jpeg_glue_errors.hpp"

#include <cstdlib>

#include <jerror.h>

namespace zandrel {

using namespace jpeg_io;

namespace {

constexpr size_t bufferSize = 4096;

struct StreamDestination {
    jpeg_destination_mgr manager; // first, so that cinfo->dest leads back here
    void* stream;
    JpegWriteFn write;
    JOCTET buffer[bufferSize];
};

StreamDestination& DestinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<StreamDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo) {
    auto& destination = DestinationOf(cinfo);
    destination.manager.next_output_byte = destination.buffer;
    destination.manager.free_in_buffer = bufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto& destination = DestinationOf(cinfo);
    if (destination.write(destination.buffer, 1, bufferSize, destination.stream) != bufferSize)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto& destination = DestinationOf(cinfo);
    size_t used = bufferSize - destination.manager.free_in_buffer;
    if (used > 0 && destination.write(destination.buffer, 1, used, destination.stream) != used)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

struct Encoder {
    jpeg_compress_struct cinfo;
    GlueError error;
    StreamDestination destination;
};

// Holds no object with a destructor: library errors leave it by longjmp.
int EncodeWithJump(Encoder& e, int width, int height, int pitch, const unsigned char* pixels,
                   int quality) {
    j_compress_ptr cinfo = &e.cinfo;
    StartSilentErrors(e.error, reinterpret_cast<j_common_ptr>(cinfo));
    if (setjmp(e.error.jump)) {
        jpeg_destroy_compress(cinfo);
        return 1;
    }
    jpeg_create_compress(cinfo);
    e.destination.manager.init_destination = InitDestination;
    e.destination.manager.empty_output_buffer = EmptyOutputBuffer;
    e.destination.manager.term_destination = TermDestination;
    cinfo->dest = &e.destination.manager;
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        auto* row =
            const_cast<JSAMPROW>(pixels + static_cast<ptrdiff_t>(cinfo->next_scanline) * pitch);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return 0;
}

} // namespace

int JpegEncode(void* stream, JpegWriteFn write, int width, int height, int pitch,
               const unsigned char* pixels, int quality) {
    auto* e = static_cast<Encoder*>(std::calloc(1, sizeof(Encoder)));
    if (!e) return 1;
    e->destination.stream = stream;
    e->destination.write = write;
    int result = EncodeWithJump(*e, width, height, pitch, pixels, quality);
    std::free(e);
    return result;
}

} // namespace zandrel
