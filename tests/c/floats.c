/* Floating point: float and double arithmetic, conversions, math and %f. */
#include <stdio.h>
#include <math.h>
struct pt { double x, y; };
static double dist(struct pt a, struct pt b) { return sqrt((a.x-b.x)*(a.x-b.x) + (a.y-b.y)*(a.y-b.y)); }
float scale = 1.5f;
double table[] = { 0.5, 1.25, -3.0 };
int main(void) {
    double sum = 0; float f = 0.1f; int i;
    for (i = 0; i < 10; i++) { sum += i * 0.1; f *= 1.1f; }
    struct pt a = { 0, 0 }, b = { 3, 4 };
    int n = (int)(sum * 100);
    n += 2.7;
    printf("%f %.3f %g %e %d %.2f %5.1f\n", sum, f, dist(a, b), table[1] * scale, n, -table[2], (double)n / 7);
    if (sum > 4.4 && f < 3.0f) printf("yes %d\n", sum == 4.5);
    unsigned u = (unsigned)3e9; long l = (long)-2.9;
    printf("%u %ld %d\n", u, l, !0.0);
    return 0;
}
