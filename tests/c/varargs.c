/* Variadic functions: va_start, va_arg of int and double, va_copy, vprintf. */
#include <stdio.h>
#include <stdarg.h>
#include <string.h>
static int sum(int n, ...) {
    va_list ap;
    int s = 0;
    va_start(ap, n);
    for (int i = 0; i < n; i++)
        s += va_arg(ap, int);
    va_end(ap);
    return s;
}
static void logf_(const char *fmt, ...) {
    va_list ap, copy;
    va_start(ap, fmt);
    va_copy(copy, ap);
    printf("[log] ");
    vprintf(fmt, ap);
    char buf[64];
    vsnprintf(buf, sizeof buf, fmt, copy);
    printf(" (%d chars)\n", (int)sizeof buf > 0 ? (int)strlen(buf) : 0);
    va_end(copy);
    va_end(ap);
}
static double avg(int n, ...) {
    va_list ap; double t = 0;
    va_start(ap, n);
    for (int i = 0; i < n; i++) t += va_arg(ap, double);
    va_end(ap);
    return t / n;
}
int main(void) {
    printf("%d %d\n", sum(3, 1, 2, 3), sum(0));
    logf_("%s=%d", "x", 42);
    printf("%.2f\n", avg(3, 1.0, 2.5, 4.0));
    return 0;
}
