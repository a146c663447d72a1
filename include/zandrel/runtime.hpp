// The runtime: objects and references, strings and their conversions,
// run-time errors, flag sets, module start-up, exit handlers and the process
// entry. It needs no start-up of its own; every other module builds on it.
// Threads: the string and number conversions may be called from any thread;
// RunOnce, the exit handlers and the process values belong to the main thread.
//
// The error rule, the same in every module:
// - "Not found", "cannot open" and "cannot decode" are ordinary results, not
//   errors: an empty Ref (OpenStream, LoadPixmap, LoadImage, LoadSound,
//   LoadFont ...) or false (SavePixmapPNG, MakeFolder ...). Loaders refuse
//   data they do not recognise the same way.
// - Misuse (a call whose precondition does not hold: no current 2D graphics,
//   a frame index out of range, an abstract method, a rate out of range) and
//   corrupt data that a reader cannot go on from throw RuntimeError or a
//   subclass of it (TStreamError). Every call that can throw says so in its
//   header comment ("Throws ..."); a call that says nothing does not throw.
// - A RuntimeError that nothing catches ends a program run through
//   RunProgram: its message goes to standard error and the exit code is -1.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace zandrel {

// Text of 16-bit characters (UTF-16). Where it meets the OS it travels as
// UTF-8 (ToUtf8, FromUtf8).
using String = std::u16string;

// A reference-counted object; an empty Ref is "no object".
template <class T> using Ref = std::shared_ptr<T>;

// Makes a T from the constructor arguments; the Ref returned is its only reference.
template <class T, class... Args> Ref<T> New(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
}

// Type test and down-cast: an empty Ref when obj is not a T.
template <class T, class U> Ref<T> As(const Ref<U>& obj) {
    return std::dynamic_pointer_cast<T>(obj);
}

// The base of the library's reference-counted classes (held by Ref).
class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object() = default;
    // A short text describing the object for logs; "Object" unless a subclass says more.
    virtual String ToString() const;
};

// Raw bytes, owned by the array.
using ByteArray = std::vector<uint8_t>;

// Flag sets: an enum class declared a flag set with ZANDREL_FLAG_SET combines
// with | and ~ and is tested with &: `if (flags & ImageFlags::Masked)`; the
// result of & also converts back to the enum (`ImageFlags kept = flags & mask`).
template <class E> struct IsFlagSet : std::false_type {};
template <class E>
concept FlagSet = std::is_enum_v<E> && IsFlagSet<E>::value;
// Declares the enum class E a flag set; write it inside namespace zandrel,
// with a semicolon: `ZANDREL_FLAG_SET(Modifier);`.
#define ZANDREL_FLAG_SET(E)                                                                        \
    template <> struct IsFlagSet<E> : std::true_type {}

// The number behind an enumerator, for storing and printing.
template <class E>
requires std::is_enum_v<E>
constexpr std::underlying_type_t<E> ToNumber(E value) {
    return static_cast<std::underlying_type_t<E>>(value);
}

// The result of testing a flag set: true when any flag is set, and the flags themselves.
template <FlagSet E> class FlagTest {
public:
    // Wraps the flags that & kept.
    constexpr FlagTest(E value) : value_(value) {}
    constexpr explicit operator bool() const { return ToNumber(value_) != 0; } // any flag set
    constexpr operator E() const { return value_; } // the flags themselves

private:
    E value_;
};

// The flags of both.
template <FlagSet E> constexpr E operator|(E a, E b) {
    return static_cast<E>(ToNumber(a) | ToNumber(b));
}
// The flags set in both, as a FlagTest.
template <FlagSet E> constexpr FlagTest<E> operator&(E a, E b) {
    return static_cast<E>(ToNumber(a) & ToNumber(b));
}
// Every bit that is not set: `a &= ~b` clears the flags of b.
template <FlagSet E> constexpr E operator~(E a) {
    return static_cast<E>(~ToNumber(a));
}
// Adds b's flags to a; returns a.
template <FlagSet E> constexpr E& operator|=(E& a, E b) {
    return a = a | b;
}
// Keeps only the flags of a that b has; returns a.
template <FlagSet E> constexpr E& operator&=(E& a, E b) {
    return a = a & b;
}

// A fixed table of numbers indexed by an enum's values 0 to N - 1 (the
// per-format tables of pixels and samples). Indexing outside is the caller's error.
template <class E, size_t N> struct EnumTable {
    int values[N]; // the numbers in enum order
    // The number for an enumerator; no range check.
    constexpr int operator[](E e) const { return values[static_cast<size_t>(e)]; }
};

