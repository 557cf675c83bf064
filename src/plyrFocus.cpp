// The human's attack focus.
#include "qir.h"

void PlyrAttFocus() {}
