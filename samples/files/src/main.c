#include <stdio.h>

#include "version.h"

int main(void)
{
    printf("sample %s\n", SAMPLE_VERSION);
    return 0;
}
