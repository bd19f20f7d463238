/*
 * fclib: formula compiler and executor for report-generation hosts.
 *
 * The host compiles formula text once (FCLCOMPILE / FCLCOMPILE2) into a byte block
 * of at most FCL_MAX_CODE bytes and runs it as often as needed (FCLEXECUTE /
 * FCLEXECUTE2); each run writes one tagged value (type byte + payload, at most
 * FCL_MAX_VALUE bytes) into the host's result buffer. Field values are pulled
 * through the host's field callback. The Num functions expose the numeric
 * backend that text-number mode computes with.
 *
 * Threads: separate handles may be used on separate threads at the same time. What they
 * share is process-wide by design: the number-encoding mode, the backend, the load-time
 * settings and month names, FORMAT's minus marks (read once, safely), and the aggregate
 * work areas and PAGE's counter, whose updates are serialised inside the library so that
 * concurrent runs share one set of totals. FCLSETMODE, NumSetup and FCLINIT change
 * process-wide state: call them before the threads start. The global context (FCLCOMPILE,
 * FCLEXECUTE) is one context: use it from one thread at a time, and a handle likewise.
 * A field callback may call into other contexts, but not into the one that is running it
 * (FCL_E_BUSY).
 *
 * Settings: the library reads them from the profile ORBISRPT.INI, section [Fclib], as the
 * Windows profile routines read it (UTF-8 and UTF-16 files with a byte-order mark too). On
 * Windows that is the file in the Windows directory. Elsewhere the first of these that holds
 * it: the directory named by the environment variable FCLIB_PROFILE_DIR (when set, the only
 * one looked in); for the shared library, <libdir>/../etc/fclib beside the installed
 * libfclib.so (so an installation under any prefix finds the profile it installed); the
 * configuration directory fixed when the library was built (e.g. /usr/local/etc/fclib, the
 * only one for the static library). The file's name compares without case.
 *
 * Plain C99 (it compiles as C99, C11 and later, with -pedantic-errors too), usable from C and
 * C++; fclib.hpp is a C++17 layer over it.
 */
#ifndef FCLIB_H
#define FCLIB_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

/* On Windows a host that links the static library (libfclib.a) defines FCLIB_STATIC. */
#if defined(_WIN32)
#  if defined(FCLIB_BUILDING)
#    define FCL_API __declspec(dllexport)
#  elif defined(FCLIB_STATIC)
#    define FCL_API
#  else
#    define FCL_API __declspec(dllimport)
#  endif
#else
#  define FCL_API __attribute__((visibility("default")))
#endif

/* The library's version; the shared library's SONAME carries the major number. */
#define FCL_VERSION_MAJOR 1
#define FCL_VERSION_MINOR 0
#define FCL_VERSION_PATCH 0
#define FCL_VERSION "1.0.0"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes: 0 is success. fcl::status_message (fclib.hpp) gives the same meanings in words. */
#define FCL_OK                0
#define FCL_E_SYNTAX          1001 /* syntax error in the formula text */
#define FCL_E_UNKNOWN_NAME    1002 /* unknown function or operator name; at run time, a bad function index */
#define FCL_E_TYPE            1003 /* type error: an argument's type, count or content does not fit */
#define FCL_E_TOO_LONG        1004 /* string result longer than 512 bytes */
/* Field failure: the callback refused the field (or there is no callback): an unknown field, or
 * a value that does not fit its type. */
#define FCL_E_CALLBACK        1005
#define FCL_E_STACK_FULL      1006 /* stack full: the formula is nested too deeply or holds too many values */
#define FCL_E_CODE            1007 /* code error: the compiled formula is too long or ill-formed */
#define FCL_E_NODE_POOL       1008 /* the formula is too large for the compiler's node pool */
#define FCL_E_DIVIDE_BY_ZERO  1009 /* division by zero */
/* The context is busy: a field callback called FCLCOMPILE(2) or FCLEXECUTE(2) on the context
 * whose run called it. The inner call changes nothing in the context (a refused compile still
 * writes the empty formula, a refused run the blank value to the caller's buffers) and the outer
 * run goes on unharmed. Other contexts may be used. */
#define FCL_E_BUSY            1010

