#include "common/text.h"

#include <cstring>

bool text_append(char* buffer, size_t size, const char* tail) {
    size_t used = strnlen(buffer, size);
    size_t extra = strlen(tail);
    if (used >= size || extra >= size - used) return false;
    memcpy(buffer + used, tail, extra + 1);
    return true;
}

bool text_append_padded(char* buffer, size_t size, const char* text, size_t width) {
    size_t used = strnlen(buffer, size);
    size_t length = strlen(text);
    size_t pad = length < width ? width - length : 0;
    if (used >= size || pad + length >= size - used) return false;
    memset(buffer + used, ' ', pad);
    memcpy(buffer + used + pad, text, length + 1);
    return true;
}

bool text_append_unsigned(char* buffer, size_t size, uint32_t value) {
    char digits[11];
    char* p = digits + sizeof digits;
    *--p = 0;
    do {
        *--p = char('0' + value % 10);
        value /= 10;
    } while (value);
    return text_append(buffer, size, p);
}
