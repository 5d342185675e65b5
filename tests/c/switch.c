/* switch with fall-through, default in the middle, and no default. */
#include <stdio.h>

enum color { RED, GREEN = 5, BLUE };

static const char *name_of(enum color c)
{
    switch (c) {
    case RED:
        return "red";
    case GREEN:
        return "green";
    default:
        return "other";
    case BLUE:
        return "blue";
    }
}

static int weight(int n)
{
    int w = 0;
    switch (n % 6) {
    case 0:
        w += 1;
    case 1:
    case 2:
        w += 10;
        break;
    case 3:
        w += 100;
        /* fall through */
    default:
        w += 1000;
    }
    switch (n) {
    case 7:
        w = -w;
    }
    return w;
}

int main(void)
{
    long sum = 0;
    for (int i = 0; i < 20; i++)
        sum += weight(i);
    printf("%s %s %s %s\n", name_of(RED), name_of(GREEN), name_of(BLUE), name_of(9));
    printf("sum=%ld\n", sum);
    return 0;
}