/* Type codes of tagged values and formula items; values 1..16 also form type masks. */
#define FCL_T_STRING     1
#define FCL_T_NUMBER     2
#define FCL_T_LOGICAL    4
#define FCL_T_TIME       8
#define FCL_T_DATE       16
#define FCL_T_FIELD      32
#define FCL_T_NAME       64
#define FCL_T_FUNCTION   128
#define FCL_T_ANY_BUT_LOGICAL 27
#define FCL_T_ANY        31

/* Raw number formats: the high byte of a value type word returned by the callback. */
#define FCL_RAW_TEXT   0x00
#define FCL_RAW_U8     0x10
#define FCL_RAW_I8     0x90
#define FCL_RAW_U16    0x20
#define FCL_RAW_I16    0xA0
#define FCL_RAW_U32    0x40
#define FCL_RAW_I32    0xC0
#define FCL_RAW_DOUBLE 0x80

/* Aggregate answers (see Aggregates below): end marks in the value type word, and the query's
 * answers as the callback's return value. */
#define FCL_AGG_CONTINUE 0xFFFE
#define FCL_AGG_RESET    0xFFFF

/*
 * Compiled formula: a 4-byte header, the items in postfix order (each a tagged value; a
 * function call is FCL_T_FUNCTION and the 1-based function index), and a terminating 0.
 * Header: byte 0 the result type mask, byte 1 the formula flags, bytes 2-3 the block's
 * total length, little-endian.
 */
#define FCL_CODE_HEADER  4
/* Formula flags: what the text contained, recorded for the host (the library never reads them). */
#define FCL_FLAG_AND              0x01 /* AND or && */
#define FCL_FLAG_OR               0x02 /* OR or || */
#define FCL_FLAG_COMPARISON       0x04 /* a comparison operator */
#define FCL_FLAG_ARITHMETIC       0x08 /* + - * / %, a unary minus or ! */
#define FCL_FLAG_FUNCTION         0x10 /* a function name */
#define FCL_FLAG_NAME             0x20 /* a name reference */
#define FCL_FLAG_LEFT_NOT_NAME    0x40 /* a comparison whose first operand is no name reference */
#define FCL_FLAG_LEAF_COMPARISON  0x80 /* the whole formula compares two literals or references */

/* The total length stored in a compiled formula's header. */
static inline uint16_t fcl_code_length(const unsigned char *code) {
    return (uint16_t)(code[2] | (code[3] << 8));
}

/*
 * Tagged value: a type byte, then the payload: string, time (hhmmss) and date (yyyymmdd) a
 * NUL-terminated text; number 8 bytes of a double in double-number mode (FCLMODE() 0), else a
 * NUL-terminated number text; logical one byte (0 false); in a compiled formula also field and
 * name references (the name, NUL, then FF FF) and function calls (the 1-based function index).
 * fcl_value_size gives the bytes of the value at value, reading at most limit bytes; 0 when no
 * value starts there or it does not end within limit.
 */
static inline size_t fcl_value_size(const unsigned char *value, size_t limit, int text_numbers) {
    size_t extra;
    const unsigned char *nul;
    if (limit < 2) return 0;
    switch (value[0]) {
        case FCL_T_LOGICAL: case FCL_T_FUNCTION: return 2;
        case FCL_T_NUMBER:
            if (!text_numbers) return limit >= 9 ? 9 : 0;
            extra = 2;
            break;
        case FCL_T_STRING: case FCL_T_TIME: case FCL_T_DATE: extra = 2; break;
        case FCL_T_FIELD: case FCL_T_NAME: extra = 4; break;
        default: return 0;
    }
    nul = (const unsigned char *)memchr(value + 1, 0, limit - 1);
    if (!nul) return 0;
    return (size_t)(nul - value) - 1 + extra <= limit ? (size_t)(nul - value) - 1 + extra : 0;
}

/* Fixed sizes. */
#define FCL_MAX_TEXT     527  /* formula text bytes */
#define FCL_MAX_CODE     528  /* compiled formula bytes */
#define FCL_EMPTY_CODE   7    /* the empty formula 01 00 07 00 01 00 00 */
#define FCL_MAX_VALUE    528  /* result value bytes */
#define FCL_MAX_STRING   512  /* string value text bytes */
#define FCL_RAW_BUFFER   518  /* bytes the callback may write into the raw buffer */
#define FCL_CONTEXT_SIZE 8384 /* bytes of one context */
#define FCL_NUM_MAX_SIZE 28   /* bytes of the largest backend number */
#define FCL_NUM_TEXT_MAX 720  /* bytes NumToStr may write, NUL included */

