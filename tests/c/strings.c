/* String handling with the C library: copy, compare, search, format. */
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <ctype.h>

static void reverse(char *s)
{
    size_t n = strlen(s);
    for (size_t i = 0; i < n / 2; i++) {
        char t = s[i];
        s[i] = s[n - 1 - i];
        s[n - 1 - i] = t;
    }
}

static int count_words(const char *s)
{
    int words = 0, in_word = 0;
    for (; *s; s++) {
        if (isspace((unsigned char)*s))
            in_word = 0;
        else if (!in_word) {
            in_word = 1;
            words++;
        }
    }
    return words;
}

int main(int argc, char **argv)
{
    char buf[64];
    const char *greeting = "hello, world";
    strcpy(buf, greeting);
    reverse(buf);
    printf("[%s] [%10s] [%-6.3s] %d\n", buf, "right", greeting, count_words("  a bb  ccc d "));
    char *copy = malloc(strlen(greeting) + 8);
    strcpy(copy, greeting);
    strcat(copy, "!!");
    char *comma = strchr(copy, ',');
    printf("%s|%s|%d|%d\n", copy, comma + 2, strcmp("abc", "abd") < 0, strncmp(copy, "help", 3));
    for (int i = 1; i < argc; i++)
        printf("arg %d: %s (%d) %x\n", i, argv[i], atoi(argv[i]), atoi(argv[i]));
    char line[32];
    snprintf(line, sizeof line, "%05d|%+d|%c|%%", 42, 7, 'z');
    puts(line);
    free(copy);
    if (argc > 2) {
        puts("too many words");
        exit(9);
    }
    return argc;
}
