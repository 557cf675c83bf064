// SPDX-License-Identifier: MIT
// Added to the end of qir.js (--post-js), inside the game's module. Runs the
// game's main() with its command line, and ends the program as a return from
// main does even after the game has waited for keys: callMain has returned
// long before then, and would drop main's status. An exit() called inside the
// game has ended the program already (Module.onExit).
Module['runGame'] = args => {
    const ended = error => {
        if (!(error instanceof ExitStatus)) {
            throw error;
        }
    };
    callMain(args);
    if (Asyncify.currData !== null) {
        Asyncify.whenDone().then(status => {
            try {
                exit(status);
            } catch (error) {
                ended(error);
            }
        }, ended);
    }
};
