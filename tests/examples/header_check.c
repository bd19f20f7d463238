/* Compiled, not run, by the tests at each C language level they name: fclib.h and its inline
 * helpers must compile there with every warning an error. */
#include <fclib.h>

static int32_t no_fields(void *data, const char *name, void *raw, uint16_t *type) {
    (void)data;
    (void)name;
    (void)raw;
    (void)type;
    return 1;
}

int check(FCLHANDLE handle, const char *text);

int check(FCLHANDLE handle, const char *text) {
    unsigned char code[FCL_MAX_CODE];
    FCLFIELDPROC fields = no_fields;
    if (FCLCOMPILE2(fields, NULL, text, code, NULL, handle) != FCL_OK)
        return fcl_error_offset(handle, text) + (int)*fcl_error_token(handle);
    return (int)fcl_code_length(code) + (int)fcl_value_size(code + FCL_CODE_HEADER, FCL_MAX_CODE, FCLMODE());
}