/*
 * Field callback: how the library asks the host for fields.
 *
 *   int32_t callback(void *data, const char *name, void *raw, uint16_t *type);
 *
 * Only the low 16 bits of the answer are read: 0 is success, anything else a failure (1005).
 * - Compile time (raw is null): *type holds FCL_T_FIELD for [Name] or FCL_T_NAME for a bare
 *   name; set it to the field's type code (FCL_T_STRING ... FCL_T_DATE) and answer 0.
 * - Run time (raw points to FCL_RAW_BUFFER bytes): write the value there and describe it in
 *   *type: the type code in the low byte, the raw format (FCL_RAW_*) in the high byte.
 *   Write a text with its NUL and a raw number in full (all bytes of its format). The library
 *   zero-fills the buffer's first 32 bytes before each request, so an answer written short
 *   reads zeros after it there: a text without its NUL ends where the callback stopped, a
 *   number's missing bytes are zeros. Past those 32 bytes an unterminated text reads on into
 *   what earlier requests left, up to the buffer's last byte, where it is cut.
 * - Aggregates (SUM([A]) ...) call it with requests of their own, where data is not the host's
 *   pointer: see Aggregates below.
 * name is the name as written, without brackets, valid only during the call. The callback
 * runs on the calling thread inside the entry point; the library holds no lock meanwhile.
 * In a callback a host may:
 * - call any entry point on another context (a handle, or the global context when the
 *   running one is a handle), and the Num functions;
 * - leave by longjmp or by an exception of its own language: the run is abandoned (its result
 *   buffer holds nothing valid; aggregates may have counted the record) and the context serves
 *   the next call from the same thread as usual.
 * It may not:
 * - compile or execute on the context that is running it (refused with FCL_E_BUSY);
 * - call FCLSETMODE, NumSetup or FCLINIT, or release the running handle;
 * - keep raw or name past its return.
 */
typedef int32_t (*FCLFIELDPROC)(void *data, const char *name, void *raw, uint16_t *type);

/*
 * Aggregates: how COUNT, SUM, AVG, MIN, MAX and their P forms (PCOUNT, PSUM, ...) ask the host.
 *
 * None of them reads its argument's value. Each call asks the host for the values to fold in,
 * through the run's field callback, in requests of its own: there data points to the library's
 * request (at least 4 bytes), never to the host's data, which is how the callback tells them
 * from field requests; it finds its own state elsewhere (examples/group_totals.c keeps it in a
 * variable set before the run). name is the argument's name, raw the raw buffer, *type the
 * value type word. The argument must be a field or name reference ([Amount], Amount); on
 * anything else the call asks for no values and gives no value.
 *
 * The running forms fold into slots of process-wide work areas: SUM, AVG, MIN and MAX have as
 * many slots as FCLINIT gave them (none before the first FCLINIT; 10 in the fixed areas),
 * COUNT has 64. One call of SUM, AVG, MIN or MAX:
 *
 * 1. The query: the int32_t at data is 3, name is "". The answer is the callback's return
 *    value; *type is not read:
 *      FCL_AGG_RESET     running totals: value requests as in 2 follow (the usual answer);
 *      FCL_AGG_CONTINUE  this run's values only: the call goes on as the P form (3);
 *      anything else     the call gives no value: SUM([A]) then runs to FCL_OK with an empty
 *                        string. Setting *type to an end mark and returning 0 is this case.
 * 2. Value requests: the int32_t at data is 2. On the first request of the call *type still
 *    holds the reference kind (FCL_T_FIELD or FCL_T_NAME); later it holds what the host last
 *    wrote there. To each request the host does one of two things, and returns the record's
 *    pass key either way:
 *      supply one value: write it into raw and describe it in *type, as for a field (a value
 *      that is not a number is skipped; COUNT counts any value);
 *      end the call: put an end mark in *type. FCL_AGG_CONTINUE keeps the slot's total,
 *      FCL_AGG_RESET clears the slot after reporting it. The call's result is the slot's total
 *      (AVG: the average; MIN and MAX of no values: 0) with this call's values in it.
 *    Returning FCL_AGG_RESET instead of a key asks for the same request again (a call that
 *    never ends fails with 1005 after a million requests). COUNT sends no query: its calls
 *    start with these requests.
 * 3. P forms, and plain forms answered FCL_AGG_CONTINUE: data holds the aggregate's name
 *    without the P, NUL-terminated ("SUM", "COUNT"); *type on the first request as in 2.
 *    Return 0 with one value in raw and *type, or 0 with either end mark in *type to end the
 *    values; any other return skips that request. The call's result is the total of this
 *    call's values; no slot is touched.
 *
 * Pass keys and slots. Each running kind numbers its calls: a pass key that differs from the
 * one the kind's previous call received starts again at slot 0, and every call that ends moves
 * on to the next slot. So a host gives every record a new pass key and runs the record's formulas
 * in the same order every time: the n-th SUM of a record then folds into the same slot in
 * every record. Keep keys clear of FCL_AGG_RESET, and best of FCL_OK and the status codes
 * (e.g. 2, 3, ... 1000 in turn): a call with no slot left gives 0 and FCLEXECUTE returns the
 * pass key as its status. A run that fails before its aggregate calls leaves their slots out
 * of that record, and the record's later calls of the same kind take their neighbours' slots
 * (docs/language.md, "Aggregates", describes the stand-in calls fcl makes for them).
 *
 * Groups. For running totals per group, answer the query with FCL_AGG_RESET, a call's first
 * value request with the record's value and the second with FCL_AGG_CONTINUE, or with
 * FCL_AGG_RESET on the group's last record (so the host looks one record ahead): that record
 * reports the group's totals, itself included, and the next record's calls start from zero.
 *
 * FCLINIT (modes other than 2 and 3) clears the SUM, AVG, MIN and MAX slots; COUNT's are
 * cleared only by FCL_AGG_RESET. The slots and the slot numbering are shared by every context
 * of the process (their updates are serialised): run one report's aggregates at a time.
 */

