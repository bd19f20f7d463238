/* The native times bench.mjs compares with: FCLEXECUTE of [Price] * [Qty] + 1 with a callback
 * answering doubles, and FCLCOMPILE of the same formula bench.mjs compiles; prints ns per call. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "fclib.h"

static int32_t field(void *data, const char *name, void *raw, uint16_t *type) {
    (void)data;
    if (!raw) {
        *type = FCL_T_NUMBER;
        return 0;
    }
    const double value = name[0] == 'P' ? 2.0 : 3.0;
    memcpy(raw, &value, sizeof value);
    *type = FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8);
    return 0;
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

int main(void) {
    unsigned char code[FCL_MAX_CODE], result[FCL_MAX_VALUE];
    uint16_t length;
    FCLCOMPILE(field, NULL, "[Price] * [Qty] + 1", code, &length);
    const int runs = 2000000, compiles = 200000;
    double start = now();
    for (int i = 0; i < runs; ++i) FCLEXECUTE(field, NULL, code, result);
    const double run = (now() - start) / runs;
    unsigned char other[FCL_MAX_CODE];
    start = now();
    for (int i = 0; i < compiles; ++i)
        FCLCOMPILE(field, NULL, "IF([Qty] > 10, FORMAT([Price] * [Qty], \"#,##0\"), LEFT(\"abc\", 2))", other, &length);
    printf("%f %f\n", run, (now() - start) / compiles);
    return 0;
}
