/* Compiles formulas with the native library for the JavaScript case runner's comparison. Each
 * input line: MODE BACKEND TEXT_HEX ANSWERS, where ANSWERS are the type words the callback gives
 * to the compile's queries in order (comma-separated, "x" a refusal, "-" none). Each output
 * line: STATUS CODE_HEX. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fclib.h"

static char *answers;

static int32_t answer(void *data, const char *name, void *raw, uint16_t *type) {
    (void)data, (void)name, (void)raw;
    char *word = strsep(&answers, ",");
    if (!word || word[0] == 'x' || word[0] == '-') return 1;
    *type = (uint16_t)strtol(word, NULL, 0);
    return 0;
}

int main(void) {
    static char line[8192], text[2048], list[4096];
    int mode, backend;
    while (fgets(line, sizeof line, stdin)) {
        char hex[4096];
        if (sscanf(line, "%d %d %4095s %4095s", &mode, &backend, hex, list) != 4) return 2;
        size_t n = 0;
        for (const char *p = hex; p[0] && p[1] && p[0] != '-'; p += 2) {
            char byte[3] = {p[0], p[1], 0};
            text[n++] = (char)strtol(byte, NULL, 16);
        }
        text[n] = 0;
        NumSetup(backend);
        FCLSETMODE(mode);
        answers = list;
        unsigned char code[FCL_MAX_CODE];
        uint16_t length = 0;
        const uint16_t status = FCLCOMPILE(answer, NULL, text, code, &length);
        printf("%u ", status);
        for (uint16_t i = 0; i < length; ++i) printf("%02X", code[i]);
        printf("\n");
    }
    return 0;
}
