// The code page tables of RTF documents on Windows: built from the system's
// own conversion the first time a search meets a code page, and kept for the
// rest of the run.
#pragma once

#include "search/RtfTextExtractor.h"

class SystemCodePages : public RtfCodePages {
public:
    SystemCodePages();
    ~SystemCodePages();
    SystemCodePages(const SystemCodePages&) = delete;
    SystemCodePages& operator=(const SystemCodePages&) = delete;

    // nullptr for a code page the system does not have, or when a table
    // cannot be allocated (the document is then read in 1252).
    const RtfCodePage* Find(unsigned codePage) override;

    // Code pages kept at once; a document naming more than this many others
    // in one run reuses the oldest slot.
    static const int Slots = 8;

private:
    struct Entry {
        unsigned codePage;       // 0: unused
        RtfCodePage* table;      // nullptr: the system has no such code page
    };
    Entry entries[Slots];
    int nextSlot;
};
