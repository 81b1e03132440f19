// linalg
#include "../stat.h"
