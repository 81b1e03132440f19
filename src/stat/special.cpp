// special
#include "../stat.h"