/* A context made by FCLCREATEHANDLE: FCL_CONTEXT_SIZE bytes of compile and run state. */
typedef void *FCLHANDLE;

/*
 * FCLINIT: sizes the aggregate work areas (SUM, AVG, MIN, MAX) from the profile keys
 * "SumSize", "AvgSize", "MinSize", "MaxSize" (*mode 1); frees them (2); does nothing (3);
 * any other mode, or a null pointer, uses fixed areas of 10 entries. Always returns 1.
 * reserved is ignored. Process-wide: call it before threads start, after FCLSETMODE and
 * NumSetup (the areas hold numbers of the current encoding). Before the first FCLINIT the
 * aggregates have no areas and report 0.
 */
FCL_API int32_t FCLINIT(int64_t reserved, const int32_t *mode);

/* The number-encoding mode: 0 (the default) numbers are 8-byte doubles; any other value,
 * number text written by the backend. Process-wide: set it before compiling anything
 * (compiled formulas carry numbers in the encoding of their compile) and before threads start. */
FCL_API int32_t FCLMODE(void);
FCL_API void FCLSETMODE(int32_t mode);

/* A new, zeroed context, or null when memory is exhausted. Release it with FCLRELEASEHANDLE
 * (null is ignored). A handle is used by one thread at a time; separate handles may run on
 * separate threads at once. */
FCL_API FCLHANDLE FCLCREATEHANDLE(void);
FCL_API void FCLRELEASEHANDLE(FCLHANDLE handle);

/*
 * FCLCOMPILE / FCLCOMPILE2: compile text into code.
 *
 * text: NUL-terminated, code page 932, at most FCL_MAX_TEXT bytes (null counts as empty).
 * code: null, or FCL_MAX_CODE bytes; length: null, or where the block's length is stored.
 * Before compiling, code receives the empty formula (FCL_EMPTY_CODE bytes: a blank string)
 * and *length 7; on failure they keep it, on success they hold the compiled block. The block
 * belongs to the host: it does not refer to the context and runs in any context.
 * The callback answers type queries for every field and name (null callback: a formula with
 * a field fails with 1005). FCLCOMPILE clears the global context first; FCLCOMPILE2 uses the
 * handle (null handle: 1007).
 * Returns FCL_OK, 1001 syntax (also a text over FCL_MAX_TEXT bytes), 1002 unknown function,
 * 1003 argument types or count, 1005 callback, 1006 too deeply nested, 1007 block longer than
 * FCL_MAX_CODE bytes, 1008 node pool full, or FCL_E_BUSY.
 */
