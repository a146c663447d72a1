// What the text-driven fuzzers share: arbitrary bytes as a String, and a
// private folder to stand in for the file system.
#pragma once

#include <zandrel/stream.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace zandrel::fuzz {

// The bytes as UTF-8 when `utf16` is false, else as UTF-16LE code units, so
// that any 16-bit character (a lone surrogate, a NUL) can be reached.
String TextFromBytes(const uint8_t* data, size_t size, bool utf16);

// A fresh folder under the system's temporary folder, made current, holding
// a few files and folders whose names differ in case; everything in it is
// removed at exit. Only the first call does anything. Call it from the first
// input, not at start-up: libFuzzer reads its corpus folders after start-up,
// and they may be named relative to where it was started.
void EnterScratchFolder();

// True when the file system sees the text, as a path or inside a URL, only
// under the current folder: no part starts at the root, none climbs with
// "..", and no character's low byte aliases "/", "\", "." or NUL, whichever
// way the characters are turned into bytes.
bool StaysInCurrentFolder(const String& text);

} // namespace zandrel::fuzz
