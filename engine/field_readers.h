/*
 * field_readers.h - the three ways a comma-separated option value is read.
 *
 * A value such as "12,7,2.5" holds fields separated by commas; field n
 * (from 0) is the text between the n-th and (n+1)-th comma. A missing
 * field reads as empty.
 */
#ifndef NW_ENGINE_FIELD_READERS_H
#define NW_ENGINE_FIELD_READERS_H

/* Leading decimal integer of field n (atoi rules, no digits gives 0),
 * clamped to the range of int. */
int field_int(const char *value, int n);

/* Leading floating-point number of field n (atof rules, none gives 0). */
double field_real(const char *value, int n);

/* Every digit of field n appended as a decimal digit, all other characters
 * skipped; an empty field gives 0. Saturates at the largest int. */
int field_digits(const char *value, int n);

#endif
