/* The reference for the stream benchmark: reads a file in 1 MiB blocks and counts its
   Annex B start codes (00 00 01) with memchr, the least a NAL walker has to do. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s file\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    const size_t cap   = 1 << 20;
    unsigned char* buf = malloc(cap + 2);
    size_t keep        = 0;
    long long count    = 0;
    ssize_t n;
    /* The last two bytes of a block are kept in front of the next, so no start code is
       missed at a block boundary. */
    buf[0] = buf[1] = 0xFF;
    keep            = 2;
    while ((n = read(fd, buf + keep, cap)) > 0) {
        size_t len               = keep + (size_t)n;
        const unsigned char* p   = buf + 2;
        const unsigned char* end = buf + len;
        while (p < end) {
            const unsigned char* q = memchr(p, 1, (size_t)(end - p));
            if (!q)
                break;
            if (q[-1] == 0 && q[-2] == 0)
                ++count;
            p = q + 1;
        }
        memmove(buf, buf + len - 2, 2);
    }
    printf("%lld\n", count);
    free(buf);
    close(fd);
    return n < 0;
}
