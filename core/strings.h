#pragma once
#include <cstddef>

// Byte-string helpers for code page 932 texts; none of them converts characters.

// Removes one leading double quote and then, if present, one trailing double quote, in place.
// Texts that do not start with a quote are left alone.
void StripQuotes(char* text);

// True for 0x80-0x9F and 0xE0-0xFF: wider than the assigned lead bytes on purpose, so that the
// byte after any of them is never examined as a character of its own.
bool IsLeadByte(unsigned char byte);
// True for the bytes that may follow a lead byte in code page 932: 0x40-0x7E and 0x80-0xFC.
bool IsTrailByte(unsigned char byte);
// The length of `text` without a last lead byte that has no byte after it: printed before other
// text, that byte would take the next character with it.
size_t WholeCharacterLength(const char* text);

// Splits a line at TAB bytes without changing it. Stores up to `capacity` field starts and
// lengths; returns the number of fields, which may exceed the capacity. A trailing TAB does not
// make an empty last field.
int SplitTabFields(const char* line, const char** starts, int* lengths, int capacity);

// Copies a counted field into a terminated buffer; a negative length gives an empty text, a
// field too long for the destination is cut byte-wise, a zero byte in the source ends the copy.
void CopyField(const char* source, char* destination, size_t destinationSize, int length);
