// Streams: byte streams opened from URLs, embedded resources, banks and
// memory streams, text and byte-order streams, file-system helpers and object
// serialisation. Extension points: stream openers (TStreamOpener) and data
// types (TDataType). StartStreamModule() registers the built-in openers and
// encodings (StartZandrel() calls it). Threads: main thread; a stream object
// may be used from another thread only while no other thread touches it.
#pragma once

#include <zandrel/runtime.hpp>

#include <cstdio>

namespace zandrel {

// Registers the built-in stream openers, encodings and the bank's data type;
// later calls do nothing.
void StartStreamModule();

// ---------------------------------------------------------------------------
// URLs

// Where a file is opened: a path or "proto::rest" text, or an object (an
// open stream, a bank, or anything an opener knows). Narrow text is read as
// UTF-8, as C++ source text is.
class Url {
public:
    Url() = default;
    Url(std::nullptr_t) {}                                  // no URL: empty text, no object
    Url(String text) : text_(std::move(text)) {}            // a path or proto::rest text
    Url(const char16_t* text) : text_(text) {}              // as String
    Url(const char* text) : text_(FromUtf8(text)) {}        // UTF-8 text
    Url(const std::string& text) : text_(FromUtf8(text)) {} // UTF-8 text
    // An object to open (a stream, a bank ...); the Url shares ownership of it.
    template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
    Url(const Ref<T>& object) : object_(object) {}

    // The text of the URL: the string, or empty for an object.
    const String& Text() const { return text_; }
    const Ref<Object>& AsObject() const { return object_; } // the object; empty for text
    // The object as a T; empty for text or when the object is not a T.
    template <class T> Ref<T> As() const { return std::dynamic_pointer_cast<T>(object_); }

private:
    String text_;
    Ref<Object> object_;
};

// ---------------------------------------------------------------------------
// Errors

// Thrown by exact-count transfers that move nothing (ReadBytes, WriteBytes,
// ReadExactly ...); loaders treat it as a refusal.
class TStreamError : public RuntimeError {
public:
    // Made from the message, as RuntimeError.
    using RuntimeError::RuntimeError;
};

// A read moved nothing before the end of data: "Error reading from stream".
class TStreamReadError : public TStreamError {
public:
    TStreamReadError() : TStreamError("Error reading from stream") {}
};

// A write moved nothing, or data did not all reach its destination:
// "Error writing to stream".
class TStreamWriteError : public TStreamError {
public:
    TStreamWriteError() : TStreamError("Error writing to stream") {}
};

// ---------------------------------------------------------------------------
// Raw I/O and the stream

// Raw byte transfer and positioning, the part of a stream its subclasses
// implement. The base reads and writes nothing; positions and sizes are bytes.
class TIOBase : public Object {
public:
    virtual bool Eof();        // true at the end of data; the base compares Pos with Size
    virtual int Pos();         // -1 when not seekable
    virtual int Size();        // bytes in the whole stream; 0 when unknown (the base)
    virtual int Seek(int pos); // the new position, -1 when not seekable
    // Passes written data on; false when it could not (a full disk). The
    // base has nothing to pass and answers true.
    virtual bool Flush();
    // True when written data all reached its destination (also for a stream
    // that wrote nothing or was closed already); false when some did not.
    virtual bool Close();
    // Bytes read; 0 when nothing could be read. Throws RuntimeError "Stream
    // is not readable" in a stream that cannot read.
    virtual int Read(void* buf, int count);
    // Bytes written. Throws RuntimeError "Stream is not writeable" likewise.
    virtual int Write(const void* buf, int count);
};

// A byte stream with typed values, lines, strings and objects on top of the
// raw transfers. Get one from OpenStream and its relatives; subclasses
// override the raw transfers and, where they can do better, the typed ones.
class TStream : public TIOBase {
public:
    // Exact-count transfers: a transfer that moves nothing throws
    // TStreamReadError or TStreamWriteError, except a read that has reached
    // the end of data, which stops there silently.
    virtual int ReadBytes(void* buf, int count);
    // Writes exactly `count` bytes from `buf`; the count written.
    virtual int WriteBytes(const void* buf, int count);
    // Reads and drops `count` bytes; the count skipped, fewer at the end of data.
    virtual int SkipBytes(int count);

