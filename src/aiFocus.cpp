// The computer's attack focus.
#include "qir.h"

void AIAttFocus() {}
