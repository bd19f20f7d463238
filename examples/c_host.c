/* A C host on Linux: it compiles its formulas once on a handle of its own, reports where a
 * formula that does not compile fails, and runs the others over each record, printing each
 * value by its type. See examples/README.md for the compile line. */
#include <stdio.h>
#include <string.h>

#include <fclib.h>

struct Order {
    const char *customer;
    int qty;
    double price;
    const char *date; /* yyyymmdd */
};

/* Compiling (raw null): the field's type. Running: its value in raw as well, a text with its
 * NUL or a raw number, described in *type. Non-zero: no such field. */
static int32_t order_field(void *data, const char *name, void *raw, uint16_t *type) {
    const struct Order *order = data;
    if (strcmp(name, "Customer") == 0) {
        *type = FCL_T_STRING;
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%s", order->customer);
    } else if (strcmp(name, "Qty") == 0) {
        *type = FCL_T_NUMBER; /* a number as text: the raw format FCL_RAW_TEXT, 0 */
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%d", order->qty);
    } else if (strcmp(name, "Price") == 0) {
        *type = FCL_T_NUMBER;
        if (raw) {
            *type = FCL_T_NUMBER | FCL_RAW_DOUBLE << 8; /* the 8 bytes of a double */
            memcpy(raw, &order->price, sizeof order->price);
        }
    } else if (strcmp(name, "OrderDate") == 0) {
        *type = FCL_T_DATE;
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%s", order->date);
    } else {
        return 1;
    }
    return 0;
}

/* A result: its type byte, then the payload (numbers are doubles in the default mode). */
static void print_value(const unsigned char *value) {
    double number;
    switch (value[0]) {
        case FCL_T_NUMBER:
            memcpy(&number, value + 1, sizeof number);
            printf("%g", number);
            break;
        case FCL_T_LOGICAL: printf("%s", value[1] ? "true" : "false"); break;
        default: printf("%s", (const char *)value + 1); /* string, time hhmmss, date yyyymmdd */
    }
}

int main(void) {
    static const struct Order orders[] = {
        {"Pen", 10, 120.0, "20240401"}, {"Notebook", 2, 780.0, "20240403"}, {"Kettle", 1, 4980.0, "20240407"}};
    static const char *const texts[] = {
        "LEFT([Customer] + SPC(10), 10) + FORMAT([Qty] * [Price], \"ZZ,ZZ9\")",
        "[Qty] * [Price] >= 2000",
        "ADATE([OrderDate], 30)",
        "[Qty] * * [Price]",
    };
    enum { TEXTS = sizeof texts / sizeof texts[0] };
    unsigned char code[TEXTS][FCL_MAX_CODE];
    int compiled[TEXTS];
    size_t i, f;
    FCLHANDLE handle = FCLCREATEHANDLE();
    if (!handle) return 1;

    for (f = 0; f < TEXTS; ++f) {
        /* The callback answers type questions; its data may be any record. */
        uint16_t status = FCLCOMPILE2(order_field, (void *)&orders[0], texts[f], code[f], NULL, handle);
        compiled[f] = status == FCL_OK;
        if (!compiled[f])
            printf("formula %u: status %u at offset %d, token \"%s\"\n", (unsigned)(f + 1), (unsigned)status,
                   fcl_error_offset(handle, texts[f]), fcl_error_token(handle));
    }
    for (i = 0; i < sizeof orders / sizeof orders[0]; ++i) {
        for (f = 0; f < TEXTS; ++f) {
            unsigned char value[FCL_MAX_VALUE];
            uint16_t status;
            if (!compiled[f]) continue;
            status = FCLEXECUTE2(order_field, (void *)&orders[i], code[f], value, handle);
            if (f > 0) printf(" | ");
            if (status == FCL_OK) print_value(value);
            else printf("status %u", (unsigned)status);
        }
        printf("\n");
    }
    FCLRELEASEHANDLE(handle);
    return 0;
}
