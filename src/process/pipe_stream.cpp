#include "child_native.hpp"

#include <algorithm>
#include <cstring>

namespace zandrel {

TPipeStream::TPipeStream(PipeHandle readHandle, PipeHandle writeHandle)
    : readBuffer_(new uint8_t[ReadBufferSize]), readHandle_(readHandle), writeHandle_(writeHandle) {
}

TPipeStream::~TPipeStream() {
    TPipeStream::Close();
}

bool TPipeStream::Eof() {
    return buffered_ == 0 && native::PipeAtEnd(readHandle_);
}

bool TPipeStream::Close() {
    native::ClosePipe(readHandle_);
    native::ClosePipe(writeHandle_);
    readHandle_ = writeHandle_ = NoPipeHandle;
    buffered_ = 0;
    return true;
}

int TPipeStream::Read(void* buf, int count) {
    if (count <= 0) return 0;
    if (buffered_ == 0) return native::ReadFromPipe(readHandle_, buf, count);
    int taken = std::min(count, buffered_);
    std::memcpy(buf, readBuffer_.get(), static_cast<size_t>(taken));
    DropBuffered(taken);
    return taken;
}

int TPipeStream::Write(const void* buf, int count) {
    return native::WriteToPipe(writeHandle_, buf, count);
}

int TPipeStream::ReadAvail() {
    return buffered_ + native::PipeBytesWaiting(readHandle_);
}

ByteArray TPipeStream::ReadPipe() {
    int waiting = ReadAvail();
    if (waiting <= 0) return ByteArray();
    ByteArray bytes(static_cast<size_t>(waiting));
    bytes.resize(static_cast<size_t>(ReadUpTo(*this, bytes.data(), waiting)));
    return bytes;
}

// A CR before the line feed ends the line, and one at the front of the
// buffer (the tail of an earlier CR LF split by the writer) starts it.
String TPipeStream::ReadLine() {
    FillLineBuffer();
    const uint8_t* bytes = readBuffer_.get();
    const uint8_t* lineFeed = std::find(bytes, bytes + buffered_, uint8_t{10});
    if (lineFeed == bytes + buffered_) return String();
    int end = static_cast<int>(lineFeed - bytes);
    int start = bytes[0] == 13 ? 1 : 0;
    int stop = end > 0 && bytes[end - 1] == 13 ? end - 1 : end;
    String line =
        stop > start ? FromBytes(bytes + start, static_cast<size_t>(stop - start)) : String();
    DropBuffered(end + 1);
    return line;
}

// Takes what is waiting, never more than fits, so that it never waits.
void TPipeStream::FillLineBuffer() {
    int waiting = native::PipeBytesWaiting(readHandle_);
    if (waiting <= 0) return;
    int room = ReadBufferSize - buffered_;
    if (room <= 0) throw RuntimeError("PipeStream ReadBuffer Overflow");
    buffered_ +=
        native::ReadFromPipe(readHandle_, readBuffer_.get() + buffered_, std::min(waiting, room));
}

void TPipeStream::DropBuffered(int count) {
    buffered_ -= count;
    std::memmove(readBuffer_.get(), readBuffer_.get() + count, static_cast<size_t>(buffered_));
}

Ref<TPipeStream> TPipeStream::Create(PipeHandle readHandle, PipeHandle writeHandle) {
    return New<TPipeStream>(readHandle, writeHandle);
}

} // namespace zandrel
