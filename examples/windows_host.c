/* A Windows host that loads fclib.dll at run time: it compiles a formula once and executes it
 * per record, answering the library's field requests through its callback. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "fclib.h" /* types and constants; the functions come from GetProcAddress */

typedef uint16_t (*CompileProc)(FCLFIELDPROC, void *, const char *, unsigned char *, uint16_t *);
typedef uint16_t (*ExecuteProc)(FCLFIELDPROC, void *, const unsigned char *, unsigned char *);

struct Order {
    const char *item;
    int qty;
    double price;
};

/* Compiling, raw is null: give the field's type. Executing: write the value into raw too
 * (a string as text, a number as text or as a raw double). Non-zero: unknown field. */
static int32_t order_field(void *data, const char *name, void *raw, uint16_t *type) {
    const struct Order *order = data;
    if (strcmp(name, "Item") == 0) {
        *type = FCL_T_STRING;
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%s", order->item);
    } else if (strcmp(name, "Qty") == 0) {
        *type = FCL_T_NUMBER;
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%d", order->qty);
    } else if (strcmp(name, "Price") == 0) {
        *type = raw ? FCL_T_NUMBER | FCL_RAW_DOUBLE << 8 : FCL_T_NUMBER;
        if (raw) memcpy(raw, &order->price, sizeof order->price);
    } else {
        return 1;
    }
    return 0;
}

int main(void) {
    HMODULE dll = LoadLibraryA("fclib.dll");
    if (!dll) {
        fprintf(stderr, "cannot load fclib.dll: error %lu\n", GetLastError());
        return 1;
    }
    /* Through void (*)(void), which converts to any function pointer without a warning. */
    CompileProc compile = (CompileProc)(void (*)(void))GetProcAddress(dll, "FCLCOMPILE");
    ExecuteProc execute = (ExecuteProc)(void (*)(void))GetProcAddress(dll, "FCLEXECUTE");
    if (!compile || !execute) return 1;

    const struct Order orders[] = {{"Pen", 10, 120.0}, {"Notebook", 2, 780.0}, {"Kettle", 1, 4980.0}};
    unsigned char code[FCL_MAX_CODE];
    uint16_t length = 0;
    uint16_t status = compile(order_field, (void *)&orders[0],
                              "LEFT([Item] + SPC(10), 10) + FORMAT([Qty] * [Price], \"ZZ,ZZ9\")", code, &length);
    if (status != FCL_OK) {
        fprintf(stderr, "compile failed: status %u\n", status);
        return 1;
    }
    for (size_t i = 0; i < sizeof orders / sizeof orders[0]; ++i) {
        unsigned char value[FCL_MAX_VALUE];
        status = execute(order_field, (void *)&orders[i], code, value);
        if (status != FCL_OK || value[0] != FCL_T_STRING) {
            fprintf(stderr, "record %u: status %u\n", (unsigned)(i + 1), status);
            return 1;
        }
        printf("%s\n", (const char *)value + 1); /* type byte, then the text */
    }
    FreeLibrary(dll);
    return 0;
}
