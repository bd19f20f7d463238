/* A C host that keeps running totals per group: SUM([Amount]) and COUNT([Amount]) run once per
 * record, and the totals start again with each category. The aggregates ask the host for the
 * values to fold in through the same field callback; this host answers them as fclib.h
 * describes under "Aggregates".
 *
 *   cc -std=c99 -Wall -Wextra -Werror -I<prefix>/include group_totals.c \
 *      -L<prefix>/lib -lfclib -Wl,-rpath,<prefix>/lib -o group_totals */
#include <stdio.h>
#include <string.h>

#include <fclib.h>

struct Order {
    const char *category;
    double amount;
};

/* The records, in groups of one category each. */
static const struct Order orders[] = {
    {"Stationery", 1200}, {"Stationery", 1560}, {"Stationery", 5800},
    {"Books", 1650},      {"Books", 2860},
    {"Food", 3440},       {"Food", 2580},       {"Food", 1960},       {"Food", 1620},
};
#define ORDER_COUNT (sizeof orders / sizeof orders[0])

/* The record being run, its pass key, and whether it closes its group. */
struct Host {
    const struct Order *order;
    uint16_t pass_key;
    int group_ends;
};

/* The aggregates' requests carry the library's own data pointer, not the host's: the callback
 * finds the host of the run in progress here (one thread runs the report). */
static struct Host *current;

/* Request codes in the 32 bits at data. */
#define QUERY 3
#define VALUE_REQUEST 2

/* The host's own fields: the type when compiling (raw null), type and value when running. */
static int32_t order_field(const struct Host *host, const char *name, void *raw, uint16_t *type) {
    if (strcmp(name, "Amount") == 0) {
        *type = FCL_T_NUMBER;
        if (raw) {
            *type = FCL_T_NUMBER | FCL_RAW_DOUBLE << 8;
            memcpy(raw, &host->order->amount, sizeof host->order->amount);
        }
    } else if (strcmp(name, "Category") == 0) {
        *type = FCL_T_STRING;
        if (raw) snprintf(raw, FCL_RAW_BUFFER, "%s", host->order->category);
    } else {
        return 1; /* unknown field */
    }
    return 0;
}

static int32_t callback(void *data, const char *name, void *raw, uint16_t *type) {
    int32_t request;
    if (data == current) return order_field(current, name, raw, type);
    memcpy(&request, data, sizeof request);
    /* SUM, AVG, MIN and MAX ask first how to total: the answer is the return value. */
    if (request == QUERY) return FCL_AGG_RESET; /* running totals across runs */
    if (request == VALUE_REQUEST) {
        /* The first request of a call still holds the reference kind: give this record's
         * value. The next one ends the call: keep the total, or report it and clear it when
         * the record closes its group. Both answer with the record's pass key. */
        if ((*type == FCL_T_FIELD || *type == FCL_T_NAME) && order_field(current, name, raw, type) == 0)
            return current->pass_key;
        *type = current->group_ends ? FCL_AGG_RESET : FCL_AGG_CONTINUE;
        return current->pass_key;
    }
    /* A P form (PSUM, ...): its name at data. No values: the end mark, answered with 0. */
    *type = FCL_AGG_RESET;
    return 0;
}

/* Runs code on the current record and reads its number. */
static int run(const unsigned char *code, double *number) {
    unsigned char value[FCL_MAX_VALUE];
    uint16_t status = FCLEXECUTE(callback, current, code, value);
    if (status != FCL_OK || value[0] != FCL_T_NUMBER) {
        fprintf(stderr, "run failed: status %u\n", (unsigned)status);
        return 0;
    }
    memcpy(number, value + 1, sizeof *number);
    return 1;
}

int main(void) {
    const char *const formulas[2] = {"SUM([Amount])", "COUNT([Amount])"};
    unsigned char code[2][FCL_MAX_CODE];
    struct Host host = {orders, 0, 0};
    size_t i;
    int f;

    FCLINIT(0, NULL); /* the fixed work areas: ten slots of each aggregate, all zero */
    current = &host;
    for (f = 0; f < 2; ++f) {
        uint16_t status = FCLCOMPILE(callback, current, formulas[f], code[f], NULL);
        if (status != FCL_OK) {
            fprintf(stderr, "%s: status %u\n", formulas[f], (unsigned)status);
            return 1;
        }
    }
    printf("%-10s  %6s  %6s  %5s\n", "Category", "Amount", "Total", "Count");
    for (i = 0; i < ORDER_COUNT; ++i) {
        double total, count;
        host.order = &orders[i];
        /* A new key per record: the library numbers the record's aggregate calls from the
         * first slot again. 2..1000 stays clear of the status codes. */
        host.pass_key = (uint16_t)(2 + i % 999);
        host.group_ends = i + 1 == ORDER_COUNT || strcmp(orders[i + 1].category, orders[i].category) != 0;
        /* The same formulas in the same order every record: each takes the same slot. */
        if (!run(code[0], &total) || !run(code[1], &count)) return 1;
        printf("%-10s  %6.0f  %6.0f  %5.0f\n", orders[i].category, orders[i].amount, total, count);
        if (host.group_ends) printf("%-10s  %6s  %6.0f  %5.0f\n\n", "Subtotal", "", total, count);
    }
    return 0;
}