FCL_API uint16_t FCLCOMPILE(FCLFIELDPROC callback, void *data, const char *text,
                            unsigned char *code, uint16_t *length);
FCL_API uint16_t FCLCOMPILE2(FCLFIELDPROC callback, void *data, const char *text,
                             unsigned char *code, uint16_t *length, FCLHANDLE handle);

/*
 * FCLEXECUTE / FCLEXECUTE2: run a compiled formula once.
 *
 * code: a block made by FCLCOMPILE(2) in the current number-encoding mode; the library reads
 * only as many bytes as its header's length says (a length under 5 or over FCL_MAX_CODE is
 * refused with 1007 without reading further). result: null, or FCL_MAX_VALUE bytes; it
 * receives one tagged value: the formula's value on success, on any failure the blank value
 * of the formula's result type (empty string, zero, false, time 000000, date 00000000).
 * The callback supplies field values (null callback: formulas that need the host fail with
 * 1005, others run). FCLEXECUTE uses the global context; FCLEXECUTE2 the handle (null handle
 * or null code: 1007).
 * Returns FCL_OK, 1002 bad function index, 1003 an argument the function cannot use, 1004
 * string over FCL_MAX_STRING bytes, 1005 callback, 1006 stack full, 1007 malformed block,
 * 1009 division by zero, FCL_E_BUSY, or a running aggregate's pass key when it found no free
 * slot (see Aggregates above).
 */
FCL_API uint16_t FCLEXECUTE(FCLFIELDPROC callback, void *data, const unsigned char *code,
                            unsigned char *result);
FCL_API uint16_t FCLEXECUTE2(FCLFIELDPROC callback, void *data, const unsigned char *code,
                             unsigned char *result, FCLHANDLE handle);

/*
 * Compile diagnostics. After FCLCOMPILE2 fails, the handle's context tells where compilation
 * stopped: the lexer position (a pointer at FCL_CTX_LEX_POS) points into the context's copy
 * of the text (at FCL_CTX_TEXT, leading blanks removed) at the token that failed, and the
 * token text (at FCL_CTX_TOKEN_TEXT) holds that token as written, NUL-terminated (empty at
 * the end of the text or for a text over FCL_MAX_TEXT bytes). A missing operand is reported
 * at the operator that came where the operand was due, a wrong argument at that argument.
 * The helpers read these fields; they are meaningful until the handle's next compile or run.
 * For a text over FCL_MAX_TEXT bytes they give the offset of its first non-blank byte and an
 * empty token; a compile refused with FCL_E_BUSY leaves them to the compile that is running.
 * The offsets below are those of 64-bit builds, where the library checks them; a 32-bit build
 * (the WebAssembly one) lays the context out differently, and its hosts take the diagnostics
 * from the analysis API instead.
 */
#define FCL_CTX_LEX_POS    2072
#define FCL_CTX_TOKEN_TEXT 2080
#define FCL_CTX_TEXT       6736

/*
 * Why a compile failed with FCL_E_TYPE: FCL_WHY_SIZE bytes at FCL_CTX_WHY (fcl_error_why),
 * meaningful like the fields above:
 *   [0] the kind, FCL_WHY_...      [1] the 1-based function record of the call concerned
 *   [2] the 0-based argument       [3] the type mask wanted there (FCL_T_...)
 *   [4] the type mask given        [5] the arguments written, | FCL_WHY_OPERATOR for an operator
 * COUNT: no form of the function takes that many arguments. TYPE: argument [2] is [4] where
 * [3] is wanted. LITERAL: the text literal at the token cannot be read as [3] (a date, a
 * time, a logical). BRANCHES: value [2] of IF or SELECT is [4], the first value [3].
 * OPERANDS: an operator or function that joins like values got [3] and [4]. COMPARISON: [3]
 * compared with [4]. NO_ROOM: the compiler's node pool had no room for the call.
 */
#define FCL_CTX_WHY        6706
#define FCL_WHY_SIZE       6
#define FCL_WHY_NONE       0
#define FCL_WHY_COUNT      1
#define FCL_WHY_TYPE       2
#define FCL_WHY_LITERAL    3
#define FCL_WHY_BRANCHES   4
#define FCL_WHY_OPERANDS   5
#define FCL_WHY_COMPARISON 6
#define FCL_WHY_NO_ROOM    7
#define FCL_WHY_OPERATOR   0x80

