/*
 * A small host for instruction counts: compiles a formula and runs it N times through FCLEXECUTE,
 * answering names as execute_bench.cpp does: a raw double, except c (a logical in the third
 * formula), names starting with N (the text ABCDEFGH) and with D (the date 2024-03-15). Built and
 * run under callgrind by instructions.sh.
 *
 *   instruction_host FORMULA MODE RUNS
 *     FORMULA 0-3 for the execute benchmark's four, or a formula's text; MODE 0 (doubles) or 1
 *     (text numbers)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "fclib.h"

static int32_t number_fields(void* data, const char* name, void* raw, uint16_t* type) {
    const char* logical = (const char*)data;
    if (logical && strcmp(name, logical) == 0) {
        if (raw) ((unsigned char*)raw)[0] = 1;
        *type = (uint16_t)((FCL_RAW_U8 << 8) | FCL_T_LOGICAL);
        return 0;
    }
    if (name[0] == 'N' || name[0] == 'D') {
        if (raw) strcpy((char*)raw, name[0] == 'N' ? "ABCDEFGH" : "20240315");
        *type = name[0] == 'N' ? FCL_T_STRING : FCL_T_DATE;
        return 0;
    }
    if (!raw) { *type = FCL_T_NUMBER; return 0; }
    double value = name[0] == 'P' ? 12.5 : 3.0;
    memcpy(raw, &value, sizeof value);
    *type = (FCL_RAW_DOUBLE << 8) | FCL_T_NUMBER;
    return 0;
}

static const char* kTexts[] = {
    "[Price] * [Qty] + 1", "(a + b) * (c - d) / 2", "a > 5 AND b < 2 OR c",
    "a + b - c * d / e + f - g * h + i - j / k + l * m - n + o - p * q + r - s + t - u"};

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s FORMULA(0-3) MODE(0|1) RUNS\n", argv[0]);
        return 2;
    }
    const int numbered = argv[1][0] >= '0' && argv[1][0] <= '3' && argv[1][1] == 0;
    const int which = numbered ? argv[1][0] - '0' : -1;
    const int mode = atoi(argv[2]), runs = atoi(argv[3]);
    const char* text = numbered ? kTexts[which] : argv[1];
    void* data = which == 2 ? (void*)"c" : NULL;
    unsigned char code[FCL_MAX_CODE], result[FCL_MAX_VALUE];
    uint16_t length = 0;
    FCLSETMODE(mode);
    if (FCLCOMPILE(number_fields, data, text, code, &length)) return 1;
    unsigned status = 0;
    for (int i = 0; i < runs; ++i) status |= FCLEXECUTE(number_fields, data, code, result);
    return (int)status;
}
