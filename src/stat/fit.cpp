// Model fitting: straight line, linear least squares by SVD, Levenberg-Marquardt.
#include "../stat.h"

// Straight-line fit ----------------------------------------------------------------------------


// (end of straight-line fit) ------------------------------------------------------------------


// Linear least squares by SVD, Levenberg-Marquardt --------------------------------------------

