/* A recursive-descent calculator (functions that begin with a loop, an enum
   state, switch on characters) and a matrix product. */
#include <stdio.h>
#include <ctype.h>
#include <string.h>

enum kind { NUM, PLUS, MINUS, TIMES, DIVIDE, LPAREN, RPAREN, END };
struct token { enum kind kind; long value; };

static const char *src;
static struct token tok;

static void next(void)
{
    while (*src == ' ')
        src++;
    if (isdigit((unsigned char)*src)) {
        tok.kind = NUM;
        tok.value = 0;
        while (isdigit((unsigned char)*src))
            tok.value = tok.value * 10 + (*src++ - '0');
        return;
    }
    switch (*src) {
    case '+': tok.kind = PLUS; break;
    case '-': tok.kind = MINUS; break;
    case '*': tok.kind = TIMES; break;
    case '/': tok.kind = DIVIDE; break;
    case '(': tok.kind = LPAREN; break;
    case ')': tok.kind = RPAREN; break;
    default: tok.kind = END; return;
    }
    src++;
}

static long expr(void);

static long factor(void)
{
    long v;
    if (tok.kind == NUM) {
        v = tok.value;
        next();
    } else if (tok.kind == LPAREN) {
        next();
        v = expr();
        next();
    } else if (tok.kind == MINUS) {
        next();
        v = -factor();
    } else {
        v = 0;
    }
    return v;
}

static long term(void)
{
    long v = factor();
    while (tok.kind == TIMES || tok.kind == DIVIDE) {
        enum kind k = tok.kind;
        next();
        long r = factor();
        v = k == TIMES ? v * r : (r ? v / r : 0);
    }
    return v;
}

static long expr(void)
{
    long v = term();
    while (tok.kind == PLUS || tok.kind == MINUS) {
        int plus = tok.kind == PLUS;
        next();
        v += plus ? term() : -term();
    }
    return v;
}

static long eval(const char *s)
{
    src = s;
    next();
    return expr();
}

int main(void)
{
    static const char *inputs[] = { "1 + 2 * 3", "(1 + 2) * 3", "-4 * (2 - 7) / 3", "10 / 0 + 8",
                                    "2 * (3 + (4 - 1)) * 5" };
    long m[3][3], a[3][3] = { { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 } };
    for (size_t i = 0; i < sizeof inputs / sizeof *inputs; i++)
        printf("%-24s = %ld\n", inputs[i], eval(inputs[i]));
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            m[i][j] = 0;
            for (int k = 0; k < 3; k++)
                m[i][j] += a[i][k] * a[k][j];
        }
    printf("%ld %ld %ld\n", m[0][0], m[1][1], m[2][2]);
    return 0;
}
