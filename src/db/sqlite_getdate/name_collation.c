/* The collation kolbi_name: names compare as SQL Server's default collation
 * compares them, without regard to case and ignoring trailing spaces, so that
 * "Tool " finds "tool" here as it does there (and on PostgreSQL, whose schema
 * gets the same from an ICU collation on a blank-padded type). Letters of the
 * Latin, Greek and Cyrillic alphabets are folded, which covers every letter
 * Windows-1252 has; accents count. Texts are compared, never changed: a value
 * reads back exactly as it was stored. */
#include <stddef.h>

#include "kolbi_sqlite.h"
SQLITE_EXTENSION_INIT3

/* Decodes the character at text[*pos] and moves past it; a byte that starts
 * no well-formed sequence stands for itself. */
static unsigned next_char(const unsigned char* text, int length, int* pos) {
    unsigned lead = text[*pos];
    int count = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    unsigned c = lead & (0x3F >> count);
    int i;
    if (lead < 0xC0 || lead >= 0xF8 || *pos + count >= length) {
        ++*pos;
        return lead;
    }
    for (i = 1; i <= count; ++i) {
        unsigned next = text[*pos + i];
        if ((next & 0xC0) != 0x80) {
            ++*pos;
            return lead;
        }
        c = (c << 6) | (next & 0x3F);
    }
    *pos += count + 1;
    return c;
}

/* The lower-case form of a letter; every other character as it is. */
static unsigned fold(unsigned c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    /* Latin Extended-A pairs its letters: capital then small, in two runs
     * starting on an even and two starting on an odd code point. */
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c + (c & 1);
    if (c == 0x178) return 0xFF;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

static int compare_names(void* unused, int length_a, const void* a, int length_b, const void* b) {
    const unsigned char* text_a = a;
    const unsigned char* text_b = b;
    int pos_a = 0;
    int pos_b = 0;
    (void)unused;
    while (length_a > 0 && text_a[length_a - 1] == ' ') --length_a;
    while (length_b > 0 && text_b[length_b - 1] == ' ') --length_b;
    while (pos_a < length_a && pos_b < length_b) {
        unsigned char_a = fold(next_char(text_a, length_a, &pos_a));
        unsigned char_b = fold(next_char(text_b, length_b, &pos_b));
        if (char_a != char_b) return char_a < char_b ? -1 : 1;
    }
    return (pos_a < length_a) - (pos_b < length_b);
}

int kolbi_register_name_collation(sqlite3* db) {
    return sqlite3_create_collation(db, "kolbi_name", SQLITE_UTF8, NULL, compare_names);
}
