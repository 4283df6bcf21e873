// The code page tables of RTF documents on Windows: built from the system's
// own conversion the first time a search meets a code page, and kept for the
// rest of the run (a reader holds the tables of its fonts while it reads).
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

    // Code pages kept, those the system lacks included: once this many are
    // known, a further one has no table (its text is read in 1252).
    static const int Slots = 256;

private:
    struct Entry {
        unsigned codePage;       // 0: unused
        RtfCodePage* table;      // nullptr: the system has no such code page
    };
    Entry entries[Slots];
    int used;
};
