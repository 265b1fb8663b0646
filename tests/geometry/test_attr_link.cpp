// Merging attribute linkages into a linkage list: duplicates within and
// across elements, the filters, and bounds on both the list and the element.
#include "geometry/attr_link.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace {

using Words = std::vector<uint16_t>;

// An element as little-endian bytes: a 16-word header (line string on level
// 3), attr_index filler words, then the linkages.  Words to follow covers
// everything unless given.
std::vector<uint8_t> element(std::initializer_list<Words> linkages, uint16_t attr_index = 0,
                             int wtf = -1)
{
    Words w(16 + attr_index, 0);
    w[0] = 0x0403;
    w[15] = attr_index;
    for (const Words &l : linkages)
        w.insert(w.end(), l.begin(), l.end());
    w[1] = static_cast<uint16_t>(wtf >= 0 ? wtf : static_cast<int>(w.size()) - 2);
    std::vector<uint8_t> bytes;
    for (uint16_t x : w) {
        bytes.push_back(static_cast<uint8_t>(x & 0xFF));
        bytes.push_back(static_cast<uint8_t>(x >> 8));
    }
    bytes.shrink_to_fit();
    return bytes;
}

Words db(uint16_t entity, uint32_t occurrence)
{
    return {0x0000, entity, static_cast<uint16_t>(occurrence >> 16),
            static_cast<uint16_t>(occurrence & 0xFFFF)};
}

Words db3969(uint16_t entity, uint32_t occurrence)
{
    // 8 words: header, word 1, signature, entity, occurrence (2), padding.
    return {0x1007, 0x0000, 3969, entity, static_cast<uint16_t>(occurrence >> 16),
            static_cast<uint16_t>(occurrence & 0xFFFF), 0, 0};
}

Words user(uint16_t signature, uint16_t word1, uint16_t payload)
{
    return {0x1003, word1, signature, payload};
}

struct List {
    std::vector<int16_t> w = std::vector<int16_t>(NW_ATTR_LIST_WORDS, 0);
    int16_t next = 2;

    int16_t add(const std::vector<uint8_t> &elem, int16_t entity_key = 0, int32_t entitynum = 0,
                int16_t word_key = 0)
    {
        return attr_link_check(elem.data(), w.data(), &next, entity_key, entitynum, word_key);
    }
    int16_t count() const { return w[0]; }
    Words linkage_words() const
    {
        Words out;
        for (int i = 2; i < next; i++)
            out.push_back(static_cast<uint16_t>(w[i]));
        return out;
    }
};

