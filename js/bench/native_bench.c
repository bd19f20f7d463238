/* The native times bench.mjs compares with: FCLEXECUTE of [Price] * [Qty] + 1 with a callback
 * answering doubles, and FCLCOMPILE of the same formula bench.mjs compiles; prints ns per call,
 * each the fastest of several samples (the machine's other work only ever adds time). */
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

enum { kSamples = 20, kRuns = 100000, kCompiles = 2000 };

int main(void) {
    static const char text[] = "IF([Qty] > 10, FORMAT([Price] * [Qty], \"#,##0\"), LEFT(\"abc\", 2))";
    unsigned char code[FCL_MAX_CODE], other[FCL_MAX_CODE], result[FCL_MAX_VALUE];
    uint16_t length;
    FCLCOMPILE(field, NULL, "[Price] * [Qty] + 1", code, &length);
    double run = 1e300, compile = 1e300;
    for (int sample = 0; sample < kSamples; ++sample) {
        double start = now();
        for (int i = 0; i < kRuns; ++i) FCLEXECUTE(field, NULL, code, result);
        const double run_time = (now() - start) / kRuns;
        start = now();
        for (int i = 0; i < kCompiles; ++i) FCLCOMPILE(field, NULL, text, other, &length);
        const double compile_time = (now() - start) / kCompiles;
        if (run_time < run) run = run_time;
        if (compile_time < compile) compile = compile_time;
    }
    printf("%f %f\n", run, compile);
    return 0;
}