    // One byte, 0 to 255. The typed values here and below are in machine byte order; readers yield
    // 0 at the end of data.
    virtual int ReadByte();
    // Writes the low 8 bits of `n`.
    virtual void WriteByte(int n);
    // A 16-bit value, read back unsigned.
    virtual int ReadShort();
    // Writes the low 16 bits of `n`.
    virtual void WriteShort(int n);
    // A 32-bit integer.
    virtual int32_t ReadInt();
    // Writes a 32-bit integer.
    virtual void WriteInt(int32_t n);
    // A 64-bit integer.
    virtual int64_t ReadLong();
    // Writes a 64-bit integer.
    virtual void WriteLong(int64_t n);
    // A 4-byte float.
    virtual float ReadFloat();
    // Writes a 4-byte float.
    virtual void WriteFloat(float f);
    // An 8-byte double.
    virtual double ReadDouble();
    // Writes an 8-byte double.
    virtual void WriteDouble(double d);

    // A line ends at LF, a 0 byte or the end of data; CR is dropped.
    virtual String ReadLine();
    // Writes the text's bytes and CR LF, on every platform (a text stream
    // can end lines with LF instead); true when everything was written.
    virtual bool WriteLine(const String& text);
    // `length` bytes as characters, one per byte, and back (Latin-1, see
    // FromBytes); exact-count transfers.
    virtual String ReadString(int length);
    // Writes one byte per character of `text` (Latin-1); exact-count.
    virtual void WriteString(const String& text);
    // Throw RuntimeError "Unable to read object" / "Unable to write object"
    // except in a data stream.
    virtual Ref<Object> ReadObject();
    // Writes `object` through its data type; see ReadObject for what throws.
    virtual void WriteObject(const Ref<Object>& object);

    // For loops that read until Eof: a TStreamReadError when a read delivered
    // nothing but the stream is not at its end.
    void ThrowUnlessEnded();
};

// Forwards to an inner stream. ReadBytes, WriteBytes, SkipBytes, ReadLong and
// WriteLong are not forwarded: they run the generic code over Read/Write.
// Every forwarded operation throws RuntimeError when there is no inner stream.
class TForwardingStream : public TStream {
public:
    ~TForwardingStream() override;
    // Sets the stream operations go to. The forwarding stream shares it and
    // closes it when destroyed.
    virtual void SetInner(Ref<TStream> stream);
    const Ref<TStream>& Inner() const { return inner_; } // empty until SetInner

    bool Eof() override;
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    bool Flush() override;
    bool Close() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    int ReadByte() override;
    void WriteByte(int n) override;
    int ReadShort() override;
    void WriteShort(int n) override;
    int32_t ReadInt() override;
    void WriteInt(int32_t n) override;
    float ReadFloat() override;
    void WriteFloat(float f) override;
    double ReadDouble() override;
    void WriteDouble(double d) override;
    String ReadLine() override;
    bool WriteLine(const String& text) override;
    String ReadString(int length) override;
    void WriteString(const String& text) override;
    Ref<Object> ReadObject() override;
    void WriteObject(const Ref<Object>& object) override;

protected:
    // The inner stream. Throws RuntimeError when there is none.
    TStream& Target();

    Ref<TStream> inner_; // the inner stream, as SetInner left it
};

// A view of someone else's stream: closing it releases the stream unclosed.
class TBorrowedStream : public TForwardingStream {
public:
    ~TBorrowedStream() override;
    bool Close() override; // true: the borrowed stream is left to its owner
    static Ref<TBorrowedStream> Create(Ref<TStream> stream); // borrows `stream`
};

// What a stream is opened for, a flag set: ReadWrite is Read | Write. The
// numbers are those a file stream records.
enum class FileMode : int { Read = 1, Write = 2, ReadWrite = 3 };
ZANDREL_FLAG_SET(FileMode);

// A stream over a C runtime FILE.
class TFileStream : public TStream {
public:
    ~TFileStream() override;
    int Pos() override { return pos_; }
    int Size() override { return size_; }
    int Seek(int pos) override;
    bool Flush() override;
    bool Close() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;

    // No object when fopen refuses the path or the path cannot be a name
    // (see ToOsName). `mode` Read opens with "rb", Write with "wb" (made
    // empty), ReadWrite with "r+b" (an existing file, kept).
    static Ref<TFileStream> OpenPath(const String& path, FileMode mode);
    // Owns the FILE from now on; `mode` says what it was opened for.
    static Ref<TFileStream> WrapCFile(FILE* file, FileMode mode);