Words concat(std::initializer_list<Words> parts)
{
    Words out;
    for (const Words &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(AttrLink, FirstLinkageIntoEmptyList)
{
    List l;
    EXPECT_EQ(l.add(element({db(12, 40)})), 1);
    EXPECT_EQ(l.count(), 1);
    EXPECT_EQ(l.w[1], -1);
    EXPECT_EQ(l.next, 6);
    EXPECT_EQ(l.linkage_words(), db(12, 40));
}

TEST(AttrLink, LinkagesAfterAttributeIndexAreCollectedInOrder)
{
    List l;
    l.add(element({db(12, 40), user(20, 1, 2), db(12, 41), db3969(13, 7)}, 5));
    EXPECT_EQ(l.count(), 4);
    EXPECT_EQ(l.w[1], -1);
    EXPECT_EQ(l.next, 2 + 4 + 4 + 4 + 8);
    EXPECT_EQ(l.linkage_words(), concat({db(12, 40), user(20, 1, 2), db(12, 41), db3969(13, 7)}));
}

int16_t count_linkages(const Words &w)
{
    int16_t n = 0;
    for (size_t i = 0; i < w.size(); i += (w[i] & 0x1000) ? (w[i] & 0xFF) + 1 : 4)
        n++;
    return n;
}

struct DupCase {
    const char *name;
    std::vector<std::vector<uint8_t>> elements; // added one after another
    Words expected;                             // the list's linkages at the end
    int16_t last_result;                        // result of the last call
};

TEST(AttrLink, Duplicates)
{
    const DupCase cases[] = {
        {"same database linkage twice in one element", {element({db(12, 40), db(12, 40)})},
         db(12, 40), 0},
        {"same database linkage in a second element",
         {element({db(12, 40)}), element({db(12, 40)})}, db(12, 40), 0},
        {"other occurrence of the same entity is kept",
         {element({db(12, 40), db(12, 41)})}, concat({db(12, 40), db(12, 41)}), 1},
        {"signature 3969 duplicates a database linkage",
         {element({db(12, 40)}), element({db3969(12, 40)})}, db(12, 40), 0},
        {"database linkage duplicates a signature 3969 linkage",
         {element({db3969(12, 40), db(12, 40)})}, db3969(12, 40), 0},
        {"signature 3969 with other numbers is kept",
         {element({db(12, 40), db3969(12, 41)})}, concat({db(12, 40), db3969(12, 41)}), 1},
        {"identical user linkages once", {element({user(20, 1, 2)}), element({user(20, 1, 2)})},
         user(20, 1, 2), 0},
        {"user linkages differing in a word are both kept",
         {element({user(20, 1, 2), user(20, 1, 3)})}, concat({user(20, 1, 2), user(20, 1, 3)}),
         1},
        {"user linkage equal to a database linkage after the header is kept",
         {element({db(1, 2), Words{0x1003, 1, 0, 2}})}, concat({db(1, 2), Words{0x1003, 1, 0, 2}}),
         1},
        {"occurrence 0 is not taken", {element({db(12, 0)})}, {}, 1},
        {"entity 0 is not taken", {element({db(0, 40)})}, {}, 1},
        {"high occurrence word alone counts", {element({db(12, 0x10000)})}, db(12, 0x10000), 1},
        {"result tells about the last linkage only",
         {element({db(12, 40), db(12, 40), db(13, 1)})}, concat({db(12, 40), db(13, 1)}), 1},
    };
    for (const DupCase &c : cases) {
        List l;
        int16_t result = -5;
        for (const auto &e : c.elements)
            result = l.add(e);
        EXPECT_EQ(l.linkage_words(), c.expected) << c.name;
        EXPECT_EQ(l.count(), count_linkages(c.expected)) << c.name;
        EXPECT_EQ(l.w[1], c.expected.empty() ? 0 : -1) << c.name;
        EXPECT_EQ(result, c.last_result) << c.name;
    }
}

TEST(AttrLink, CountAndMarkerFollowTheLinkages)
{
    List l;
    l.add(element({db(1, 1)}));
    l.add(element({db(2, 2), db(1, 1), user(9, 9, 9)}));
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.w[1], -1);
    EXPECT_EQ(l.next, 2 + 4 + 4 + 4);

    List empty;
    empty.add(element({db(12, 0), user(5, 5, 5)}, 0), 0, 0, 7);
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(empty.w[1], 0);
    EXPECT_EQ(empty.next, 2);
}

TEST(AttrLink, EntityNumberFilter)
{
    List l;
    l.add(element({db(13, 1), db(12, 1), db3969(13, 2), db3969(12, 2), user(20, 1, 2)}), 0, 12);
    EXPECT_EQ(l.linkage_words(), concat({db(12, 1), db3969(12, 2)}));
    EXPECT_EQ(l.count(), 2);
}

TEST(AttrLink, EntityKeyKeepsOneLinkPerOtherEntity)
{
    List l;
    l.add(element({db(12, 40), db(12, 41), db(5, 1), db(5, 2), db3969(12, 42), db3969(14, 1),
                   db(14, 2)}),
          5);
    EXPECT_EQ(l.linkage_words(), concat({db(12, 40), db(5, 1), db(5, 2), db3969(14, 1)}));

    // Without the key every distinct link is kept.
    List all;
    all.add(element({db(12, 40), db(12, 41)}));
    EXPECT_EQ(all.count(), 2);
}

TEST(AttrLink, WordKeyFiltersOtherUserLinkages)
{
    List l;
    l.add(element({user(20, 8, 1), user(20, 7, 1), db(12, 40), user(21, 7, 2)}), 0, 0, 7);
    EXPECT_EQ(l.linkage_words(), concat({user(20, 7, 1), db(12, 40), user(21, 7, 2)}));
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.w[1], -1);
}

