/* Loops with break and continue, nested, counting down and up. */
#include <stdio.h>

static int primes_below(int limit)
{
    int count = 0;
    for (int n = 2; n < limit; n++) {
        int d;
        for (d = 2; d * d <= n; d++)
            if (n % d == 0)
                break;
        if (d * d <= n)
            continue;
        count++;
    }
    return count;
}

int main(int argc, char **argv)
{
    int limit = argc > 1 ? 30 : 50;
    int i = 0, total = 0;
    printf("primes below %d: %d\n", limit, primes_below(limit));
    while (1) {
        i++;
        if (i > 20)
            break;
        if (i % 4 == 0)
            continue;
        total += i;
    }
    do {
        total -= 7;
    } while (total > 100);
    unsigned char wrap = 250;
    for (int k = 0; k < 10; k++)
        wrap++;
    printf("total %d wrap %u\n", total, wrap);
    return total % 7;
}
