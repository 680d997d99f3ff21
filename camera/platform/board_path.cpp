#include "platform/board_path.h"

#include <stdio.h>
#include <stdlib.h>

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

int board_shell(const char *command)
{
    fflush(stdout);
    return system(command);
}
