/* goto forwards and backwards, labels on their own and in loops. */
#include <stdio.h>

static int find(const int *v, int n, int key)
{
    int i = 0;
again:
    if (i >= n)
        goto missing;
    if (v[i] == key)
        goto found;
    i++;
    goto again;
found:
    return i;
missing:
    return -1;
}

int main(void)
{
    int v[] = { 4, 8, 15, 16, 23, 42 };
    int hits = 0, misses = 0;
    for (int key = 0; key < 50; key += 3) {
        int at = find(v, 6, key);
        if (at < 0) {
            misses++;
            continue;
        }
        hits++;
        printf("key %d at %d\n", key, at);
    }
    int n = 5;
retry:
    n--;
    if (n > 0)
        goto retry;
    printf("hits %d misses %d n %d\n", hits, misses, n);
    return hits;
}