    FILE* File() const { return file_; }    // the stream's own FILE; null once closed
    FileMode Mode() const { return mode_; } // what the FILE was opened for

private:
    int pos_ = 0;
    int size_ = 0;
    FILE* file_ = nullptr;
    FileMode mode_ = FileMode::Read;
};

// A protocol opener. Making one puts it at the front of the opener list, so
// the newest opener is asked first; it leaves the list when destroyed.
class TStreamOpener : public Object, public Registered<TStreamOpener> {
public:
    // The stream, or no object when the URL is not this opener's. The base
    // throws RuntimeError "Attempt to call abstract method".
    // `mode` is what OpenStream was asked for.
    virtual Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                                 FileMode mode);
};

// The newest opener, the first OpenStream asks; follow Next for the rest.
TStreamOpener* FirstStreamOpener();

// No object when the URL cannot be opened; never throws for that.
// `mode` says what the stream must allow.
Ref<TStream> OpenStream(const Url& url, FileMode mode = FileMode::ReadWrite);
// OpenStream for reading only.
Ref<TStream> OpenReadStream(const Url& url);
// OpenStream for writing only.
Ref<TStream> OpenWriteStream(const Url& url);
// For writing a whole file, as the savers do. A plain path (no "::") gets a
// stream over a new file in the same folder; its Close pushes the data to the
// disk and renames the new file over the path (over where a symbolic link
// there points; permission bits kept), or returns false and leaves the old
// file exactly as it was. Dropping the stream without Close, or an exception
// unwinding through its writer, removes the new file. Devices, other URLs and
// objects are opened by OpenWriteStream and written in place. No object when
// the URL cannot be opened.
Ref<TStream> OpenSaveStream(const Url& url);

// True at the end of data. This and the functions below are the stream's methods as free functions;
// the stream must not be empty.
bool Eof(const Ref<TStream>& stream);
// The position in bytes from the start; -1 when not seekable.
int Pos(const Ref<TStream>& stream);
// Bytes in the whole stream; 0 when unknown.
int Size(const Ref<TStream>& stream);
// Moves to byte `pos` from the start; the new position, -1 when not seekable.
int Seek(const Ref<TStream>& stream, int pos);
// Passes on written data; false when it could not (a full disk).
bool Flush(const Ref<TStream>& stream);
// Closes the stream; false when written data did not all reach its destination.
bool Close(const Ref<TStream>& stream);
// TStream::ReadByte.
int ReadByte(const Ref<TStream>& stream);
// TStream::ReadShort.
int ReadShort(const Ref<TStream>& stream);
// TStream::ReadInt.
int32_t ReadInt(const Ref<TStream>& stream);
// TStream::ReadLong.
int64_t ReadLong(const Ref<TStream>& stream);
// TStream::ReadFloat.
float ReadFloat(const Ref<TStream>& stream);
// TStream::ReadDouble.
double ReadDouble(const Ref<TStream>& stream);
// TStream::WriteByte.
void WriteByte(const Ref<TStream>& stream, int n);
// TStream::WriteShort.
void WriteShort(const Ref<TStream>& stream, int n);
// TStream::WriteInt.
void WriteInt(const Ref<TStream>& stream, int32_t n);
// TStream::WriteLong.
void WriteLong(const Ref<TStream>& stream, int64_t n);
// TStream::WriteFloat.
void WriteFloat(const Ref<TStream>& stream, float f);
// TStream::WriteDouble.
void WriteDouble(const Ref<TStream>& stream, double d);
// TStream::ReadBytes: exactly `count` bytes, fewer at the end of data.
int ReadBytes(const Ref<TStream>& stream, void* buf, int count);
// TStream::WriteBytes: exactly `count` bytes. Throws TStreamWriteError when
// none can be written.
int WriteBytes(const Ref<TStream>& stream, const void* buf, int count);
// TStream::ReadLine.
String ReadLine(const Ref<TStream>& stream);
// TStream::WriteLine: the text and CR LF (on every platform); true when all
// was written.
bool WriteLine(const Ref<TStream>& stream, const String& text);
// TStream::ReadString: `length` bytes as characters.
String ReadString(const Ref<TStream>& stream, int length);
// TStream::WriteString: one byte per character.
void WriteString(const Ref<TStream>& stream, const String& text);

