/*
 * usage.h - the banner and the two usage texts of nodeweld.
 */
#ifndef NW_ENGINE_USAGE_H
#define NW_ENGINE_USAGE_H

void print_banner();
void print_short_usage();
void print_long_usage();

#endif
