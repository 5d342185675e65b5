/* Nested ?:, short-circuit conditions in branches and as values. */
#include <stdio.h>

static int calls;

static int check(int v)
{
    calls++;
    return v > 3;
}

static int sign(int x) { return x < 0 ? -1 : x > 0 ? 1 : 0; }

int main(void)
{
    int both = 0, either = 0, neither = 0;
    for (int i = -5; i <= 8; i++) {
        int a = i % 2 == 0;
        if (a && check(i))
            both++;
        if (check(i) || i < -3)
            either++;
        if (!(a || check(-i)))
            neither++;
        int v = (i > 0 && i < 5) || i == -5;
        int m = a ? (i > 4 ? 2 : 1) : (i < 0 ? -1 : 0);
        printf("%d:%d%d%d ", i, v, m, sign(i));
    }
    printf("\nboth %d either %d neither %d calls %d\n", both, either, neither, calls);
    int x = 3, y = (x++, x + 10);
    printf("%d %d\n", x, y);
    return 0;
}