// Whole-URL helpers. Throw RuntimeError "Unable to open ..." when the URL
// cannot be opened (unlike OpenStream), and TStreamError when a transfer fails;
// TStreamWriteError also when the data does not all reach the file at close.
// The savers write through OpenSaveStream: a failed save keeps the old file.
ByteArray LoadBytes(const Url& url);
// The URL's bytes as characters, one per byte.
String LoadByteString(const Url& url);
// Writes `bytes` to the URL, replacing what was there.
void SaveBytes(const ByteArray& bytes, const Url& url);
// Writes one byte per character of `text` to the URL.
void SaveByteString(const String& text, const Url& url);
// The object a data stream over the URL reads.
Ref<Object> LoadObjectFrom(const Url& url);
// Writes `object` to the URL through a data stream.
void SaveObjectTo(const Ref<Object>& object, const Url& url);
// Up to `count` bytes through Read; fewer only where the data ends. Unlike
// ReadBytes it says how many arrived.
int ReadUpTo(TStream& stream, void* buf, int count);
// Exactly `count` bytes. Throws TStreamReadError when fewer arrive.
void ReadExactly(TStream& stream, void* buf, int count);
// Copy through a buffer of `bufferSize` bytes: everything up to the end of
// `from`, or exactly `count` bytes. Throw as ReadBytes, WriteBytes and
// ThrowUnlessEnded.
void CopyStreamData(TStream& from, TStream& to, int bufferSize);
// Copies exactly `count` bytes.
void CopyStreamBytes(TStream& from, TStream& to, int count, int bufferSize);

// The path itself when it exists, else the path whose letters match it
// ignoring A-Z case; empty when there is none.
String FindCasedPath(const String& path);

// ---------------------------------------------------------------------------
// Embedded resources, banks and memory streams

// False when the name is already registered (the first entry stays).
bool RegisterEmbedded(const String& name, const void* data, int size);
// A registered resource's bytes; null for an unknown name.
const void* EmbeddedData(const String& name);
// The registered resource's size; 0 for an unknown name.
int EmbeddedSize(const String& name);

class TDataType;

// An object that a data stream can write and read back.
class TDataObject : public Object {
public:
    // The type that writes and reads objects of this class. The base throws
    // RuntimeError "Attempt to call abstract method".
    virtual Ref<TDataType> DataType();
};

// A growable block of bytes, or a view of memory it does not own.
class TBank : public TDataObject {
public:
    TBank() = default;
    ~TBank() override;
    TBank(const TBank&) = delete;
    TBank& operator=(const TBank&) = delete;

    // The data type that writes banks to data streams.
    Ref<TDataType> DataType() override;
    // The first byte: the bank's memory, or the borrowed memory.
    uint8_t* Buf() const { return buf_; }
    // Buf, counting one lock; the count is only recorded.
    uint8_t* Lock();
    // Takes one lock back.
    void Unlock();
    // The size in bytes.
    int Size() const { return size_; }
    int Capacity() const { return capacity_; } // -1 for borrowed memory
    // How many locks are held.
    int Locks() const { return locks_; }
    // Throws RuntimeError when the memory cannot be had.
    void Resize(int size);
    // One Read of `count` bytes from the stream into the bank at `offset`; the bytes moved.
    // ReadFrom and WriteTo throw RuntimeError when the range is not wholly inside the bank.
    int ReadFrom(TStream& stream, int offset, int count);
    // One Write of the `count` bytes at `offset` to the stream; the bytes moved.
    int WriteTo(TStream& stream, int offset, int count);

    // Typed values at a byte offset, in machine byte order; a byte and a short
    // read back unsigned. Throw RuntimeError when the value does not lie wholly
    // inside the bank.
    int GetByteAt(int offset) const;
    // Stores the low 8 bits of `value`.
    void SetByteAt(int offset, int value);
    // The unsigned 16-bit value at `offset`.
    int GetShortAt(int offset) const;
    // Stores the low 16 bits of `value`.
    void SetShortAt(int offset, int value);
    // The 32-bit integer at `offset`.
    int32_t GetIntAt(int offset) const;
    // Stores a 32-bit integer.
    void SetIntAt(int offset, int32_t value);
    // The 64-bit integer at `offset`.
    int64_t GetLongAt(int offset) const;
    // Stores a 64-bit integer.
    void SetLongAt(int offset, int64_t value);
    // The float at `offset`.
    float GetFloatAt(int offset) const;
    // Stores a float.
    void SetFloatAt(int offset, float value);
    // The double at `offset`.
    double GetDoubleAt(int offset) const;
    // Stores a double.
    void SetDoubleAt(int offset, double value);

