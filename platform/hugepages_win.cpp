#include "platform/hugepages.h"

// Windows gives no such start-up trick: the process starts as it is.
void restartWithHugePages(char**) {}
