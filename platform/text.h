// Text conversions. All text inside the system is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

// Converts UTF-16LE code units (as stored in wide strings of project streams)
// to UTF-8. Unpaired surrogates become U+FFFD, so any input gives valid text.
std::string Utf16ToUtf8(const uint16_t* units, std::size_t count);
// The same, from raw little-endian bytes; an odd trailing byte is dropped.
std::string Utf16LeBytesToUtf8(const uint8_t* bytes, std::size_t byte_count);

// Copies text into a fixed host buffer of `capacity` bytes: at most
// capacity - 1 bytes, always terminated. Nothing is written when capacity is 0.
void CopyBounded(char* destination, std::size_t capacity, std::string_view text);

// Decodes the code point of UTF-8 text at `*at` and moves past it. A
// malformed, cut or overlong sequence, or a surrogate, gives U+FFFD.
// Allocates nothing (the audio thread writes queue strings with it).
char32_t NextCodePoint(std::string_view utf8, std::size_t* at);
// Appends the UTF-8 bytes of a code point.
void AppendCodePoint(std::string& out, char32_t cp);

// Copies UTF-8 text as UTF-16 into a host buffer of `room` units: at most
// room - 1 units, always terminated, a pair never split. Nothing is written
// when room is 0.
void CopyBoundedWide(uint16_t* destination, std::size_t room, std::string_view text);
// A zero-terminated UTF-16 text from a library, read up to `limit` units.
std::string ZeroTerminatedWide(const uint16_t* text, std::size_t limit);

// ASCII letters only, whatever locale the host process has set.
char ToLowerAscii(char c);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Numbers in the C locale, whatever locale the host process has set.
std::string FormatDouble(double value);          // shortest text that reads back exactly
std::string FormatFixed(double value, int digits);  // fixed notation
std::optional<double> ParseDouble(std::string_view text);  // whole text must be a number
std::optional<long long> ParseInteger(std::string_view text);

// " (did you mean 'A' or 'B'?)" naming the `candidates` closest to `given`,
// letter case aside (at most three, none more than a third of the text's
// length in edits away); empty when nothing is close.
std::string DidYouMean(std::string_view given, const std::vector<std::string>& candidates);

}  // namespace ov
