#include "platform/console.h"

#include <ctype.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Discards the rest of the current input line.
void discardLine()
{
    int c;
    while ((c = getchar()) != EOF && c != '\n') {
    }
}

// Reads one line into `buf` as fgets would (its line end kept when it fits), reading the rest of a
// longer line and dropping it. A zero byte is an ordinary character. Returns the number of bytes
// stored, or -1 at the end of input before any; `*cut` tells whether bytes other than the line
// end were dropped.
long readLine(char *buf, size_t size, bool *cut)
{
    size_t len = 0;
    bool any = false;
    *cut = false;
    int c;
    while ((c = getchar()) != EOF) {
        any = true;
        if (len + 1 < size)
            buf[len++] = (char)c;
        else if (c != '\n')
            *cut = true;
        if (c == '\n')
            break;
    }
    buf[len] = '\0';
    return any ? (long)len : -1;
}

} // namespace

void menu_flush_input(void)
{
    // Only a terminal has typed-ahead input to discard; piped input is the script's next answer.
    // What the C library has read ahead (the rest of a line whose first token a number question
    // took) goes too, not only the kernel's queue.
    if (isatty(STDIN_FILENO)) {
        tcflush(STDIN_FILENO, TCIFLUSH);
        __fpurge(stdin);
    }
}

bool menu_read_line(char line[8])
{
    menu_flush_input();
    bool cut;
    return readLine(line, 8, &cut) >= 0;
}

bool menu_read_path(char path[128])
{
    menu_flush_input();
    bool cut;
    long len = readLine(path, 128, &cut);
    if (len < 0)
        return false;
    if (len > 0 && path[len - 1] == '\n')
        path[--len] = '\0';
    // A cut or NUL-broken path names some other file: refuse it rather than act on that one.
    if (cut || strlen(path) != (size_t)len) {
        printf(" [app] err: %s, refused\n",
               cut ? "the path is longer than 127 characters" : "the path holds a NUL byte");
        path[0] = '\0';
        return false;
    }
    return true;
}

int menu_get_cmd(void)
{
    char line[8];
    if (!menu_read_line(line))
        return '0';
    return line[0];
}

int menu_get_data(void)
{
    int c;
    do {
        c = getchar();
    } while (c != EOF && isspace(c));
    if (c == EOF)
        return -1;

    char token[8];
    size_t len = 0;
    bool tooLong = false;
    while (c != EOF && !isspace(c)) {
        if (len < sizeof(token) - 1)
            token[len++] = (char)c;
        else
            tooLong = true;
        c = getchar();
    }
    token[len] = '\0';
    // Blanks after the token and its line end belong to it; a further token on the same line
    // is kept for the next question.
    while (c == ' ' || c == '\t')
        c = getchar();
    if (c != '\n' && c != EOF)
        ungetc(c, stdin);
    if (tooLong) {
        if (c != '\n' && c != EOF)
            discardLine();
        return -1;
    }

    int value = 0;
    for (size_t i = 0; i < len; i++) {
        if (token[i] < '0' || token[i] > '9')
            return -1;
        value = value * 10 + (token[i] - '0');
    }
    return value;
}

void menu_prompt(const char *text)
{
    printf("%s", text);
    fflush(stdout);
}

int menu_prompt_cmd(const char *text)
{
    menu_prompt(text);
    return menu_get_cmd();
}

int menu_prompt_data(const char *text)
{
    menu_prompt(text);
    return menu_get_data();
}
