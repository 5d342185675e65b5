/* Recursion: factorial, Fibonacci, Ackermann and the towers of Hanoi. */
#include <stdio.h>

static unsigned long long factorial(unsigned n) { return n < 2 ? 1 : n * factorial(n - 1); }

static int fib(int n)
{
    if (n < 2)
        return n;
    return fib(n - 1) + fib(n - 2);
}

static int ackermann(int m, int n)
{
    if (m == 0)
        return n + 1;
    if (n == 0)
        return ackermann(m - 1, 1);
    return ackermann(m - 1, ackermann(m, n - 1));
}

static int moves;

static void hanoi(int n, char from, char to, char via)
{
    if (n == 0)
        return;
    hanoi(n - 1, from, via, to);
    moves++;
    if (n == 4)
        printf("move disk %d from %c to %c\n", n, from, to);
    hanoi(n - 1, via, to, from);
}

int main(void)
{
    printf("20! = %llu\n", factorial(20));
    printf("fib(15) = %d\n", fib(15));
    printf("ackermann(2, 3) = %d\n", ackermann(2, 3));
    hanoi(6, 'A', 'C', 'B');
    printf("moves %d\n", moves);
    return 0;
}