    // Through OpenSaveStream; false when the URL cannot be opened or the bytes
    // did not all reach it.
    bool Save(const Url& url);

    static Ref<TBank> LoadBank(const Url& url); // no object when it cannot be opened
    // Throws RuntimeError for a negative size or when the memory cannot be had.
    static Ref<TBank> CreateBank(int size);
    // A view of the caller's memory, which must outlive it; Capacity -1.
    // Throws RuntimeError for a negative size.
    static Ref<TBank> CreateBankOver(void* address, int size);

private:
    template <class T> T Get(int offset) const;
    template <class T> void Set(int offset, T value);

    uint8_t* buf_ = nullptr;
    int size_ = 0;
    int capacity_ = 0;
    int locks_ = 0;
};

// The bank's methods as free functions, Peek and Poke for GetAt and SetAt;
// a bank argument must not be empty.
// The URL's bytes in a new bank; no object when it cannot be opened.
Ref<TBank> LoadBank(const Url& url);
// A bank of `size` zero bytes.
Ref<TBank> CreateBank(int size = 0);
// A bank over the caller's `size` bytes at `address`, which it neither copies nor frees.
Ref<TBank> CreateBankOver(void* address, int size);
// TBank::Buf.
uint8_t* BankBuf(const Ref<TBank>& bank);
// TBank::Lock.
uint8_t* LockBank(const Ref<TBank>& bank);
// TBank::Unlock.
void UnlockBank(const Ref<TBank>& bank);
// TBank::Size.
int BankSize(const Ref<TBank>& bank);
// TBank::Capacity: -1 for borrowed memory.
int BankCapacity(const Ref<TBank>& bank);
// TBank::Resize.
void ResizeBank(const Ref<TBank>& bank, int size);
// TBank::ReadFrom: the `count` bytes at `offset` from the stream.
int ReadBank(const Ref<TBank>& bank, TStream& stream, int offset, int count);
// TBank::WriteTo: the `count` bytes at `offset` to the stream.
int WriteBank(const Ref<TBank>& bank, TStream& stream, int offset, int count);
// TBank::GetByteAt.
int PeekByte(const Ref<TBank>& bank, int offset);
// TBank::SetByteAt.
void PokeByte(const Ref<TBank>& bank, int offset, int value);
// TBank::GetShortAt.
int PeekShort(const Ref<TBank>& bank, int offset);
// TBank::SetShortAt.
void PokeShort(const Ref<TBank>& bank, int offset, int value);
// TBank::GetIntAt.
int32_t PeekInt(const Ref<TBank>& bank, int offset);
// TBank::SetIntAt.
void PokeInt(const Ref<TBank>& bank, int offset, int32_t value);
// TBank::GetLongAt.
int64_t PeekLong(const Ref<TBank>& bank, int offset);
// TBank::SetLongAt.
void PokeLong(const Ref<TBank>& bank, int offset, int64_t value);
// TBank::GetFloatAt.
float PeekFloat(const Ref<TBank>& bank, int offset);
// TBank::SetFloatAt.
void PokeFloat(const Ref<TBank>& bank, int offset, float value);
// TBank::GetDoubleAt.
double PeekDouble(const Ref<TBank>& bank, int offset);
// TBank::SetDoubleAt.
void PokeDouble(const Ref<TBank>& bank, int offset, double value);
// Writes the bank's bytes to the URL; false when that fails.
bool SaveBank(const Ref<TBank>& bank, const Url& url);
// Copies byte by byte in ascending address order.
void CopyBankBytes(const Ref<TBank>& source, int sourceOffset, const Ref<TBank>& target,
                   int targetOffset, int count);

// A seekable stream over a bank; writing past its end grows the bank.
class TBankStream : public TStream {
public:
    bool Eof() override { return pos_ == Size(); }
    int Pos() override { return pos_; }
    int Size() override { return bank_->Size(); }
    int Seek(int pos) override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;

