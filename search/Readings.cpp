// The reading table, what a file's first bytes make of it, and which
// readings a search's text runs.
#include "search/Readings.h"

#include <cstring>

#include "search/ContentViews.h"

namespace {

const unsigned AnyMarkless = 1u << PlainFile;

bool RunsWidenedAnsi(const SearchTextForms& forms)
{
    return forms.hasAnsi && !forms.widenedAnsi.empty();
}

bool RunsRtf(const SearchTextForms& forms)
{
    // The plain text is Unicode: compared with the typed text itself.
    return !forms.typed.empty();
}

bool RunsAnsi(const SearchTextForms& forms)
{
    return forms.hasAnsi && !forms.ansi.empty();
}

bool RunsTypedUnits(const SearchTextForms& forms)
{
    // For ASCII and most Latin-1 text these are the widened bytes again.
    return !forms.typed.empty() && (!forms.hasAnsi || forms.typed != forms.widenedAnsi);
}

bool RunsUtf8(const SearchTextForms& forms)
{
    // Pure ASCII in UTF-8 is the code page's text again.
    if (!forms.hasUtf8)
        return false;
    for (char16_t unit : forms.typed) {
        if (unit >= 0x80)
            return true;
    }
    return false;
}

bool RunsTypedUnitsBigEndian(const SearchTextForms& forms)
{
    return !forms.typed.empty();
}

// Whether the row's text is spelled at all, skipped or not.
bool Spelled(const ReadingRow& row, const SearchTextForms& forms)
{
    switch (row.spelling) {
    case WidenedAnsiSpelling: return forms.hasAnsi && !forms.widenedAnsi.empty();
    case AnsiSpelling: return forms.hasAnsi && !forms.ansi.empty();
    case TypedSpelling: return !forms.typed.empty();
    case Utf8Spelling: return forms.hasUtf8 && !forms.utf8.empty();
    }
    return false;
}

}  // namespace

const ReadingRow ReadingTable[ReadingCount] = {
    {ReadingUtf16, "UTF-16", WidenedAnsiSpelling, 2, false, UnitsDecoding, RunsWidenedAnsi,
     AnyMarkless | (1u << Utf16LeBomFile), true, MakeUnitView},
    {ReadingRtf, "RTF", TypedSpelling, 2, false, RtfDecoding, RunsRtf, 1u << RtfFile, false, MakeRtfView},
    {ReadingAnsi, "ANSI", AnsiSpelling, 1, false, CodePageDecoding, RunsAnsi, AnyMarkless, false, MakeByteView},
    {ReadingUtf16Text, "UTF-16", TypedSpelling, 2, false, UnitsDecoding, RunsTypedUnits,
     AnyMarkless | (1u << Utf16LeBomFile), true, MakeUnitView},
    {ReadingUtf8, "UTF-8", Utf8Spelling, 1, false, Utf8Decoding, RunsUtf8, AnyMarkless | (1u << Utf8BomFile), false,
     MakeByteView},
    {ReadingUtf16Be, "UTF-16 BE", TypedSpelling, 2, true, UnitsDecoding, RunsTypedUnitsBigEndian,
     AnyMarkless | (1u << Utf16BeBomFile), true, MakeUnitView},
};

const ReadingRow* FindReading(int reading)
{
    return reading >= 1 && reading <= ReadingCount ? &ReadingTable[reading - 1] : nullptr;
}

const char* ReadingName(int reading)
{
    const ReadingRow* row = FindReading(reading);
    return row != nullptr ? row->type : "";
}

bool SearchTextForms::Runs(int reading) const
{
    const ReadingRow* row = FindReading(reading);
    return row != nullptr && row->runsFor(*this);
}

FileKind KindOfFile(const unsigned char* head, std::size_t size)
{
    if (size >= 5 && std::memcmp(head, "{\\rtf", 5) == 0)
        return RtfFile;
    if (size >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        return Utf8BomFile;
    if (size >= 2 && head[0] == 0xFF && head[1] == 0xFE)
        return Utf16LeBomFile;
    if (size >= 2 && head[0] == 0xFE && head[1] == 0xFF)
        return Utf16BeBomFile;
    return PlainFile;
}

const std::u16string& UnitSpelling(const ReadingRow& row, const SearchTextForms& forms)
{
    return row.spelling == WidenedAnsiSpelling ? forms.widenedAnsi : forms.typed;
}

const std::string& ByteSpelling(const ReadingRow& row, const SearchTextForms& forms)
{
    return row.spelling == Utf8Spelling ? forms.utf8 : forms.ansi;
}

bool RunsInKind(int reading, const SearchTextForms& forms, FileKind kind)
{
    const ReadingRow* row = FindReading(reading);
    if (row == nullptr || (row->fileKinds & (1u << kind)) == 0)
        return false;
    const bool runs = row->runsFor(forms);
    if (kind == PlainFile || runs)
        return runs;
    // A file with a mark gets only the readings the mark names: a reading is
    // skipped only where an earlier one of those looks for its text.
    if (!Spelled(*row, forms))
        return false;
    for (int earlier = 1; earlier < reading; ++earlier) {
        if (RunsInKind(earlier, forms, kind))
            return false;
    }
    return true;
}
