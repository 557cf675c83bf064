// SPDX-License-Identifier: MIT
// The games kept in this browser: each game's record under its name, what
// the list says of it (opponent, maximum Power, order, round, result), and
// one tab at a time per game. Nothing kept is ever forgotten but by the
// player's own action. Whatever a record holds reaches the document only as
// text (textContent), never as markup.
'use strict';

const QirKeep = (() => {
    const kRecordKey = 'qir:record:';  // + a record's name: the record's text
    const kFinishedKey = 'qir:ended:';  // + a record's name: that game came to its end
    const kAboutKey = 'qir:about:';     // + a record's name: what the list says of it
    const kNothingTyped = -2;           // src/os/osWeb.cpp's PageTakeByte
    const kEndOfInput = -1;
    const kMoreShown = 1;               // src/os/osWeb.cpp's PageShow: shown, go on

    function text(name) {
        return localStorage.getItem(kRecordKey + name);
    }

    function about(name) {
        try {
            const kept = JSON.parse(localStorage.getItem(kAboutKey + name));
            return kept !== null && typeof kept === 'object' ? kept : null;
        } catch (e) {
            return null;
        }
    }

    // Every kept game, the newest first (the one last played or brought in).
    function games() {
        const list = [];
        for (let i = 0; i < localStorage.length; ++i) {
            const key = localStorage.key(i);
            if (key.startsWith(kRecordKey)) {
                const name = key.slice(kRecordKey.length);
                list.push({name, finished: localStorage.getItem(kFinishedKey + name) !== null, about: about(name)});
            }
        }
        const at = game => (game.about && Number(game.about.at)) || 0;
        return list.sort((a, b) => at(b) - at(a) || (a.name < b.name ? 1 : a.name > b.name ? -1 : 0));
    }

    // Keeps a record and what is known of it; false when the browser refuses
    // (its storage is full or turned off), and then nothing of it changed.
    function keep(name, recordText, known, finished) {
        const before = text(name);
        try {
            localStorage.setItem(kRecordKey + name, recordText);
            localStorage.setItem(kAboutKey + name, JSON.stringify({...known, at: Date.now()}));
            if (finished) {
                localStorage.setItem(kFinishedKey + name, '1');
            }
            return true;
        } catch (e) {
            if (before === null) {
                localStorage.removeItem(kRecordKey + name);
            }
            return false;
        }
    }

    function forgetNow(name) {
        localStorage.removeItem(kRecordKey + name);
        localStorage.removeItem(kFinishedKey + name);
        localStorage.removeItem(kAboutKey + name);
    }

    // One tab at a time plays a kept game: it holds the game's lock until the
    // game ends or the tab closes. Resolves to the function that gives the
    // lock back, or to null while another tab holds it.
    function lock(name) {
        if (!navigator.locks) {
            return Promise.resolve(() => {});  // no locks in this browser: the last tab to write wins
        }
        return new Promise(resolve => {
            navigator.locks.request(`qir:${name}`, {ifAvailable: true}, held => {
                if (held === null) {
                    resolve(null);
                    return undefined;
                }
                return new Promise(release => resolve(release));
            });
        });
    }

    // Forgets a game unless a tab plays it (this one included): resolves to
    // whether it was forgotten.
    async function forget(name) {
        const release = await lock(name);
        if (release === null) {
            return false;
        }
        forgetNow(name);
        release();
        return true;
    }

    // A new record's name: the time the game started and what it is (its
    // seed, or the day of a daily game), so a downloaded file says which game
    // it holds; a name no game of this browser has.
    function newName(what) {
        const now = new Date();
        const two = n => String(n).padStart(2, '0');
        let name = `qir-${now.getFullYear()}${two(now.getMonth() + 1)}${two(now.getDate())}-` +
                   `${two(now.getHours())}${two(now.getMinutes())}${two(now.getSeconds())}`;
        if (what) {
            name += `-${what.replace(/[^0-9A-Za-z-]/g, '_')}`;
        }
        return freeName(name, '.qir');
    }

    // `stem` + `ending`, or with -2, -3... after the stem, whichever is free.
    function freeName(stem, ending) {
        const nth = n => (n === 1 ? `${stem}${ending}` : `${stem}-${n}${ending}`);
        let n = 1;
        while (text(nth(n)) !== null) {
            ++n;
        }
        return nth(n);
    }

    // The settings of a record's first game, read from its answers as the
    // game reads them: each read is judged by its first character, and a
    // refused one is asked again.
    function settingsOf(recordText) {
        const wanted = ['yn', '12', '23456789', 'dq'];
        const taken = [];
        for (const line of recordText.split('\n')) {
            if (taken.length === wanted.length) {
                break;
            }
            const first = line.startsWith('answer ') ? line.charAt(7) : '';
            if (first !== '' && first !== '\\' && wanted[taken.length].includes(first)) {
                taken.push(first);
            }
        }
        return {
            order: taken[1] === undefined ? null : Number(taken[1]),
            power: taken[2] === undefined ? null : Number(taken[2]),
            opponent: taken[3] === undefined ? null : taken[3] === 'd' ? 'Dravik' : 'Quelby',
        };
    }

    // Follows a game's output for the round it reached and how it ended; the
    // last game of the run counts.
    function watcher() {
        const decoder = new TextDecoder();
        const seen = {round: 0, result: null, resultRound: 0};
        let line = '';
        const look = whole => {
            const plain = whole.replace(/\x1b\[[0-9;]*[A-Za-z]/g, '');
            let found;
            if (plain.includes('Welcome to QIR!')) {
                seen.round = 0;
                seen.result = null;
            }
            for (const m of plain.matchAll(/Starting round (\d+)/g)) {
                seen.round = Number(m[1]);
            }
            if ((found = /You win!\s+You beat the \w+ in (\d+) round/.exec(plain)) !== null) {
                seen.result = 'won';
                seen.round = Number(found[1]);
            } else if ((found = /You lose!\s+\w+ won in (\d+) round/.exec(plain)) !== null) {
                seen.result = 'lost';
                seen.round = Number(found[1]);
            }
        };
        return {
            seen,
            feed(bytes) {
                line += typeof bytes === 'string' ? bytes : decoder.decode(bytes, {stream: true});
                const end = line.lastIndexOf('\n');
                if (end >= 0) {
                    look(line.slice(0, end));
                    line = line.slice(end + 1);
                }
                if (line.length > 4096) {  // a long run of retries on one line: only its end may matter
                    look(line);
                    line = line.slice(-256);
                }
            },
        };
    }

    // What the list says of a game.
    function describe(game) {
        const a = game.about || {};
        const parts = [];
        parts.push(a.opponent ? `against ${a.opponent}` : 'not set up yet');
        if (a.power) {
            parts.push(`Power ${a.power}`);
        }
        if (a.order) {
            parts.push(a.order === 1 ? 'you first' : 'you second');
        }
        if (a.round) {
            parts.push(`round ${a.round}`);
        }
        parts.push(a.result === 'won' ? 'you won' : a.result === 'lost' ? 'you lost'
                   : game.finished ? 'ended' : 'unfinished');
        if (a.day) {
            parts.unshift(`daily game of ${a.day}`);
        }
        return parts.join(', ');
    }

    // Runs a record through the game's own --replay, unseen: whether the game
    // takes it (and why not), and the round and result it shows. The game
    // reads the record by the rules of any replay: the largest record's size,
    // its lines, its version.
    function inspect(name, bytes) {
        return new Promise(resolve => {
            const watch = watcher();
            let errors = '';
            let done = false;
            const finish = status => {
                if (done) {
                    return;
                }
                done = true;
                const refusal = errors.split('\n').find(line => line.startsWith('qir: ') && !/was recorded by|last line was cut/.test(line));
                resolve({ok: status === 0, reason: status === 0 ? '' : (refusal || 'not a record').replace(/^qir: /, ''),
                         round: watch.seen.round, result: watch.seen.result});
            };
            createQir({
                qirPage: {
                    show(bytes) { watch.feed(bytes); return kMoreShown; },
                    terminalCaughtUp: () => Promise.resolve(),
                    takeByte: () => kEndOfInput,
                    keysTyped: () => Promise.resolve(),
                    keepRecord: () => 1,
                    isTerminal: () => 0,
                    screenSize: () => ({rows: 24, columns: 80}),
                    draws: () => 0,  // no seat: only the words matter
                },
                print: line => watch.feed(line + '\n'),
                printErr: line => { errors += line + '\n'; },
                onExit: finish,
                onAbort: () => finish(134),
            }).then(module => {
                module.FS.mkdir('/records');
                module.FS.chdir('/records');
                module.FS.writeFile(name, bytes);
                module.runGame(['--replay', name]);
            }, () => finish(134));
        });
    }

    // The browser is asked once to keep the site's storage for good.
    async function persist() {
        if (!navigator.storage || !navigator.storage.persist) {
            return null;
        }
        if (await navigator.storage.persisted()) {
            return true;
        }
        return navigator.storage.persist();
    }

    async function storageState() {
        const state = {persisted: null, used: null, quota: null};
        if (navigator.storage && navigator.storage.persisted) {
            state.persisted = await navigator.storage.persisted();
        }
        let used = 0;
        for (let i = 0; i < localStorage.length; ++i) {
            const key = localStorage.key(i);
            used += (key.length + (localStorage.getItem(key) || '').length) * 2;  // UTF-16, as browsers count it
        }
        state.used = used;
        return state;
    }

    return {kNothingTyped, games, text, about, keep, forget, forgetNow, lock, newName, freeName, settingsOf,
            watcher, describe, inspect, persist, storageState,
            isKept: name => text(name) !== null,
            finished: name => localStorage.getItem(kFinishedKey + name) !== null};
})();
