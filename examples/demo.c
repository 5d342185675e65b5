/* demo.c */
struct point { int x; int y; };

int count;
unsigned calls;
struct point origin = { 3, 4 };
int hist[4];
int puts(char *s);
void tick(void);

static int classify(int v, int limit)
{
    if (v > 0 && v < limit)
        count = count + 1;
    else if (v == 0 || !count)
        return 0;
    else
        count = 0;
    return count + (v > 10 ? 2 : 1);
}

long sum(int n)
{
    long total;

    total = 0;
    while (n > 0) {
        total = total + n;
        n = n - 1;
    }
    return total;
}

int grade(int score)
{
    int g;

    switch (score / 10) {
    case 10:
    case 9:  g = 4; break;
    case 8:  g = 3; break;
    default: g = 0; break;
    }
    return g;
}

void report(int code)
{
    calls = calls + 1;
    switch (code) {
    case 1: puts("hello"); break;
    case 2: tick(); break;
    }
    hist[code & 3] = classify(code, 100);
}
