/* A C host built against an installed fclib: compiles and runs [Price] * [Qty] + 1, then prints
 * the era name of 2024-04-01 (code page 932 bytes), which comes from the profile the library
 * finds. */
#include <stdio.h>
#include <string.h>

#include <fclib.h>

static int32_t fields(void *data, const char *name, void *raw, uint16_t *type) {
    (void)data;
    *type = FCL_T_NUMBER;
    if (raw) strcpy((char *)raw, strcmp(name, "Price") == 0 ? "12.5" : "4");
    return 0;
}

int main(void) {
    unsigned char code[FCL_MAX_CODE], result[FCL_MAX_VALUE];
    double value;
    if (FCLCOMPILE(fields, NULL, "[Price] * [Qty] + 1", code, NULL) != FCL_OK) return 1;
    if (FCLEXECUTE(fields, NULL, code, result) != FCL_OK || result[0] != FCL_T_NUMBER) return 1;
    memcpy(&value, result + 1, sizeof value);
    printf("fclib %s: %g\n", FCL_VERSION, value);
    if (value != 51.0) return 1;
    if (FCLCOMPILE(fields, NULL, "SEI2WA(CTOD(\"2024/04/01\"))", code, NULL) != FCL_OK) return 1;
    if (FCLEXECUTE(fields, NULL, code, result) != FCL_OK || result[0] != FCL_T_STRING) return 1;
    printf("era %s\n", (const char *)result + 1);
    return 0;
}
