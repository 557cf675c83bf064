// The computer's reinforcement.
#include "qir.h"

int AIReinforce(bool) { return 0; }
