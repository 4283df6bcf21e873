// Turns RTF (or any 8-bit text) into the plain text a reader would see.
#pragma once

#include <cstddef>

// input: bytes ending in at least three zero bytes (the first zero ends the
// text). output: zero-filled, capacity bytes (at least 1); receives at most
// capacity - 1 bytes of text and a terminator.
void ExtractRtfText(const unsigned char* input, unsigned char* output, size_t capacity);
