#include <stdio.h>

#include "app/q7_app_main.h"

int main(int argc, char **argv)
{
    // The serial console is a terminal; keep lines whole when the output goes to a pipe too.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return q7_app_main(argc, argv);
}
