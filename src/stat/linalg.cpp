// Linear algebra: products, SVD, Gauss-Jordan, Jacobi, SVD solve.
#include "../stat.h"