    // A stream at position 0 over `bank`, which must not be empty (CreateBankStream
    // makes a bank when given none). The stream shares the bank.
    static Ref<TBankStream> Create(Ref<TBank> bank);
    const Ref<TBank>& Bank() const { return bank_; } // the bank it reads and writes

private:
    int pos_ = 0;
    Ref<TBank> bank_;
};

// Over a new empty bank when none is given.
Ref<TBankStream> CreateBankStream(Ref<TBank> bank = nullptr);

// A stream over a fixed block of memory that belongs to the caller.
class TMemoryStream : public TStream {
public:
    bool Eof() override { return pos_ == size_; }
    int Pos() override { return pos_; }
    int Size() override { return size_; }
    int Seek(int pos) override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;

    // A stream over the caller's `size` bytes at `buf`, which must outlive it.
    friend Ref<TMemoryStream> CreateMemoryStream(void* buf, int size, FileMode mode);

private:
    int pos_ = 0;
    int size_ = 0;
    uint8_t* buf_ = nullptr;
    bool readable_ = false;
    bool writeable_ = false;
};

// The caller's `size` bytes at `buf` as a stream; the memory must outlive it.
// `mode` says what the stream allows.
Ref<TMemoryStream> CreateMemoryStream(void* buf, int size, FileMode mode);

// ---------------------------------------------------------------------------
// Byte-order and text streams

// Reads and writes typed values with their bytes reversed.
class TByteSwapStream : public TForwardingStream {
public:
    // Reverses the 2 bytes at `address` in place.
    static void SwapBytes2(void* address);
    // Reverses the 4 bytes at `address`.
    static void SwapBytes4(void* address);
    // Reverses the 8 bytes at `address`.
    static void SwapBytes8(void* address);

    int ReadShort() override;
    void WriteShort(int n) override;
    int32_t ReadInt() override;
    void WriteInt(int32_t n) override;
    int64_t ReadLong() override;
    void WriteLong(int64_t n) override;
    float ReadFloat() override;
    void WriteFloat(float f) override;
    double ReadDouble() override;
    void WriteDouble(double d) override;

    static Ref<TByteSwapStream> Create(Ref<TStream> stream); // no object for no stream
};

// Big-endian typed values over the stream (no object for no stream).
Ref<TStream> BigEndianStream(Ref<TStream> stream);
// The stream itself: the machine's order is little-endian.
Ref<TStream> LittleEndianStream(Ref<TStream> stream);

// The number is the one the protocols "latin1", "utf8", "utf16be" and
// "utf16le" stand for.
enum class TextEncoding : int { Latin1 = 1, Utf8 = 2, Utf16BE = 3, Utf16LE = 4 };

// What a text stream's WriteLine ends a line with. CR LF is the default on
// every platform, so that files written anywhere are alike.
enum class LineEnding : int {
    CrLf = 0, // carriage return and line feed, bytes 13 10
    Lf = 1,   // line feed alone, byte 10
};

// Characters in one encoding; numbers as decimal lines; raw bytes as lines of
// hexadecimal digits. Reading a malformed hexadecimal digit or line end throws
// RuntimeError. UTF-8 is read strictly: each ill-formed sequence reads as one
// U+FFFD, and a character above U+FFFF as a surrogate pair, one ReadChar each;
// a surrogate pair written one WriteChar at a time becomes one 4-byte
// sequence, and a lone surrogate U+FFFD.
class TTextStream : public TForwardingStream {
public:
    ~TTextStream() override;
    String ReadAllText(); // every character up to the end of data
    // The next 16-bit character; 0 at the end of data.
    int ReadChar();
    // Writes one 16-bit character in the encoding.
    void WriteChar(int c);
    // A text stream in `encoding` over `stream`, which it closes when destroyed.
    static Ref<TTextStream> CreateTextStream(Ref<TStream> stream, TextEncoding encoding);
    // One byte of the inner stream as it is, outside the encoding.
    int ReadRawByte();
    // Writes one byte to the inner stream as it is.
    void WriteRawByte(int b);
    // End a line of hexadecimal digits that Read or Write left open: In reads
    // its CR LF or LF (throws RuntimeError "Malformed line terminator" for
    // anything else), Out writes CR LF. Nothing when no such line is open.
    void EndHexLineIn();
    // Writes the CR LF that ends an open line of hexadecimal digits.
    void EndHexLineOut();