// The head of the list of Registered<T>, one for the whole process: kept in
// the library, so that a program and every shared library it loads (each
// with its own copy of a header's statics on Windows) share it.
void*& RegistryHead(const std::type_info& type);

// Objects of T join the list of all of them when made, newest first, and
// leave it when destroyed: the registries of openers, loaders and data types,
// where the entry made last is asked first.
template <class T> class Registered {
public:
    Registered(const Registered&) = delete;
    Registered& operator=(const Registered&) = delete;

    // The newest entry, nullptr when there is none; the list does not own its entries.
    static T* First() { return AsEntry(Head()); }
    // The entry made before this one, nullptr after the oldest.
    T* Next() const { return AsEntry(next_); }

protected:
    // The list holds the base part: the whole object does not exist yet when
    // it joins, nor any more when it leaves.
    Registered() : next_(Head()) { Head() = static_cast<Registered*>(this); }
    ~Registered() {
        for (void** link = &Head(); *link; link = &static_cast<Registered*>(*link)->next_) {
            if (*link == static_cast<Registered*>(this)) {
                *link = next_;
                break;
            }
        }
    }

private:
    static void*& Head() { return RegistryHead(typeid(T)); }
    static T* AsEntry(void* entry) {
        return entry ? static_cast<T*>(static_cast<Registered*>(entry)) : nullptr;
    }

    void* next_; // a Registered*
};

// Text as UTF-8, the form Linux, SDL and the desktop tools use for every name
// and message. A surrogate pair becomes one 4-byte sequence; a lone surrogate,
// which no UTF-8 can hold, becomes U+FFFD.
std::string ToUtf8(const String& text);
// As ToUtf8, but no value when the text holds a lone surrogate, where a
// substitute would say something else.
std::optional<std::string> ToUtf8Exact(const String& text);
// The one way a name reaches the OS (a path, an argument, an environment
// value, a command line, a host name): its UTF-8 bytes, or no value when it
// holds a lone surrogate or a 0, either of which would reach the OS as some
// other name. Names that come back from the OS are read with FromUtf8.
std::optional<std::string> ToOsName(const String& name);
// Strict decoding: each ill-formed sequence (overlong forms, encoded
// surrogates, values above U+10FFFF, stray or missing continuation bytes)
// gives one U+FFFD and decoding resumes at the first byte that cannot
// continue it; characters above U+FFFF become surrogate pairs.
String FromUtf8(std::string_view bytes);

// Makes a String from a UTF-8 literal or std::string: S("Käse").
inline String S(std::string_view utf8) {
    return FromUtf8(utf8);
}

// A text parameter that takes a String or UTF-8 text alike (a literal, a
// std::string, a std::string_view), so that names need no S(); it is the
// String itself.
class TextArg : public String {
public:
    TextArg(String text) : String(std::move(text)) {}                     // as it is
    TextArg(const char16_t* text) : String(text) {}                       // as String
    TextArg(std::string_view utf8) : String(FromUtf8(utf8)) {}            // from UTF-8
    TextArg(const char* utf8) : TextArg(std::string_view(utf8)) {}        // from UTF-8
    TextArg(const std::string& utf8) : TextArg(std::string_view(utf8)) {} // from UTF-8
};

// Appends a code point as one or two 16-bit characters.
void AppendCodePoint(String& text, char32_t c);

// Decodes UTF-8 one code point at a time from a byte source that returns the
// next byte (0-255) or a negative value at the end; holds the byte that ended
// an ill-formed sequence for the next call.
class Utf8Decoder {
public:
    // Next returns the next code point, Replacement (U+FFFD) for an ill-formed
    // sequence, or EndOfInput once the source returns a negative value.
    static constexpr char32_t Replacement = 0xFFFD;
    // What Next returns once the source has ended.
    static constexpr char32_t EndOfInput = 0xFFFFFFFF;
    // The next code point; `nextByte` gives the next byte, or a negative value at the end.
    char32_t Next(const std::function<int()>& nextByte);
    // True while it holds a byte for the next call.
    bool HoldsByte() const { return pending_ >= 0; }

private:
    int pending_ = -1;
};

