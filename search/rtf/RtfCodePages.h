// Code pages: how the bytes of an RTF document's text become UTF-16 units.
// The engine holds the table of 1252 alone; the platform supplies the others.
#pragma once

#include <cstdint>

// One code page's table. units[b] is the unit of byte b alone; 0 means that
// the byte writes nothing alone: in a double-byte code page (pairs set) it is
// a lead byte that forms one character with the byte after it.
struct RtfCodePage {
    std::uint16_t units[256];
    const std::uint16_t* pairs;  // double-byte code pages: 65,536 units, lead * 256 + trail; else nullptr
};

// Code page 1252, the default of every document.
extern const RtfCodePage RtfCodePage1252;

// The tables of the other code pages a document may name, supplied by the
// platform.
class RtfCodePages {
public:
    // The table of the code page, or nullptr when there is none. A table lives
    // as long as the object that returned it.
    virtual const RtfCodePage* Find(unsigned codePage) = 0;

protected:
    ~RtfCodePages() {}
};

// Whether the code page writes the bytes 1 to 127 as themselves.
bool WritesAsciiAsItself(const RtfCodePage* page);
