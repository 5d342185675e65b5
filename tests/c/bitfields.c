/* Bit-fields: signed and unsigned, unnamed, wider than 32 bits, in initializers. */
#include <stdio.h>
struct flags {
    unsigned ready : 1;
    unsigned mode : 3;
    int : 2;
    signed level : 4;
    unsigned long big : 40;
};
struct flags g = {1, 5, -3, 123456789012};
struct flags arr[2] = {{0, 7}, {.level = 7}};
int main(void) {
    struct flags f = {1, 2, 3, 4};
    f.mode += 6;
    f.level = -8;
    f.level--;
    arr[1].ready++;
    struct flags* p = &f;
    p->big = p->big * 1000000 + 5;
    printf("%u %u %d %lu | %u %u %d %lu | %u %u %d %zu\n", f.ready, f.mode, f.level,
           (unsigned long)f.big, g.ready, g.mode, g.level, (unsigned long)g.big, arr[0].mode,
           arr[1].ready, arr[1].level, sizeof f);
    return 0;
}
