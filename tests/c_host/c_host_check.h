/* The C hosts' one check: counts a failed condition and says where it was,
   with the library's last error. */
#ifndef TAVELNOR_C_HOST_CHECK_H
#define TAVELNOR_C_HOST_CHECK_H

#include <stdio.h>

#include "tavelnor/zavl.h"

static int failures = 0;

#define CHECK(cond)                                                               \
  do {                                                                            \
    if (!(cond)) {                                                                \
      fprintf(stderr, "%s:%d: check failed: %s (last error %d)\n", __FILE__,     \
              __LINE__, #cond, (int)ZAVL_GetLastError());                         \
      ++failures;                                                                 \
    }                                                                             \
  } while (0)

#endif
