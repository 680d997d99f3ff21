// The serial console's input, as the menus read it: a choice, a number, a line, a path. Each
// read first flushes typed-ahead input on a terminal, and the end of standard input reads as the
// choice 0, so that scripted input ends the program cleanly.
#pragma once

// Reads a menu line and returns its first character; '0' at the end of standard input.
int menu_get_cmd(void);
// Reads one decimal number token: blanks before it are skipped, blanks after it and its line
// end belong to it, a further token on the same line is kept for the next question. -1 for a
// token that is not a number of at most 7 digits, or at the end of input.
int menu_get_data(void);

// Prints `text` (a menu or a question) and waits for the answer: menu_get_cmd or menu_get_data.
int menu_prompt_cmd(const char *text);
int menu_prompt_data(const char *text);
// Prints `text` and flushes standard output, for a prompt whose answer is read some other way.
void menu_prompt(const char *text);

// Reads one menu line (at most 7 characters are kept, the rest of a longer line is discarded)
// into `line` after flushing typed-ahead input; a NUL byte is an ordinary character. Returns
// false at the end of standard input.
bool menu_read_line(char line[8]);
// Reads a path line of at most 127 characters; only a trailing line end is removed. A longer line,
// or one holding a NUL byte, is refused with a message (false, as at the end of input): a path cut
// short would name some other file.
bool menu_read_path(char path[128]);
// Discards typed-ahead input when standard input is a terminal: the kernel's queue and what the C
// library has buffered. Piped input is kept.
void menu_flush_input(void);