    TextEncoding Encoding() const { return encoding_; } // as made
    // What WriteLine and the numbers written as lines end with from now on.
    void SetLineEnding(LineEnding ending) { lineEnding_ = ending; }
    LineEnding GetLineEnding() const { return lineEnding_; } // CR LF unless set

    // Not at the end while a character read from the inner stream is still
    // to be delivered.
    bool Eof() override;
    int Seek(int pos) override;
    bool Flush() override;
    bool Close() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    int ReadByte() override;
    void WriteByte(int n) override;
    int ReadShort() override;
    void WriteShort(int n) override;
    int32_t ReadInt() override;
    void WriteInt(int32_t n) override;
    int64_t ReadLong() override;
    void WriteLong(int64_t n) override;
    float ReadFloat() override;
    void WriteFloat(float f) override;
    double ReadDouble() override;
    void WriteDouble(double d) override;
    String ReadLine() override;
    bool WriteLine(const String& text) override;
    String ReadString(int count) override;
    void WriteString(const String& text) override;

private:
    int ReadUtf8Char();
    void WriteUtf8Char(char16_t c);
    void WriteUtf8(const String& text);
    void WriteHeldSurrogate();

    TextEncoding encoding_ = TextEncoding::Latin1;
    LineEnding lineEnding_ = LineEnding::CrLf;
    int hexCount_ = 0;
    Utf8Decoder decoder_;
    char16_t lowSurrogateToRead_ = 0;
    char16_t highSurrogateToWrite_ = 0;
};

// TTextStream::CreateTextStream.
// `encoding` is that of the text in `stream`, which it closes when destroyed.
Ref<TTextStream> CreateTextStream(Ref<TStream> stream, TextEncoding encoding);

// Standard input and output as a stream; at its end once standard input is.
class TStdioStream : public TStream {
public:
    bool Eof() override; // true once standard input has reached its end
    bool Flush() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
};

// UTF-8 text over standard input and output.
const Ref<TTextStream>& StandardText();

// Detects a UTF-8 or UTF-16 byte-order mark; Latin-1 without one. Throws
// RuntimeError when the URL cannot be opened.
String ReadTextFrom(const Url& url);
// Latin-1 when every character fits a byte, else UTF-16LE with a mark.
// Throws RuntimeError when the URL cannot be opened and TStreamWriteError when
// the text does not all reach it (the old file is then kept).
void WriteTextTo(const String& text, const Url& url);
// Writes a line to standard output, flushed.
void PrintLine(const String& text);
// Writes `prompt` without a line end, then reads a line from standard input.
String PromptLine(const String& prompt);

// ---------------------------------------------------------------------------
// File-system helpers ("/" separates; "\" is turned into "/")

// What a path names (PathKind).
enum class FileKind : int { NoFile = 0, Regular = 1, Folder = 2 };

// Turns "\" into "/" and "C:x" into "C:/x"; a folder also loses a trailing "/".
void NormalizePath(String& path, bool isFolder = false);
// Drops one trailing "/", except from "/" and "C:/".
void TrimTrailingSlash(String& path);
// The name after the last "/" of a normalised path.
String FileNamePart(TextArg path);
// The path without the extension.
String WithoutExtension(TextArg path);
// The name after the last "/" without the extension.
String BaseNamePart(TextArg path);
// The extension without its dot; empty when the name has none.
String ExtensionPart(TextArg path);
String FolderPart(TextArg path);  // "<bad_dir>" when there is no folder
String CurrentFolder();           // the working folder, normalised
String ResolvePath(TextArg path); // "<bad_dir>" when ".." climbs above the root

