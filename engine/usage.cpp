/*
 * usage.cpp - the banner and the usage texts printed on bad command lines.
 */
#include "engine/usage.h"
#include "engine/run_options.h"

#include <cstdio>

void print_banner()
{
    std::printf("\n\nRUNNING VKR_nodeweld (version %.1f) .....\n", NW_VERSION);
    std::printf("Copyright (c) 2026 the nodeweld developers. Free to use on your own design files.\n");
}

void print_short_usage()
{
    std::printf(
        "\n nodeweld is run by keying in the command line:\n\n"
        "          nodeweld [ -U ulfname ] [ -L levelout ] [ -T distance(MUs) ] [-s] [-Nm]\n"
        "                 [ -S style,weight,color,class ] [ -D d_levelout,d_size(MUs) ]\n"
        "                  [ [ -F dgnfilename ]\n"
        "                  [-ll input_level(s) ] [ -lo input_color(s) ]\n"
        "                  [ -lw input_weight(s) ] [ -ls input_style(s) ]\n"
        "                  [ -lc input_class(es) ] [ -e input_element_type(s) ] ]\n");
}

void print_long_usage()
{
    std::printf(
        "\n nodeweld is run by keying in the command line:\n\n"
        "                nodeweld [ -U ulfname ] [ -L levelout ] [ -T distance(MUs) ] [-R] [-s]\n"
        "                        [ -S style,weight,color,class ] [ -D d_levelout,d_size(MUs) [ -w ]]\n"
        "                        [ -F dgnfilename ] [-f flag_lev,flag_size]\n"
        "                        [ -ll input_level(s) ] [ -lo input_color(s) ]\n"
        "                         [ -lw input_weight(s) ] [ -ls input_style(s) ]\n"
        "                        [ -lc input_class(es) ] [ -e input_element_type(s) ] ]\n");
}
