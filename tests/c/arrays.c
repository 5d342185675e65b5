/* Arrays whose size is known late: variable-length arrays, sizeof of them,
   and a flexible array member on the heap. */
#include <stdio.h>
#include <stdlib.h>

struct buf {
    int len;
    char tag;
    int data[];
};

static struct buf *make(int n)
{
    struct buf *b = malloc(sizeof *b + n * sizeof b->data[0]);
    b->len = n;
    for (int i = 0; i < n; i++)
        b->data[i] = n - i;
    return b;
}

static int fill(int n)
{
    int v[n];
    for (int i = 0; i < n; i++)
        v[i] = i * i;
    int s = 0;
    for (int i = 0; i < n; i++)
        s += v[i];
    return s + (int)sizeof v + (int)sizeof(int[n]);
}

int main(int argc, char **argv)
{
    int total = 0;
    for (int k = 1; k <= argc + 3; k++) {
        char name[k + 2];
        name[k] = 'x';
        total += fill(k * 3) + name[k];
    }
    struct buf *b = make(argc + 5);
    int s = 0;
    for (int i = 0; i < b->len; i++)
        s += b->data[i] * i;
    printf("%d %d %zu\n", total, s, sizeof(struct buf));
    free(b);
    return 0;
}