FileKind PathKind(TextArg path);        // NoFile also when the path cannot be examined
int64_t FileModifiedTime(TextArg path); // seconds since 1970, 0 on failure
int64_t FileByteSize(TextArg path);     // -1 on failure
int FilePermissions(TextArg path);      // the mode's low nine bits, -1 on failure
// Sets the permission bits to `mode`; true when done, as for the calls below.
bool SetFilePermissions(TextArg path, int mode);
// Makes an empty file, replacing any file there.
bool MakeEmptyFile(TextArg path);
// Makes a folder; `recursive` makes the missing parents too.
bool MakeFolder(TextArg path, bool recursive = false);
// The folder where the program called `name` keeps its own files between runs
// (saved games, high scores), made when missing: $XDG_DATA_HOME/`name`, or
// ~/.local/share/`name` when that is not set. In a page it is a folder kept
// in the browser's storage, written back after each whole save (SaveBytes,
// OpenSaveStream and the other savers), so it outlasts a reload. Empty when
// it cannot be made. Throws RuntimeError "Invalid data folder name" for an
// empty name, "." or "..", or one holding "/", "\" or ":". Main thread.
String UserDataFolder(TextArg name);
// Removes a file, a read-only one as well.
bool RemoveFile(TextArg path);
// Moves a file or folder, replacing a file at `to`.
bool RenamePath(TextArg from, TextArg to);
// Through OpenSaveStream; false when either cannot be opened or the copy did
// not all reach `to` (an old `to` is then kept). Throws TStreamReadError when
// reading `from` fails midway.
bool CopyFileContents(TextArg from, TextArg to);
// Copies the whole tree into `to`, made when missing; true when done.
bool CopyFolder(TextArg from, TextArg to);
// Removes an empty folder, or with `recursive` everything in it too.
bool RemoveFolder(TextArg path, bool recursive = false);
// Changes the working folder.
bool ChangeFolder(TextArg path);

struct FolderListing;
// Opens a folder to read its names one by one; null when it cannot be read.
FolderListing* OpenFolderListing(TextArg path);
// The next name ("." and ".." included), then empty.
String NextFolderEntry(FolderListing* listing);
// Frees the listing; null is allowed.
void CloseFolderListing(FolderListing* listing);
// The names in the order the system gives them, without "." and ".." when `skipDots`; empty on
// failure.
std::vector<String> ListFolder(TextArg path, bool skipDots = true);

// A seekable stream: one that is not seekable is read whole into a bank.
// `mode` as for OpenStream.
Ref<TStream> OpenSeekableStream(const Url& url, FileMode mode);
// OpenSeekableStream for reading only.
Ref<TStream> OpenSeekableRead(const Url& url);
// OpenSeekableStream for writing only.
Ref<TStream> OpenSeekableWrite(const Url& url);
// The stream's Close (false when written data did not all arrive); it must not be empty.
bool CloseStream(const Ref<TStream>& stream);

// ---------------------------------------------------------------------------
// Object serialisation

// Writes and reads the objects of one kind, found by name. Making one links it
// at the head of the global list; it leaves the list when destroyed. The base
// operations throw RuntimeError "Attempt to call abstract method".
class TDataType : public Object, public Registered<TDataType> {
public:
    virtual String Name(); // the name the stream records for the kind
    // Makes an object from the stream.
    virtual Ref<Object> Read(TStream& stream);
    // Writes one object of this kind to the stream.
    virtual void Write(const Ref<Object>& object, TStream& stream);
    // Called once Read's object is recorded, so that what it reads next may
    // refer back to it; the base does nothing.
    virtual void ReadFinish(const Ref<Object>& object, TStream& stream);
};

// The newest data type; follow Next for the rest.
TDataType* FirstDataType();
// The newest registered type of that name, or null.
TDataType* FindDataType(const String& name);

// Writes objects as a graph: each object once, later uses as back-references.
// Reading malformed data (unknown types, bad references or lengths) throws
// RuntimeError; a stream both readable and writeable is refused with one.
class TDataStream : public TForwardingStream {
public:
    TDataStream();
    ~TDataStream() override;
    Ref<Object> ReadObject() override;
    void WriteObject(const Ref<Object>& object) override;

private:
    struct Tables;
    std::unique_ptr<Tables> tables_;
};

// A data stream over `stream`, which it closes when destroyed.
Ref<TDataStream> CreateDataStream(Ref<TStream> stream);

// The largest byte count CheckDataLength lets through: 256 MiB.
constexpr int64_t MaxDataLength = 256 << 20;
// For readers of serialised data: throws RuntimeError when a byte count read from the stream is
// negative, larger than what is left in a seekable stream, or above MaxDataLength, so that bad data
// never causes a giant allocation.
void CheckDataLength(TStream& stream, int64_t length);

} // namespace zandrel
