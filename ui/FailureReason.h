// Why a listed file could not be opened, in words: the row's tooltip and the
// note of a saved list.
#pragma once

#include <cstddef>

struct FoundFile;

namespace FailureReason {

// Writes the reason for a record that could not be opened, terminated and
// cut to size; an empty text for a file that was opened. The text is 8-bit,
// in the ANSI code page like the rest of the window.
void Text(const FoundFile& record, char* buffer, size_t size);

}  // namespace FailureReason
