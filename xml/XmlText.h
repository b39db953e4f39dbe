#pragma once
// Text helpers of the XML library: escaping, entity decoding, quoting,
// conversions between UTF-16, UTF-8 and the ANSI code page (GBK), Base64 and
// hex for binary values, the integer text rule and name comparison.
// Texts are byte strings; wide texts are UTF-16.
#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

class TStream;

// The text with & < > ' " replaced by their five entities; empty stays empty.
std::string EscapeText(std::string_view text);

// Entity references decoded, numeric ones to UTF-8; unknown or unreadable
// references (and "&" without a later ";") stay as written.
std::string DecodeEntitiesUtf8(std::string_view text);

// Entity references decoded, numeric ones to one ASCII byte or, from 128 on,
// to the GBK bytes of the character; a reference GBK cannot hold stays as written.
std::string DecodeEntitiesSingleByte(std::string_view text);

// The text in double quotes (apostrophes when it holds a double quote), the
// quote character doubled inside.
std::string QuoteText(std::string_view text);

// The text between one pair of surrounding quotes, doubled quotes made single;
// a text shorter than two bytes or not starting with a quote comes back unchanged.
std::string UnquoteText(std::string_view text);

// The text cut into lines of lineLength bytes with the separator before each
// line and once at the end; unchanged for an empty separator or lineLength < 1.
std::string InsertLineBreaks(std::string_view text, std::string_view separator, int lineLength);

// The text without TAB, LF, CR and space.
std::string RemoveControlChars(std::string_view text);

// Writes the bytes of the text; nothing for an empty text. Raises a stream
// error when the stream takes fewer bytes.
void WriteTextToStream(TStream& stream, std::string_view text);

// Writes count bytes from buffer + offset; returns the count the stream took (0 for count < 1).
int64_t WriteBufferPart(TStream& stream, const void* buffer, int64_t offset, int64_t count);

// UTF-16 units to UTF-8 bytes in dest (capacity bytes, a terminating zero
// included): surrogate pairs become 4-byte sequences, a lone surrogate
// U+FFFD. Returns bytes written + 1; 0 when a buffer is missing or capacity < 1.
int EncodeUtf8Units(char* dest, int capacity, const char16_t* source, int count);

// UTF-8 bytes to UTF-16 units in dest (capacity units, a terminating zero
// included): 4-byte sequences become surrogate pairs, an invalid sequence
// U+FFFD. Returns units written + 1; 0 when a buffer is missing or capacity < 1.
int DecodeUtf8Units(char16_t* dest, int capacity, const char* source, int count);

// UTF-8 of the wide text; a lone surrogate becomes U+FFFD; empty for empty.
std::string WideToUtf8Text(std::u16string_view wide);

// UTF-16 of the UTF-8 text; an invalid sequence becomes U+FFFD (the rest is kept).
std::u16string Utf8TextToWide(std::string_view utf8);

// UTF-8 of a GBK text; bytes that are no GBK character become U+FFFD.
std::string AnsiTextToUtf8(std::string_view ansi);

// GBK of a UTF-8 text; a character GBK cannot hold becomes "?" and sets *lost.
std::string Utf8TextToAnsi(std::string_view utf8, bool* lost = nullptr);

// Base64 (RFC 4648, "+/", "=" padding) of count bytes; empty for count < 1.
std::string EncodeBase64Text(const void* data, int64_t count);

// Fills dest with count bytes decoded from the Base64 text; raises the filer
// error "Missing data in binary stream" when the whole groups hold fewer bytes.
void DecodeBase64Text(std::string_view text, void* dest, int64_t count);

// Two upper-case hex digits per byte; empty for count < 1.
std::string EncodeHexText(const void* data, int64_t count);

// Fills dest with count bytes from hex pairs (either case); raises the filer
// error "Missing data in binary stream" when fewer pairs are present or a pair
// is not two hex digits.
void DecodeHexText(std::string_view text, void* dest, int64_t count);

// The integer text rule, 32-bit: raises the conversion error
// "'%s' is not a valid integer value" for a text that is no integer.
int32_t ParseIntegerText(std::string_view text);
// The same, giving def for a text that is no integer.
int32_t ParseIntegerText(std::string_view text, int32_t def);
// The 64-bit forms.
int64_t ParseInt64Text(std::string_view text);
int64_t ParseInt64Text(std::string_view text, int64_t def);

// Sign of the case-insensitive comparison of two names (0: same name). ASCII
// letters fold; in a GBK text (utf8 false) a double-byte character compares as
// one unit, so its trail byte never folds; other bytes compare by value.
int CompareNames(std::string_view a, std::string_view b, bool utf8 = false);

// Runtime trim: the text without bytes 0..32 at both ends.
std::string_view TrimText(std::string_view text);

}  // namespace xml