// Bytes as characters and back, one byte per character: the Latin-1 rule,
// for byte strings and Latin-1 text, never for names (use ToUtf8).
std::string ToBytes(const String& text);
// One character per byte of `bytes`.
String FromBytes(std::string_view bytes);
// One character per byte of the `count` bytes at `bytes`.
String FromBytes(const void* bytes, size_t count);
// FromBytes under the name of the text it reads.
inline String FromLatin1(std::string_view bytes) {
    return FromBytes(bytes);
}
// ToBytes under the name of the text it writes; a character above U+00FF
// keeps only its low byte.
inline std::string ToLatin1(const String& text) {
    return ToBytes(text);
}

// Decimal text of a 32-bit integer.
String FromInt(int32_t value);
// Decimal text of a 64-bit integer.
String FromLong(int64_t value);
// Decimal text of a float.
String FromFloat(float value);
// Decimal text of a double.
String FromDouble(double value);
// The 32-bit integer the text holds; 0 for text that is no number.
int32_t ToInt(const String& text);
// The 64-bit integer the text holds; 0 for text that is no number.
int64_t ToLong(const String& text);
// The float the text holds; 0 for text that is no number.
float ToFloat(const String& text);
// The double the text holds; 0 for text that is no number.
double ToDouble(const String& text);

// The text with A to Z made a to z; every other character is kept.
String ToLowerAscii(String text);

// The error thrown for misuse and corrupt data (see the rule at the top);
// carries its message text.
class RuntimeError : public std::exception {
public:
    // Made from the message text.
    explicit RuntimeError(String message);
    // Made from the message in UTF-8.
    explicit RuntimeError(std::string_view utf8Message);
    // The message text.
    const String& Message() const { return message_; }
    // The message as UTF-8.
    const char* what() const noexcept override { return bytes_.c_str(); }

private:
    String message_;
    std::string bytes_;
};

// Why the last open or load on this thread gave no object, in a few words
// ("no such file", "HTTP 404 Not Found", "not a PNG, JPEG, BMP or TGA file",
// "unknown protocol 'gopher'"). Every open starts it afresh; after a result
// that is not empty it is empty or says what was odd (an HTTP error page was
// returned). Any thread; each has its own.
const String& LastLoadError();
// Sets what LastLoadError gives: for openers and loaders of your own.
void SetLoadError(String reason);
// For a loader that found no decoder for the data: LastLoadError becomes
// "not " + `kind`, followed by what the open said, if anything.
void RefusedAs(std::string_view kind);

// Throws RuntimeError "Attempt to call abstract method": the body of an
// operation that a class declares but leaves to its subclasses.
[[noreturn]] void ThrowAbstract();

// Runs `start` once; later calls return at once. Module start-up functions
// use it so that each module registers its providers exactly once.
void RunOnce(bool& started, const std::function<void()>& start);

// Exit handlers run once, newest first, when the process ends through exit()
// or by returning from RunProgram.
void AddExitHandler(std::function<void()> handler);
// Runs the exit handlers now, newest first; each runs once.
void RunExitHandlers();

// The process entry: records the executable's path, the start folder and the
// arguments, makes the executable's folder the current directory, runs
// `body` and exits with its result. A RuntimeError that nothing catches
// writes its message to standard error and exits with code -1. The folder
// change is the whole process's: a program that must keep its start folder
// calls ChangeFolder(InitialFolder()) first in `body`, or uses StartZandrel
// without RunProgram.
int RunProgram(int argc, char** argv, const std::function<int()>& body);

// The program file's path, as RunProgram recorded it. This and the values below are empty when
// RunProgram was not used.
const String& ExecutablePath();
// The folder of the program file.
const String& ExecutableFolder();
// The working folder when the program started.
const String& InitialFolder();
// The command line: element 0 is the program's name as it was started, the
// arguments follow from element 1 (RunProgram's own options taken out).
const std::vector<String>& ProgramArguments();

// Options RunProgram takes for itself, for running a program unattended
// (tests, screenshots), and removes from ProgramArguments: "--frames N" ends
// the program with exit code 0 at its Nth Flip, and "--screenshot FILE"
// first saves that frame as a PNG (alone it means --frames 1). FILE is
// relative to the start folder. "--frame-ms N" runs the program on a clock
// of frames: Millisecs starts at 0 and advances N at each Flip, and
// FrameSeconds answers N / 1000, so that what moves by time draws the same
// frames at any speed.
struct UnattendedRun {
    int frames = 0;      // 0: no limit
    String screenshot;   // absolute; empty for none
    int frameMillis = 0; // 0: the real clock
};
// The options RunProgram found; no limit and no screenshot without it.
const UnattendedRun& UnattendedRunOptions();

// Writes the message of an escaping error and ends the process with -1.
[[noreturn]] void ExitWithError(const String& message);

} // namespace zandrel
