/*
 * libfclib_batch: runs compiled formulas over column arrays, and the formula analysis as plain
 * C functions, for the Python package (python/). The library carries its own copy of fclib's
 * process-wide state: fclb_setup gives it the number mode, backend and aggregate areas.
 */
#ifndef FCLIB_BATCH_H
#define FCLIB_BATCH_H

#include <stdint.h>

#define FCLB_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Storage of an input column. */
#define FCLB_F64    1 /* double values[rows] */
#define FCLB_TEXT   2 /* bytes[offsets[i] .. offsets[i + 1]): code page 932 text, number or digits */
#define FCLB_BOOL   3 /* uint8_t values[rows], nonzero true */
#define FCLB_DIGITS 4 /* int32_t values[rows]: a date as yyyymmdd, a time as hhmmss */

typedef struct fclb_column {
    const char *name;         /* code page 932, NUL-terminated */
    int32_t type;             /* FCL_T_STRING ... FCL_T_DATE */
    int32_t storage;          /* FCLB_* */
    const void *values;
    const int64_t *offsets;   /* FCLB_TEXT: rows + 1 offsets into bytes */
    const char *bytes;
    const uint8_t *nulls;     /* null, or rows flags: nonzero where the row has no value */
} fclb_column;

/* The result column of one formula, owned by the batch that made it. */
typedef struct fclb_output {
    const uint8_t *types;     /* rows: each value's type byte */
    const uint16_t *status;   /* rows: FCL_OK or the run's status (the value is then blank) */
    const double *numbers;    /* rows: double-mode numbers (0 elsewhere) */
    const uint8_t *logicals;  /* rows: logicals (0 elsewhere) */
    const int64_t *offsets;   /* rows + 1: the texts of strings, dates (yyyymmdd), times (hhmmss)
                                 and text numbers (plain decimal) */
    const char *bytes;
    int64_t failures;         /* rows whose status is not FCL_OK */
} fclb_output;

typedef struct fclb_batch fclb_batch;

/* Sets the library's process-wide state, in this order: NumSetup(backend), FCLSETMODE(mode),
 * FCLINIT(0, &init_mode). Call it once, before anything else and before threads start. */
FCLB_API void fclb_setup(int32_t mode, int32_t backend, int32_t init_mode);

/* What a compiled formula needs of the records' order: FCLB_ORDER_AGGREGATE (a running COUNT,
 * SUM, AVG, MIN or MAX) and FCLB_ORDER_PAGE bits, 0 for a formula that reads one row alone. */
#define FCLB_ORDER_AGGREGATE 1
#define FCLB_ORDER_PAGE      2
FCLB_API int32_t fclb_formula_order(const unsigned char *code);

/*
 * Runs the formulas codes[0 .. count) on every row in order, formula after formula within a
 * row as fcl report does; formula i may read the results of formulas before it by names[i]
 * (a column of the input of that name wins). group_last: null (the input is one group) or rows
 * flags, nonzero at the last row of a group, where running aggregates report and start again.
 * Formulas that need the order run under one process-wide lock, after clearing the aggregate
 * areas and restarting PAGE at 1. Returns null when memory is exhausted.
 */
FCLB_API fclb_batch *fclb_evaluate(const unsigned char *const *codes, const char *const *names, int32_t count,
                                   const fclb_column *columns, int32_t column_count, int64_t rows,
                                   const uint8_t *group_last);
FCLB_API void fclb_output_of(const fclb_batch *batch, int32_t formula, fclb_output *out);
FCLB_API void fclb_free(fclb_batch *batch);

/* ---- The analysis ---- */

/* Fields for compile: names (code page 932) and their type codes. */
typedef struct fclb_fields {
    int32_t count;
    const char *const *names;
    const uint8_t *types;
} fclb_fields;

typedef struct fclb_diagnostic {
    int32_t status;           /* FCL_OK or an FCL_E_ status */
    int32_t begin, end;       /* byte offsets of the token the compiler stopped at */
    char message[96];         /* the status in words */
    char reason[256];         /* what went wrong in particular; may be empty */
} fclb_diagnostic;

/* Compiles text with the fields and describes the outcome; returns the status. */
FCLB_API int32_t fclb_diagnose(const char *text, const fclb_fields *fields, fclb_diagnostic *out);

typedef struct fclb_warning {
    char code[48];
    int32_t begin, end;
    char message[256];
    int32_t has_fix;
    int32_t fix_begin, fix_end;
    char fix[528];
} fclb_warning;

/* The linter's warnings (at most most) for text in the current number mode; the count written.
 * A formula that does not compile has none: diagnostic tells why. */
FCLB_API int32_t fclb_lint(const char *text, const fclb_fields *fields, fclb_warning *out, int32_t most,
                           fclb_diagnostic *diagnostic);

typedef struct fclb_function {
    const char *name;
    int32_t record;           /* 1-based */
    int32_t argc;
    uint16_t result;          /* type masks */
    uint16_t args[11];
    const char *summary;
    int32_t aggregate;        /* 0 none, 1 running, 2 per call */
    const char *docs_anchor;
} fclb_function;

FCLB_API int32_t fclb_function_count(void);
/* Fills out for a 1-based record; 0 outside 1 .. fclb_function_count(). */
FCLB_API int32_t fclb_function_info(int32_t record, fclb_function *out);

#ifdef __cplusplus
}
#endif

#endif /* FCLIB_BATCH_H */