/* Byte offset in text (the text passed to the failed FCLCOMPILE2) of the failing token. */
static inline int fcl_error_offset(FCLHANDLE handle, const char *text) {
    const char *area = (const char *)handle + FCL_CTX_TEXT;
    const char *position;
    int blanks = 0;
    memcpy(&position, (const char *)handle + FCL_CTX_LEX_POS, sizeof position);
    while (text && text[blanks] == ' ') ++blanks;
    return blanks + (int)(position - area);
}

/* The failing token as written, e.g. "FOO" for an unknown function FOO. */
static inline const char *fcl_error_token(FCLHANDLE handle) {
    return (const char *)handle + FCL_CTX_TOKEN_TEXT;
}

/* Why a compile failed with FCL_E_TYPE: the FCL_WHY_SIZE bytes described above. */
static inline const unsigned char *fcl_error_why(FCLHANDLE handle) {
    return (const unsigned char *)handle + FCL_CTX_WHY;
}

/* Kept for hosts of older libraries: LoadMPL32 returns 1, neither does anything. */
FCL_API int32_t LoadMPL32(void);
FCL_API void FreeMPL32(void);

/*
 * The numeric backend, process-wide. A number is an opaque block of NumSize() bytes (at most
 * FCL_NUM_MAX_SIZE) that the caller owns; numbers of one backend mean nothing to the other.
 * NumSetup(5) installs the exact 28-byte decimal backend (the default, NumType() 5), 1 the
 * double backend with type 1, anything else the double backend with type 0 (size 8). Call
 * NumSetup before compiling, before FCLINIT, and before threads start.
 */
#define FCL_BACKEND_DECIMAL 5 /* NumSetup / NumType: the exact 28-byte decimal backend */
#define FCL_BACKEND_DOUBLE  1 /* NumSetup / NumType: the double backend */
FCL_API void NumSetup(int32_t type);
FCL_API int32_t NumSize(void);
FCL_API int32_t NumType(void);

/* NumToStr styles: FCL_NUM_FULL (with digits -1) is the form the library itself stores in
 * text-number payloads; FCL_NUM_PLAIN with digits -1 is plain decimal with every digit (with
 * digits 0, the whole part only). */
#define FCL_NUM_FULL       1
#define FCL_NUM_PLAIN      (-1)
#define FCL_NUM_SCIENTIFIC 2147483647
/*
 * Writes number as text and returns text. style > 0: the backend's own form, unchanged
 * (decimal: digits with an exponent, or normalised scientific for FCL_NUM_SCIENTIFIC;
 * double: "%.15e"). style <= 0: decimal notation, shaped by digits: 0 cuts the fraction
 * (truncates), n > 0 keeps n decimals (truncating; style 0 pads with zeros up to n), and
 * style < 0 or digits < 0 drop trailing fraction zeros; "-0" becomes "0".
 * text: null (nothing written) or FCL_NUM_TEXT_MAX bytes.
 */
FCL_API char *NumToStr(const void *number, char *text, int32_t style, int32_t digits);
/* Each writes or updates the NumSize() bytes at its first argument. */
FCL_API void NumFromStr(void *number, const char *text); /* null text reads as "" */
FCL_API void NumFromInt(void *number, int32_t value);
FCL_API void NumFromDbl(void *number, double value);
FCL_API int32_t NumComp(const void *a, const void *b);   /* -1, 0 or 1 */
FCL_API int32_t NumIsZero(const void *a);                /* 1 when zero */
FCL_API void NumZero(void *a);
FCL_API void NumMin(void *a);                           /* the backend's low extreme */
FCL_API void NumMax(void *a);                           /* the backend's high extreme */
FCL_API void NumNeg(void *a);
FCL_API void NumInt(void *a);                           /* truncate toward zero */
FCL_API void NumAdd(void *a, const void *b);            /* a = a + b */
FCL_API void NumSub(void *a, const void *b);
FCL_API void NumMul(void *a, const void *b);
FCL_API void NumDiv(void *a, const void *b);            /* by zero: decimal 0, double inf/nan */
FCL_API void NumCopy(void *destination, const void *source);
FCL_API int32_t NumCompInt(const void *a, int32_t value);
FCL_API void NumFrac(void *a);                          /* keeps the fraction, with a's sign */
FCL_API void NumInc(void *a, int32_t value);
FCL_API void NumDec(void *a, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* FCLIB_H */
