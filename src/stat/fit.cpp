// fit
#include "../stat.h"