TEST(AttrLink, FullListIsNeverOverrun)
{
    // The list buffer is exactly NW_ATTR_LIST_WORDS long: any write past it
    // is caught by the address sanitizer as well as by the checks below.
    List l;
    int occurrence = 1;
    while (l.next + 4 <= NW_ATTR_LIST_WORDS - 4)
        l.add(element({db(1, static_cast<uint32_t>(occurrence++))}));
    ASSERT_EQ(l.next, NW_ATTR_LIST_WORDS - 4);
    int16_t count = l.count();

    // 8 words do not fit, the 4 after them do; nothing fits after that.
    l.add(element({db3969(2, 1), db(2, 2), db(2, 3)}));
    EXPECT_EQ(l.next, NW_ATTR_LIST_WORDS);
    EXPECT_EQ(l.count(), count + 1);
    EXPECT_EQ(static_cast<uint16_t>(l.w[NW_ATTR_LIST_WORDS - 3]), 2);
    EXPECT_EQ(static_cast<uint16_t>(l.w[NW_ATTR_LIST_WORDS - 1]), 2);

    EXPECT_EQ(l.add(element({db(3, 3)})), 1);
    EXPECT_EQ(l.next, NW_ATTR_LIST_WORDS);
    EXPECT_EQ(l.count(), count + 1);
}

TEST(AttrLink, SmallerCapacityIsHonoured)
{
    std::vector<int16_t> w(12, 0x55);
    w[0] = 0;
    w[1] = 0;
    int16_t next = 2;
    attr_link_check(element({db(1, 1), db(2, 2), db(3, 3)}).data(), w.data(), &next, 0, 0, 0, 10);
    EXPECT_EQ(next, 10);
    EXPECT_EQ(w[0], 2);
    EXPECT_EQ(w[10], 0x55);
    EXPECT_EQ(w[11], 0x55);
}

TEST(AttrLink, OutOfRangeNextAttrLeavesTheListAlone)
{
    for (int16_t bad : {int16_t(-4), int16_t(0), int16_t(1), int16_t(NW_ATTR_LIST_WORDS + 1)}) {
        List l;
        l.next = bad;
        EXPECT_EQ(l.add(element({db(1, 1)})), 1);
        EXPECT_EQ(l.next, bad);
        EXPECT_EQ(l.w[0], 0);
        EXPECT_EQ(l.w[1], 0);
        EXPECT_EQ(l.w[2], 0);
    }
}

// Each element buffer below is allocated to its exact length, so a read past
// it is caught by the address sanitizer.
TEST(AttrLink, CorruptLinkageLengthEndsTheWalk)
{
    // A user linkage declaring 256 words in an element with 2 words left.
    std::vector<uint8_t> e = element({db(12, 40), Words{0x10FF, 0}});
    List l;
    l.add(e);
    EXPECT_EQ(l.linkage_words(), db(12, 40));

    // A database linkage cut short by the element's end.
    std::vector<uint8_t> cut = element({db(1, 1), Words{0x0000, 2, 0}});
    List m;
    m.add(cut);
    EXPECT_EQ(m.linkage_words(), db(1, 1));
}

TEST(AttrLink, ElementLengthComesFromWordsToFollow)
{
    // Words to follow stops before the second linkage: it is never looked at.
    std::vector<uint8_t> e = element({db(1, 1), db(2, 2)}, 0, 16 + 4 - 2);
    List l;
    l.add(e);
    EXPECT_EQ(l.linkage_words(), db(1, 1));

    // An attribute index past the element's end: no linkages.
    std::vector<uint8_t> past = element({}, 3, 16);
    List m;
    m.add(past);
    EXPECT_EQ(m.next, 2);
}

TEST(AttrLink, ShortElementIsNotReadPastItsEnd)
{
    // 7 words in all: no room for an attribute index.
    std::vector<uint8_t> e = {0x03, 0x04, 5, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
    List l;
    EXPECT_EQ(l.add(e), 1);
    EXPECT_EQ(l.next, 2);
}

TEST(AttrLink, HugeWordsToFollowIsCappedAtTheLargestElement)
{
    // A full-size element (768 words) claiming 65535 words to follow; its
    // linkage area is filled with distinct database linkages.
    const int n = (NW_ATTR_MAX_ELEMENT_WORDS - 16) / 4;
    std::vector<uint8_t> e = element({}, 0, 0xFFFF);
    for (int i = 0; i < n; i++) {
        for (uint16_t x : db(static_cast<uint16_t>(i + 1), 1)) {
            e.push_back(static_cast<uint8_t>(x & 0xFF));
            e.push_back(static_cast<uint8_t>(x >> 8));
        }
    }
    ASSERT_EQ(e.size(), static_cast<size_t>(2 * NW_ATTR_MAX_ELEMENT_WORDS));
    e.shrink_to_fit();
    List l;
    l.add(e);
    EXPECT_EQ(l.count(), n);
    EXPECT_EQ(l.next, 2 + 4 * n);
}

} // namespace
