/* A host linked with libfclib.a. No load notification runs for a static link, so this checks,
 * before any other call, that the decimal backend is already installed, that a text-number
 * literal is written by it, and that the load-time settings are read from the profile that
 * exists when the first entry point runs (written here, after the process started). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fclib.h"

/* profile_location.cpp: the path of ORBISRPT.INI where the library looks for it. */
int profile_location(char *out, size_t out_size);

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

static int32_t no_fields(void *data, const char *name, void *raw, uint16_t *type) {
    (void)data; (void)name; (void)raw; (void)type;
    return 1;
}

int main(void) {
    char path[1024];
    if (!profile_location(path, sizeof path)) return 2;
    FILE *profile = fopen(path, "w");
    if (!profile) return 2;
    fputs("[Fclib]\nMonth=Ichi,Ni,San\n", profile);
    fclose(profile);

    check(NumType() == FCL_BACKEND_DECIMAL, "NumType() is FCL_BACKEND_DECIMAL at start");
    check(NumSize() == 28, "NumSize() is 28 at start");

    FCLSETMODE(1);
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    check(FCLCOMPILE(no_fields, NULL, "1.50", code, &length) == FCL_OK, "1.50 compiles");
    check(length > 5 && strcmp((const char *)code + 5, "150000000e-8") == 0, "1.50 is written 150000000e-8");

    unsigned char result[FCL_MAX_VALUE];
    check(FCLCOMPILE(no_fields, NULL, "MONTH2(\"20240215\")", code, &length) == FCL_OK, "MONTH2 compiles");
    check(FCLEXECUTE(no_fields, NULL, code, result) == FCL_OK, "MONTH2 runs");
    check(result[0] == FCL_T_STRING && strcmp((const char *)result + 1, "Ni") == 0,
          "the month names come from the profile");

    remove(path);
    if (failures == 0) puts("static link: decimal backend, 150000000e-8 and the profile's month names");
    return failures == 0 ? 0 : 1;
}
