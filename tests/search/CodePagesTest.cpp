// The system's code page tables: built from the platform's conversions, and
// kept as long as the object that returned them.
#include <gtest/gtest.h>

#include "search/CodePages.h"

// A reader holds the tables of its fonts while it reads: a table stays valid
// however many other code pages are looked up after it, and once the slots
// are used up a further code page has no table.
TEST(SystemCodePages, TablesLiveAsLongAsTheirObject)
{
    SystemCodePages pages;
    const RtfCodePage* cyrillic = pages.Find(1251);
    ASSERT_NE(cyrillic, nullptr);
    const RtfCodePage* japanese = pages.Find(932);
    ASSERT_NE(japanese, nullptr);
    for (unsigned codePage : {437u, 850u, 852u, 866u, 874u, 936u, 949u, 950u, 1250u, 1253u, 1254u, 1255u, 1256u,
                              1257u, 1258u, 10000u, 20127u, 28591u, 28592u})
        pages.Find(codePage);
    for (unsigned codePage = 1; codePage <= SystemCodePages::Slots; ++codePage)
        pages.Find(codePage);  // numbers the system mostly lacks
    EXPECT_EQ(cyrillic->units[0xCF], 0x041F);
    EXPECT_EQ(japanese->pairs[0x82A0], 0x3042);
    EXPECT_EQ(pages.Find(1251), cyrillic);
    EXPECT_EQ(pages.Find(932), japanese);
    EXPECT_EQ(pages.Find(28595), nullptr);
}
