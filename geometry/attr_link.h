/* attr_link.h - merging an element's attribute linkages into an attribute
 * linkage list without duplicates.
 *
 * Element: an array of 16-bit little-endian words; word 1 is the number of
 * words that follow word 1, word 15 the attribute index.  The linkages run
 * from word 16 + attribute index to the element's end.  A linkage whose
 * first word has bit 12 set is a user linkage of (first word & 0xFF) + 1
 * words (word 2 its signature); any other is a 4-word database linkage
 * (word 1 entity number, words 2-3 occurrence number).  A user linkage with
 * signature 3969 carries an entity number in word 3 and an occurrence
 * number in words 4-5 and is treated as the database linkage it carries
 * (one shorter than 6 words carries no link and counts as an ordinary user
 * linkage).
 *
 * List: native 16-bit words; word 0 the number of linkages, word 1 the
 * marker -1 once the list holds a linkage, linkages from word 2 on; the
 * caller keeps the next free word index (2 for an empty list). */
#ifndef NW_GEOMETRY_ATTR_LINK_H
#define NW_GEOMETRY_ATTR_LINK_H

#include <cstdint>

/* Words in the engine's attribute linkage list: count, marker and 768
 * words of linkages. */
constexpr int32_t NW_ATTR_LIST_WORDS = 770;

/* Longest element looked at, in words (1536 bytes).  Linkages beyond it
 * are never read, whatever the element's words-to-follow says. */
constexpr int32_t NW_ATTR_MAX_ELEMENT_WORDS = 768;

/* Most linkages taken from one element. */
constexpr int32_t NW_ATTR_MAX_LINKAGES = 768;

/* Signature of the user linkage that carries a database link. */
constexpr uint16_t NW_ATTR_DB_SIGNATURE = 3969;

/* Copies the linkages of element into list, each at most once.
 *
 * Filters: entitynum non-zero keeps only database and signature-3969
 * linkages of that entity; entity_key above 0 keeps one database link per
 * entity for every entity other than entity_key (for database and
 * signature-3969 linkages alike, on either side of the comparison);
 * word_key above 0 keeps only other user linkages whose word 1 equals it.
 * Database linkages with an entity or occurrence number of 0 are never
 * taken.
 *
 * list holds list_capacity words; a linkage that does not fit is left out.
 * A linkage whose length runs past the element's end ends the walk.  An
 * out-of-range *next_attr leaves the list untouched.
 *
 * Returns 0 when the last linkage examined duplicated one in the list,
 * else 1. */
int16_t attr_link_check(const void *element, int16_t *list, int16_t *next_attr,
                        int16_t entity_key, int32_t entitynum, int16_t word_key,
                        int32_t list_capacity = NW_ATTR_LIST_WORDS);

#endif
