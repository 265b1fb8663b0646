/* attr_link.cpp - collects an element's attribute linkages into an attribute
 * linkage list, each database link and each user linkage once. */
#include "geometry/attr_link.h"

#include <cstddef>

namespace {

const uint16_t kUserBit = 0x1000;
const int32_t kDatabaseWords = 4;
const int32_t kMaxUserWords = 256;

enum class Kind { Database, DbUser, OtherUser };

/* One linkage, as words of the host's order. */
struct Linkage {
    uint16_t w[kMaxUserWords];
    int32_t len;
    Kind kind;
    uint32_t entity;     /* database and signature-3969 kinds */
    uint32_t occurrence; /* likewise */
};

int32_t linkage_words(uint16_t first)
{
    return (first & kUserBit) ? (first & 0xFF) + 1 : kDatabaseWords;
}

/* Fills kind, entity and occurrence from w[0 .. len). */
void classify(Linkage *r)
{
    const uint16_t *w = r->w;
    r->entity = 0;
    r->occurrence = 0;
    if (!(w[0] & kUserBit)) {
        r->kind = Kind::Database;
        r->entity = w[1];
        r->occurrence = (static_cast<uint32_t>(w[2]) << 16) | w[3];
    } else if (r->len >= 6 && w[2] == NW_ATTR_DB_SIGNATURE) {
        r->kind = Kind::DbUser;
        r->entity = w[3];
        r->occurrence = (static_cast<uint32_t>(w[4]) << 16) | w[5];
    } else {
        r->kind = Kind::OtherUser;
    }
}

bool carries_db_link(Kind k)
{
    return k == Kind::Database || k == Kind::DbUser;
}

uint16_t element_word(const uint8_t *bytes, int32_t i)
{
    return static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

/* Whether r passes the entity and word filters at all. */
bool wanted(const Linkage &r, int32_t entitynum, int16_t word_key)
{
    switch (r.kind) {
    case Kind::Database:
        return r.entity > 0 && r.occurrence > 0 &&
               (entitynum == 0 || static_cast<int64_t>(r.entity) == entitynum);
    case Kind::DbUser:
        return entitynum == 0 || static_cast<int64_t>(r.entity) == entitynum;
    case Kind::OtherUser:
        if (entitynum != 0)
            return false;
        if (word_key > 0 && (r.len < 2 || r.w[1] != static_cast<uint16_t>(word_key)))
            return false;
        return true;
    }
    return false;
}

/* Whether e, a linkage already in the list, makes r redundant. */
bool duplicates(const Linkage &r, const Linkage &e, int16_t entity_key)
{
    if (carries_db_link(r.kind)) {
        if (!carries_db_link(e.kind))
            return false;
        if (r.entity == e.entity && r.occurrence == e.occurrence)
            return true;
        /* With an entity key, every other entity keeps one link only. */
        return entity_key > 0 && r.entity != static_cast<uint32_t>(entity_key) &&
               e.entity == r.entity;
    }
    if (e.kind == Kind::Database || e.len != r.len)
        return false;
    for (int32_t k = 1; k < r.len; k++)
        if (r.w[k] != e.w[k])
            return false;
    return true;
}

/* Whether any linkage of list[2 .. next) duplicates r.  A list linkage that
 * runs past next ends the search. */
bool in_list(const Linkage &r, const int16_t *list, int32_t next, int16_t entity_key)
{
    Linkage e;
    int32_t pos = 2;
    while (pos < next) {
        e.len = linkage_words(static_cast<uint16_t>(list[pos]));
        if (pos + e.len > next)
            return false;
        for (int32_t k = 0; k < e.len; k++)
            e.w[k] = static_cast<uint16_t>(list[pos + k]);
        classify(&e);
        if (duplicates(r, e, entity_key))
            return true;
        pos += e.len;
    }
    return false;
}

} // namespace

int16_t attr_link_check(const void *element, int16_t *list, int16_t *next_attr,
                        int16_t entity_key, int32_t entitynum, int16_t word_key,
                        int32_t list_capacity)
{
    int16_t result = 1;
    if (element == nullptr || list == nullptr || next_attr == nullptr)
        return result;
    if (list_capacity > INT16_MAX)
        list_capacity = INT16_MAX; /* next_attr is a 16-bit index */
    int32_t next = *next_attr;
    if (next < 2 || next > list_capacity)
        return result;

    const uint8_t *bytes = static_cast<const uint8_t *>(element);
    int32_t words = 2 + static_cast<int32_t>(element_word(bytes, 1));
    if (words > NW_ATTR_MAX_ELEMENT_WORDS)
        words = NW_ATTR_MAX_ELEMENT_WORDS;
    if (words <= 16)
        return result;

    Linkage r;
    int32_t pos = 16 + static_cast<int32_t>(element_word(bytes, 15));
    for (int32_t n = 0; n < NW_ATTR_MAX_LINKAGES && pos < words; n++) {
        r.len = linkage_words(element_word(bytes, pos));
        if (pos + r.len > words)
            break;
        for (int32_t k = 0; k < r.len; k++)
            r.w[k] = element_word(bytes, pos + k);
        pos += r.len;
        classify(&r);

        result = 1;
        if (!wanted(r, entitynum, word_key))
            continue;
        if (in_list(r, list, next, entity_key)) {
            result = 0;
            continue;
        }
        if (next + r.len > list_capacity)
            continue; /* no room: left out rather than overrun the list */

        list[0] = static_cast<int16_t>(next == 2 ? 1 : list[0] + 1);
        list[1] = -1;
        for (int32_t k = 0; k < r.len; k++)
            list[next + k] = static_cast<int16_t>(r.w[k]);
        next += r.len;
    }
    *next_attr = static_cast<int16_t>(next);
    return result;
}
