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
 * Plain C: usable from C and C++.
 */
#ifndef FCLIB_H
#define FCLIB_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(FCLIB_BUILDING)
#    define FCL_API __declspec(dllexport)
#  else
#    define FCL_API __declspec(dllimport)
#  endif
#else
#  define FCL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes: 0 is success. */
#define FCL_OK                0
#define FCL_E_SYNTAX          1001 /* syntax error in the formula text */
#define FCL_E_UNKNOWN_NAME    1002 /* unknown function, or bad function index at run time */
#define FCL_E_TYPE            1003 /* argument type, count or content not usable */
#define FCL_E_TOO_LONG        1004 /* string result longer than 512 bytes */
#define FCL_E_CALLBACK        1005 /* the field callback reported failure */
#define FCL_E_STACK_FULL      1006 /* parse stack, operand stack or value area full */
#define FCL_E_CODE            1007 /* emitter wrote nothing, missing arguments, bad value, or not one result */
#define FCL_E_NODE_POOL       1008 /* compiler node pool full */
#define FCL_E_DIVIDE_BY_ZERO  1009 /* division by zero */
/* The context is already compiling or executing: a field callback called FCLCOMPILE(2) or
 * FCLEXECUTE(2) on the context whose run called it. The inner call changes nothing in the
 * context (a refused compile still writes the empty formula, a refused run the blank value to
 * the caller's buffers) and the outer run goes on unharmed. Other contexts may be used. */
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

/* Aggregate end marks that a host may return as the value type word. */
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
 * Field callback. At compile time raw is null and *type holds 32 (field reference)
 * or 64 (name reference): answer 0 and set *type to the field's type code. At run
 * time raw points to FCL_RAW_BUFFER bytes: write the value there and describe it in
 * *type (type code in the low byte, raw number format in the high byte).
 * Any non-zero result (low 16 bits) is a failure.
 */
typedef int32_t (*FCLFIELDPROC)(void *data, const char *name, void *raw, uint16_t *type);

/* An opaque context made by FCLCREATEHANDLE. */
typedef void *FCLHANDLE;

FCL_API int32_t FCLINIT(int64_t reserved, const int32_t *mode);
FCL_API int32_t FCLMODE(void);
FCL_API void FCLSETMODE(int32_t mode);
FCL_API FCLHANDLE FCLCREATEHANDLE(void);
FCL_API void FCLRELEASEHANDLE(FCLHANDLE handle);
FCL_API uint16_t FCLCOMPILE(FCLFIELDPROC callback, void *data, const char *text,
                            unsigned char *code, uint16_t *length);
FCL_API uint16_t FCLCOMPILE2(FCLFIELDPROC callback, void *data, const char *text,
                             unsigned char *code, uint16_t *length, FCLHANDLE handle);
FCL_API uint16_t FCLEXECUTE(FCLFIELDPROC callback, void *data, const unsigned char *code,
                            unsigned char *result);
FCL_API uint16_t FCLEXECUTE2(FCLFIELDPROC callback, void *data, const unsigned char *code,
                             unsigned char *result, FCLHANDLE handle);
FCL_API int32_t LoadMPL32(void);
FCL_API void FreeMPL32(void);

/* Numeric backend: 5 selects the 28-byte decimal backend, anything else doubles. */
FCL_API void NumSetup(int32_t type);
FCL_API int32_t NumSize(void);
FCL_API int32_t NumType(void);
/* Writes at most FCL_NUM_TEXT_MAX bytes to text (when not null) and returns text. */
FCL_API char *NumToStr(const void *number, char *text, int32_t style, int32_t digits);
FCL_API void NumFromStr(void *number, const char *text);
FCL_API void NumFromInt(void *number, int32_t value);
FCL_API void NumFromDbl(void *number, double value);
FCL_API int32_t NumComp(const void *a, const void *b);
FCL_API int32_t NumIsZero(const void *a);
FCL_API void NumZero(void *a);
FCL_API void NumMin(void *a);
FCL_API void NumMax(void *a);
FCL_API void NumNeg(void *a);
FCL_API void NumInt(void *a);
FCL_API void NumAdd(void *a, const void *b);
FCL_API void NumSub(void *a, const void *b);
FCL_API void NumMul(void *a, const void *b);
FCL_API void NumDiv(void *a, const void *b);
FCL_API void NumCopy(void *destination, const void *source);
FCL_API int32_t NumCompInt(const void *a, int32_t value);
FCL_API void NumFrac(void *a);
FCL_API void NumInc(void *a, int32_t value);
FCL_API void NumDec(void *a, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* FCLIB_H */
