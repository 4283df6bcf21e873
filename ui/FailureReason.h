// Why a listed file could not be opened, in words: the row's tooltip and the
// note of a saved list.
#pragma once

#include <windows.h>

#include <cstddef>

struct FoundFile;

namespace FailureReason {

// Writes the reason for a record that could not be opened (size units with
// the terminator), cut to size; an empty text for a file that was opened.
void Text(const FoundFile& record, WCHAR* buffer, size_t size);

}  // namespace FailureReason
