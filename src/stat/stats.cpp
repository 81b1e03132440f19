// stats
#include "../stat.h"
