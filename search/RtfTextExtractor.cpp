// Placeholder until the RTF extractor lands: passes nothing on.
#include "search/RtfTextExtractor.h"
#include "search/ContentMatchers.h"

void ExtractRtfText(const unsigned char*, unsigned char* output, size_t capacity)
{
    if (capacity > 0)
        output[0] = 0;
}

int MatchRtfText(const unsigned char*, size_t, SearchRequest*, FoundFile*)
{
    return 1;
}
