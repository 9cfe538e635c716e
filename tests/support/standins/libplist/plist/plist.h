#pragma once

// Stands in for libplist 2.3 or later (as Homebrew ships it) in the build's syntax check: the few
// declarations our sources use, in that generation's form, where plist_from_memory takes a fourth argument
// for the format it found. Written from libplist's documented interface; it declares and defines nothing
// else.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* plist_t;

typedef enum {
    PLIST_NONE = -1,
    PLIST_BOOLEAN,
    PLIST_INT,
    PLIST_REAL,
    PLIST_STRING,
    PLIST_ARRAY,
    PLIST_DICT,
    PLIST_DATE,
    PLIST_DATA,
    PLIST_KEY,
    PLIST_UID,
    PLIST_NULL
} plist_type;

typedef enum {
    PLIST_ERR_SUCCESS = 0,
    PLIST_ERR_INVALID_ARG = -1,
    PLIST_ERR_FORMAT = -2,
    PLIST_ERR_PARSE = -3,
    PLIST_ERR_NO_MEM = -4,
    PLIST_ERR_IO = -5,
    PLIST_ERR_UNKNOWN = -255
} plist_err_t;

typedef enum {
    PLIST_FORMAT_NONE = 0,
    PLIST_FORMAT_XML = 1,
    PLIST_FORMAT_BINARY = 2,
    PLIST_FORMAT_JSON = 3,
    PLIST_FORMAT_OSTEP = 4
} plist_format_t;

plist_err_t plist_from_memory(const char* plist_data, uint32_t length, plist_t* plist,
                              plist_format_t* format);
void plist_free(plist_t plist);
plist_type plist_get_node_type(plist_t node);
plist_t plist_dict_get_item(plist_t node, const char* key);
const char* plist_get_string_ptr(plist_t node, uint64_t* length);
void plist_get_bool_val(plist_t node, uint8_t* val);

#ifdef __cplusplus
}
#endif
