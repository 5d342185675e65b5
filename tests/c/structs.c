/* Pointers and structs: a linked list on the heap, a struct array,
   struct copies, unions, function pointers, compound literals and pointer
   arithmetic. */
#include <stdio.h>
#include <stdlib.h>

struct node {
    int value;
    struct node *next;
};

struct pair {
    short a;
    long b;
};

union bits {
    unsigned int word;
    unsigned char bytes[4];
};

static struct node *push(struct node *head, int value)
{
    struct node *n = malloc(sizeof *n);
    n->value = value;
    n->next = head;
    return n;
}

static struct pair swap(struct pair p)
{
    struct pair q = { (short)p.b, p.a };
    return q;
}

static int add(int x, int y) { return x + y; }
static int mul(int x, int y) { return x * y; }
static int (*const ops[])(int, int) = { add, mul };
static struct pair table[3] = { { 1, 10 }, { 2, 20 } };

int main(void)
{
    struct node *list = NULL;
    for (int i = 1; i <= 5; i++)
        list = push(list, i * i);
    int sum = 0;
    for (struct node *p = list; p; p = p->next)
        sum += p->value;
    while (list) {
        struct node *next = list->next;
        free(list);
        list = next;
    }
    struct pair s = swap(table[1]);
    table[2] = s;
    union bits u;
    u.word = 0x01020304;
    int arr[6] = { 5, 4, 3 };
    int *end = arr + 6, *q = arr;
    int n = 0;
    while (q < end)
        n += *q++;
    printf("sum %d swap %d %ld table %d %ld byte %u\n", sum, s.a, s.b, table[2].a, table[2].b,
           u.bytes[0]);
    printf("ops %d %d n %d span %ld\n", ops[0](3, 4), (*ops[1])(3, 4), n, (long)(end - arr));
    struct pair lit = swap((struct pair){ 7, 70 });
    int *three = (int[]){ 1, 2, 3 };
    printf("lit %d %ld %d\n", lit.a, lit.b, three[2]);
    return 0;
}
