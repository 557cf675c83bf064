// SPDX-License-Identifier: MIT
// Qir, the program: it plays, then ends through the system, which gives a
// console back as it found it.
#include "qir.h"

int main(int argc, char* argv[])
{
    OsExit(PlayQir(argc, argv));
}
