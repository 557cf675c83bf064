// The human's reinforcement.
#include "qir.h"

int PlyrReinforce(bool) { return 0; }
