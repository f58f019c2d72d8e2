// The program's version: the one place it is written. The version resource
// carries it; the About window and the version exchange between two starts
// read it back from there.
#pragma once

#define TOVIK_VERSION_MAJOR 1
#define TOVIK_VERSION_MINOR 0
#define TOVIK_VERSION_BUILD 0
#define TOVIK_VERSION_REVISION 1

#define TOVIK_VERSION_QUOTE(x) #x
#define TOVIK_VERSION_JOIN(a, b, c, d) TOVIK_VERSION_QUOTE(a.b.c.d)
#define TOVIK_VERSION_TEXT                                                          \
  TOVIK_VERSION_JOIN(TOVIK_VERSION_MAJOR, TOVIK_VERSION_MINOR, TOVIK_VERSION_BUILD, \
                     TOVIK_VERSION_REVISION)
