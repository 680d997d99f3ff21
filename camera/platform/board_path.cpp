#include "platform/board_path.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

std::string board_path(const char *path)
{
    const char *root = getenv("Q7_ROOT");
    if (path == nullptr)
        return std::string();
    if (path[0] != '/' || root == nullptr || root[0] == '\0')
        return std::string(path);
    std::string full(root);
    while (!full.empty() && full.back() == '/')
        full.pop_back();
    return full + path;
}

int board_write_attr(const char *path, const char *text)
{
    int fd = open(board_path(path).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return -1;
    size_t len = strlen(text);
    bool ok = write(fd, text, len) == (ssize_t)len;
    return close(fd) == 0 && ok ? 0 : -1;
}

int board_shell(const char *command)
{
    fflush(stdout);
    return system(command);
}
