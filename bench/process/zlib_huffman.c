/* zlib_huffman: the peer of the he3 tool in bench/he3_process.sh. zlib's
 * Huffman-only deflate as a whole process, written the way a small file tool
 * is: the input read whole, the output written through a 64 KiB buffer.
 *
 *   zlib_huffman compress|decompress IN OUT    (raw deflate, no header)
 *
 * Exit status 0, or 1 when a file cannot be read or written or the data is bad. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

static unsigned char *ReadWhole(const char *path, size_t *size) {
    int fd = open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return NULL;
    *size = (size_t)st.st_size;
    unsigned char *bytes = malloc(*size ? *size : 1);
    size_t done = 0;
    while (bytes && done < *size) {
        ssize_t n = read(fd, bytes + done, *size - done);
        if (n <= 0) break;
        done += (size_t)n;
    }
    close(fd);
    if (done != *size) {
        free(bytes);
        return NULL;
    }
    return bytes;
}

static int WriteAll(int fd, const unsigned char *bytes, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n <= 0) return 0;
        bytes += n;
        size -= (size_t)n;
    }
    return 1;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fputs("usage: zlib_huffman compress|decompress IN OUT\n", stderr);
        return 2;
    }
    const int compress = strcmp(argv[1], "compress") == 0;
    size_t size = 0;
    unsigned char *in = ReadWhole(argv[2], &size);
    int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!in || out < 0) return 1;
    z_stream z;
    memset(&z, 0, sizeof z);
    int rc = compress ? deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY)
                      : inflateInit2(&z, -15);
    if (rc != Z_OK) return 1;
    static unsigned char buffer[1 << 16];
    z.next_in = in;
    z.avail_in = (uInt)size;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        rc = compress ? deflate(&z, Z_FINISH) : inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) return 1;
        if (!WriteAll(out, buffer, sizeof buffer - z.avail_out)) return 1;
    } while (rc == Z_OK);
    return close(out) == 0 ? 0 : 1;
}
