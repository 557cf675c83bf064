// SPDX-License-Identifier: MIT
// Qir's web page: the game (qir.js, the same sources as on a terminal, built
// to WebAssembly) runs in one of two views: the drawn view (web/board.js and
// web/speech.js), where the page draws the board and the answers from what the
// game's page seat hands it and the game writes as to a pipe, or the classic
// view, a terminal emulator (xterm.js). This file is the page's half of
// src/os/osWeb.cpp and what a terminal and its shell give a player elsewhere:
// the line editing and echo of typed answers, the clear screen, a record of
// every game kept in the browser's storage, one tab at a time per game, and
// the choice of what to play and in which view.
'use strict';

(() => {
    const kNothingTyped = -2;             // src/os/osWeb.cpp's PageTakeByte: nothing typed yet
    const kEndOfInput = -1;               // and EOF
    const kCrashed = 134;                 // the status of a game that broke off, as a shell reports an abort
    const kLargestRecord = 16 << 20;      // src/record.cpp's bound: a file is read no further than one byte past it
    const kRecordFolder = '/records';     // the game's folder in its file system, which holds records only
    const kViewKey = 'qir:view';          // 'classic' when the player chose the terminal
    const kExplainKey = 'qir:explain';    // 'off' when the player turned the account off
    // The terminal parses what it is given a little at a time: the game waits
    // while more than the high-water mark of its output is still unparsed,
    // until less than the low-water mark is, so nothing is ever discarded.
    // Its output goes to the terminal in pieces of at most kPiece bytes.
    const kHighWater = 1 << 20;
    const kLowWater = 1 << 18;
    const kPiece = 1 << 16;
    const kMoreShown = 1;                 // src/os/osWeb.cpp's PageShow: shown, and the game may go on
    const kTerminalBehind = 2;            // shown, and the game waits for the terminal

    const term = new Terminal({
        convertEol: true,  // the game ends its lines with a bare newline, as a terminal's driver expects
        fontFamily: 'monospace',
        fontSize: 15,
        scrollback: 5000,
        scrollOnEraseInDisplay: true,  // a cleared screen stays above, as in a terminal's scrollback
    });
    const fit = new FitAddon.FitAddon();
    term.loadAddon(fit);
    // The terminal takes what the window leaves it, as the window or the
    // list of kept games above it changes.
    term.open(document.getElementById('terminal'));
    fit.fit();
    new ResizeObserver(() => fit.fit()).observe(document.getElementById('terminal'));

    // The drawn view, and what a screen reader hears of it.
    const gameArea = document.getElementById('game');
    const drawn = createDrawnView(document.getElementById('drawn'), line => {
        if (game !== null && game.view === 'drawn') {
            giveInput(game, encoder.encode(line), false);
        }
    });
    const explainSwitch = document.getElementById('explain');
    const speech = createSpeech(gameArea, document.getElementById('said'), drawn, () => explainSwitch.checked);
    const classicSwitch = document.getElementById('classic');
    classicSwitch.checked = localStorage.getItem(kViewKey) === 'classic';
    explainSwitch.checked = localStorage.getItem(kExplainKey) !== 'off';

    const encoder = new TextEncoder();
    let shownAt = null;  // when the game's first output reached the screen, in ms since the page was opened
    let game = null;     // the game being played, or the last one
    let updateNotice = '';  // the service worker's news, said until a game starts after it
    // Whether each game's whole output is kept: only while the page's check
    // asks for it (it sets window.qirKeepOutput before the page loads).
    const keepingOutput = window.qirKeepOutput === true;

    // Text from outside the page (a file's name, the address) as the terminal
    // or the document shows it: every control character (C0, DEL, C1) and
    // every lone surrogate is escaped, as the game escapes names in its
    // messages; all else stands as it is.
    function shown(text) {
        let out = '';
        for (const ch of String(text)) {
            const code = ch.codePointAt(0);
            if (code < 0x20 || (code >= 0x7f && code < 0xa0)) {
                out += '\\x' + code.toString(16).padStart(2, '0');
            } else if (code >= 0xd800 && code < 0xe000) {
                out += '\\u' + code.toString(16);
            } else {
                out += ch;
            }
        }
        return out;
    }

    // Something that went wrong before or around a game, said on the page's
    // terminal as the game says its own failures, and beside it.
    function sayFailure(text) {
        writeShown(shown(text) + '\n');
        showState(shown(text.replace(/^qir: /, '')));
    }

    // Text of the page's own (already shown safely) where the game is seen.
    function writeShown(text) {
        if (game !== null && game.view === 'drawn') {
            drawn.output(text);
            drawn.waiting();
        } else {
            term.write(text);
        }
    }

    // The view a game is played in: a replay is shown on the terminal, a
    // screen at a time, as qir --replay shows it; any other game in the view
    // the player chose.
    function showView(g) {
        const classic = g.view === 'classic';
        document.getElementById('drawn').hidden = classic;
        // The terminal stays laid out, out of sight, so that it keeps the
        // measure of its characters and has its size at once when shown.
        document.getElementById('terminal').classList.toggle('off', !classic);
        document.getElementById('screen-reader-switch').hidden = !classic;
        document.getElementById('explain-switch').hidden = classic;
        gameArea.setAttribute('aria-label', classic ? 'Qir, the classic view: type each answer and press Enter'
            : 'Qir: each key is an answer; Alt with a digit or a letter reads the board');
        if (classic) {
            fit.fit();
        }
    }

    // ---- The game's process: its standard input, output and record.

    // One run of the game: a fresh instance of the WebAssembly module, as a
    // new process is on a terminal. The classic view shows the game's own
    // colours, whatever the browser says of its environment; in the drawn
    // view the game writes as to a pipe, without them.
    function startGame(args, recordName, release, file) {
        const g = {
            recordName,            // the record kept in storage, or null
            release,               // gives back the record's lock
            input: [],             // bytes typed and not read yet
            inputAt: 0,            // the next of them to read
            inputEnded: false,     // the player ended the input (Ctrl-D on an empty line)
            wake: null,            // resolves the game's wait for keys
            output: [],            // every chunk the game wrote to its standard output, when kept
            gathered: [],          // chunks of output not yet handed to the terminal
            gatheredBytes: 0,
            unparsed: 0,           // bytes handed to the terminal that it has not parsed yet
            caughtUp: null,        // resolves the game's wait for the terminal
            recordText: '',
            watch: QirKeep.watcher(),  // the round reached and the result, for the list of kept games
            day: null,             // the date of a daily game
            unkept: false,         // the browser refused to keep the record: it is in memory only
            line: '',              // the line being edited, not yet sent
            ended: false,
            status: null,
            args,
            view: args.includes('--replay') ? 'classic' : classicSwitch.checked ? 'classic' : 'drawn',
            decoder: new TextDecoder(),
        };
        game = g;
        term.reset();
        drawn.reset();
        speech.clear();
        showView(g);
        if (g.view === 'classic') {
            args = ['--color=always'].concat(args);
        }
        // A new version fetched while this page opened is still said at its first game.
        showState(updateNotice);
        updateNotice = '';
        document.getElementById('download').disabled = recordName === null;
        const calls = pageCalls(g);
        createQir({
            qirPage: calls,
            print: text => calls.show(encoder.encode(text + '\n')),
            // After what the game wrote before it, as on a terminal.
            printErr: text => {
                handOutput(g);
                if (g === game) {
                    writeShown(shown(text) + '\n');
                }
            },
            onExit: status => gameEnded(g, status),
            onAbort: () => gameEnded(g, kCrashed),
        }).then(module => {
            g.module = module;
            // Records live in a folder of their own, so that a file of any
            // name (such as dev or tmp) is a record and nothing else.
            module.FS.mkdir(kRecordFolder);
            module.FS.chdir(kRecordFolder);
            if (file) {
                try {
                    module.FS.writeFile(file.name, file.bytes, {canOwn: true});
                } catch (error) {
                    gameEnded(g, kCrashed);
                    sayFailure(`qir: cannot open the record ${file.name}: ${error.message || error}`);
                    return;
                }
            }
            module.runGame(args);
        }, error => {
            gameEnded(g, kCrashed);
            sayFailure(`qir: cannot start the game: ${error.message || error}`);
        });
        focusGame();
        return g;
    }

    // Hands what game g gathered to the terminal in one piece, and wakes the
    // game once the terminal has caught up with it. The output of a game that
    // was left goes nowhere, and that game never wakes from such a wait.
    function handOutput(g) {
        const piece = new Uint8Array(g.gatheredBytes);
        g.gathered.reduce((at, chunk) => { piece.set(chunk, at); return at + chunk.length; }, 0);
        g.gathered = [];
        g.gatheredBytes = 0;
        if (g !== game || piece.length === 0) {
            return;
        }
        if (g.view === 'drawn') {
            drawn.output(g.decoder.decode(piece, {stream: true}));
            return;
        }
        g.unparsed += piece.length;
        term.write(piece, () => {
            g.unparsed -= piece.length;
            if (g.caughtUp !== null && g.unparsed < kLowWater) {
                const caughtUp = g.caughtUp;
                g.caughtUp = null;
                caughtUp();
            }
        });
    }

    // What src/os/osWeb.cpp calls for game g.
    function pageCalls(g) {
        return {
            // The game's output is gathered, and handed to the terminal in
            // large pieces, or when the game next waits or ends: a terminal
            // write for each short question would cost more than the terminal.
            show(bytes) {
                if (keepingOutput) {
                    g.output.push(bytes);
                }
                if (g.recordName !== null) {
                    g.watch.feed(bytes);
                }
                g.gathered.push(bytes);
                g.gatheredBytes += bytes.length;
                if (g.gatheredBytes >= kPiece) {
                    handOutput(g);
                } else if (g.gatheredBytes === bytes.length) {
                    queueMicrotask(() => handOutput(g));
                }
                if (shownAt === null && g.view === 'classic') {
                    shownAt = performance.now();
                }
                return g.unparsed + g.gatheredBytes > kHighWater ? kTerminalBehind : kMoreShown;
            },
            terminalCaughtUp() {
                handOutput(g);
                return new Promise(resolve => { g.caughtUp = resolve; });
            },
            takeByte() {
                if (g.inputAt < g.input.length) {
                    const c = g.input[g.inputAt++];
                    if (g.inputAt === g.input.length) {
                        g.input = [];
                        g.inputAt = 0;
                    }
                    return c;
                }
                return g.inputEnded ? kEndOfInput : kNothingTyped;
            },
            keysTyped() {
                if (g.view === 'drawn' && g === game) {
                    handOutput(g);
                    speech.news(drawn.waiting());
                    if (shownAt === null && drawn.question() !== null) {
                        shownAt = performance.now();
                    }
                }
                return new Promise(resolve => { g.wake = resolve; });
            },
            // Whether the game's page seat is wanted: the drawn view's.
            draws() {
                return g.view === 'drawn' ? 1 : 0;
            },
            // What the game's page seat hands over: a question with the
            // board, a refusal or an event, each with its account.
            hear(text) {
                if (g.view === 'drawn' && g === game) {
                    handOutput(g);
                    drawn.heard(JSON.parse(text));
                }
            },
            keepRecord() {
                g.recordText = g.module.FS.readFile(g.recordName, {encoding: 'utf8'});
                // A record the browser will not keep stays whole in the game's
                // memory: the game goes on, and the page offers it at once.
                const kept = QirKeep.keep(g.recordName, g.recordText, aboutGame(g), false);
                if (kept !== !g.unkept) {
                    g.unkept = !kept;
                    storageRefused(g);
                }
                if (kept) {
                    firstKeptGame();
                }
                return 1;
            },
            // The page's terminal is the game's screen and its keyboard; in
            // the drawn view the game writes as to a pipe.
            isTerminal() {
                return g.view === 'classic' ? 1 : 0;
            },
            screenSize() {
                return g.view === 'classic' ? {rows: term.rows, columns: term.cols} : null;
            },
        };
    }

    // Puts bytes on the game's standard input, as a pipe or a terminal's
    // driver does, and wakes the game if it waits for them.
    function giveInput(g, bytes, end) {
        if (g.ended) {
            return;
        }
        for (const b of bytes) {
            g.input.push(b);
        }
        g.inputEnded = g.inputEnded || end;
        if (g.wake !== null && (g.inputAt < g.input.length || g.inputEnded)) {
            const wake = g.wake;
            g.wake = null;
            wake();
        }
    }

    // A game that ended by itself (the player declined another, or the
    // record held a game already over) is finished; one whose input ended
    // stays unfinished, to be continued, as after a closed terminal.
    function gameEnded(g, status) {
        g.ended = true;
        if (g === game && g.view === 'drawn') {
            handOutput(g);
            drawn.output(g.decoder.decode());
            speech.news(drawn.ended());
        }
        g.status = status;
        if (g.release) {
            g.release();
        }
        if (g.recordName !== null && status === 0 && !g.inputEnded && !g.unkept) {
            // Still unfinished in storage when refused: continuing it says the game is over.
            QirKeep.keep(g.recordName, g.recordText, aboutGame(g), true);
        }
        if (g === game) {
            showState('The game has ended.');
            sessionStorage.removeItem(kPlayingKey);
            offerDailyResult(g);
            offerKeptGames(false);
        }
    }

    // ---- The terminal's driver: echo and line editing of what is typed.

    function typed(data) {
        const g = game;
        if (g === null || g.ended || data.startsWith('\x1b')) {
            return;  // no game, or a key such as an arrow that sends a sequence: nothing to edit with
        }
        for (const ch of data) {
            if (ch === '\r' || ch === '\n') {
                term.write('\n');
                const line = g.line + '\n';
                g.line = '';
                giveInput(g, encoder.encode(line), false);
            } else if (ch === '\x7f' || ch === '\b') {
                if (g.line !== '') {
                    g.line = Array.from(g.line).slice(0, -1).join('');
                    term.write('\b \b');
                }
            } else if (ch === '\x15') {  // Ctrl-U: the whole line
                term.write('\b \b'.repeat(Array.from(g.line).length));
                g.line = '';
            } else if (ch === '\x04') {  // Ctrl-D: the line as it stands, or the end of input on an empty one
                const line = g.line;
                g.line = '';
                giveInput(g, encoder.encode(line), line === '');
            } else if (ch >= ' ' || ch === '\t') {
                g.line += ch;
                term.write(ch);
            }
        }
    }
    term.onData(typed);

    // ---- Games kept in the browser's storage (keep.js) and shared (share.js).

    const kPlayingKey = 'qir:playing';  // in this tab's session: the kept game it plays, offered again after a reload

    // What the list says of game g: its settings from its record, its round
    // and result from its output.
    function aboutGame(g) {
        const settings = QirKeep.settingsOf(g.recordText);
        return {...settings, round: g.watch.seen.round, result: g.watch.seen.result, day: g.day};
    }

    // A new game, kept as it is played: with a seed, as a daily game (day:
    // a date, or '' for today), or with the clock's dice.
    async function newGame(seed, day = null) {
        leaveGame();
        let name = null;
        let release = null;
        const what = day !== null ? `daily-${day || todayInUtc()}` : seed === null ? '' : `seed-${seed}`;
        while (release === null) {
            name = QirKeep.newName(what);
            release = await QirKeep.lock(name);
        }
        const args = day !== null ? [day ? `--daily=${day}` : '--daily'] : seed === null ? [] : ['--seed', seed];
        const g = startGame(args.concat(['--record', name]), name, release, null);
        g.day = day !== null ? day || todayInUtc() : null;
        sessionStorage.setItem(kPlayingKey, name);
    }

    // Resolves to false while another tab holds the game; `say` tells so.
    async function continueGame(name, say = true) {
        const release = await QirKeep.lock(name);
        if (release === null) {
            if (say) {
                showState(`This game is being played in another tab or window: go on with it there (${shown(name)}).`);
                focusGame();
            }
            return false;
        }
        const text = QirKeep.text(name);
        if (text === null) {
            release();
            offerKeptGames();
            return true;
        }
        leaveGame();
        const g = startGame(['--resume', name], name, release, {name, bytes: encoder.encode(text)});
        const known = QirKeep.about(name);
        g.day = known && known.day ? known.day : null;
        sessionStorage.setItem(kPlayingKey, name);
        return true;
    }

    // Shows a record as qir --replay does; nothing of it is kept.
    function replayText(name, bytes) {
        leaveGame();
        startGame(['--replay', name], null, null, {name, bytes});
    }

    // A file larger than any record is refused as the game refuses it,
    // before any of it is read; of a file that grows meanwhile no more is
    // read than a record may hold and one byte, which the game refuses.
    function replayFile(file) {
        const refuse = reason => {
            leaveGame();
            term.reset();
            sayFailure(`qir: cannot read the record ${file.name}: ${reason}`);
            offerKeptGames();
        };
        if (file.size > kLargestRecord) {
            refuse('it is larger than 16 MiB, which no game\'s record is');
            return;
        }
        file.slice(0, kLargestRecord + 1).arrayBuffer().then(buffer => replayText(file.name, new Uint8Array(buffer)),
                                                             error => refuse(error.message || String(error)));
    }

    // The game on the screen is left as it stands: its record stays kept,
    // unfinished, for another time.
    function leaveGame() {
        if (game !== null && !game.ended && game.release) {
            game.release();
        }
        game = null;
        sessionStorage.removeItem(kPlayingKey);  // a reload no longer finds this tab in the middle of it
        document.getElementById('download').disabled = true;
        offerKeptGames(false);
    }

    // ---- The page around the terminal.

    // Whatever the header and the offers' line say, the terminal is fitted
    // to what they leave it at once, before the game draws another screen.
    function showState(text) {
        document.getElementById('state').textContent = text;
        fit.fit();
    }

    function download(name, content, type = 'text/plain') {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(new Blob([content], {type}));
        link.download = name;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 1000);
    }

    function button(text, action) {
        const b = document.createElement('button');
        b.type = 'button';
        b.textContent = text;
        b.addEventListener('click', action);
        return b;
    }

    function todayInUtc() {
        return new Date(Date.now()).toISOString().slice(0, 10);
    }

    // A line of the offers' area, under the controls: text, and buttons that
    // give the focus back to the game.
    function offer(text, ...choices) {
        const area = document.getElementById('offer');
        area.replaceChildren();
        if (text === null) {
            area.hidden = true;
            fit.fit();
            return;
        }
        const said = document.createElement('span');
        said.textContent = text;
        area.append(said, ...choices.map(([label, action]) => button(label, () => { action(); focusGame(); })));
        area.hidden = false;
        fit.fit();
    }

    // The browser refused to keep the record (its storage is full, or it
    // keeps nothing): said at once, with the game in play to download.
    function storageRefused(g) {
        if (g !== game) {
            return;
        }
        if (!g.unkept) {
            offer(null);
            return;
        }
        offer('This browser\'s storage is full: the game goes on, but it is no longer kept here. ' +
              'Download it now, or export all games and forget some to make room.',
              ['Download this game', () => download(g.recordName, g.recordText)],
              ['Export all games', exportAll],
              ['Kept games', () => offerKeptGames(true)]);
    }

    let persistAsked = false;

    // At the first game kept, the browser is asked to keep the site's
    // storage for good (not cleared after weeks without a visit).
    function firstKeptGame() {
        if (!persistAsked) {
            persistAsked = true;
            QirKeep.persist().then(() => offerKeptGames(!document.getElementById('kept').hidden), () => {});
        }
    }

    // A daily game that came to its end: a short result to copy, with its
    // replay link.
    function offerDailyResult(g) {
        if (g.day === null || g.watch.seen.result === null) {
            return;
        }
        const seen = g.watch.seen;
        const result = `Qir daily game of ${g.day}: I ${seen.result === 'won' ? 'won' : 'lost'} in round ${seen.round}.\n` +
                       QirShare.link(g.recordText);
        offer(result.split('\n')[0], ['Copy the result and its link', () => copyText(result)]);
        window.qirDailyResult = result;
    }

    function copyText(text) {
        if (navigator.clipboard) {
            navigator.clipboard.writeText(text).catch(() => {});
        }
    }

    function share(name) {
        const link = QirShare.link(QirKeep.text(name));
        copyText(link);
        offer(`The link to replay ${name} (${link.length} characters) was copied.`,
              ['Copy it again', () => copyText(link)]);
        window.qirSharedLink = link;
    }

    async function forgetOne(name) {
        if (!await QirKeep.forget(name)) {
            showState('This game is being played, here or in another tab: it cannot be forgotten while it is.');
        }
        offerKeptGames(true);
    }

    async function forgetAll() {
        let inPlay = 0;
        for (const {name} of QirKeep.games()) {
            inPlay += await QirKeep.forget(name) ? 0 : 1;
        }
        showState(inPlay === 0 ? 'Every kept game was forgotten.'
                  : `Every kept game was forgotten but ${inPlay} being played, here or in another tab.`);
        offerKeptGames(true);
    }

    function exportAll() {
        const games = QirKeep.games().map(({name}) => ({name, text: QirKeep.text(name)}));
        download(`qir-games-${todayInUtc()}.zip`, QirShare.zipOf(games), 'application/zip');
    }

    // Takes records, or zips of them, into the list: each is checked by the
    // game's own replay; a game kept already is not kept twice, and another
    // game under a kept name gets a name of its own.
    async function importFiles(files) {
        const said = [];
        let taken = 0;
        for (const file of files) {
            const bytes = new Uint8Array(file.size > QirShare.kLargestRecord * 4 ? 4 : await file.arrayBuffer());
            const entries = file.size > QirShare.kLargestRecord * 4
                ? [{name: file.name, reason: 'it is larger than any zip of games'}] : QirShare.filesOf(file.name, bytes);
            for (const entry of entries) {
                const name = entry.name.split('/').pop() || 'game.qir';
                if (entry.reason) {
                    said.push(`${name}: ${entry.reason}`);
                    continue;
                }
                const text = new TextDecoder().decode(entry.bytes);
                const checked = await QirKeep.inspect('game.qir', entry.bytes);
                if (!checked.ok) {
                    said.push(`${name}: ${checked.reason.replace(/^game\.qir:? ?/, '')}`);
                    continue;
                }
                const same = QirKeep.games().find(kept => QirKeep.text(kept.name) === text);
                if (same) {
                    continue;
                }
                const dot = name.lastIndexOf('.');
                const keptName = QirKeep.isKept(name) ? QirKeep.freeName(dot > 0 ? name.slice(0, dot) : name,
                                                                        dot > 0 ? name.slice(dot) : '') : name;
                const about = {...QirKeep.settingsOf(text), round: checked.round, result: checked.result};
                if (!QirKeep.keep(keptName, text, about, checked.result !== null)) {
                    said.push(`${name}: this browser's storage is full`);
                    continue;
                }
                ++taken;
            }
        }
        showState(`${taken} ${taken === 1 ? 'game' : 'games'} brought in.` +
                  (said.length ? ` Not taken: ${said.join('; ')}` : ''));
        window.qirImported = {taken, refused: said};
        offerKeptGames(true);
    }

    // Lists the games kept in this browser, the newest first, each to
    // continue or replay, share, download or forget, and what the browser
    // says of its storage; returns how many are unfinished. The list lies
    // over the game, which keeps its size.
    function offerKeptGames(show = true) {
        const list = document.getElementById('kept-games');
        list.replaceChildren();
        const kept = QirKeep.games();
        for (const kept1 of kept) {
            const {name, finished} = kept1;
            const playing = game !== null && !game.ended && game.recordName === name;
            const unfinished = !finished && !(kept1.about && kept1.about.result);
            const item = document.createElement('li');
            const label = document.createElement('span');
            label.textContent = `${QirKeep.describe(kept1)} (${name})`;
            const act = (text, action) => button(text, () => { action(); focusGame(); });
            item.append(label,
                        unfinished ? act('Continue', () => continueGame(name))
                                   : act('Replay', () => replayText(name, encoder.encode(QirKeep.text(name)))),
                        act('Share', () => share(name)),
                        act('Download', () => download(name, QirKeep.text(name))),
                        act('Forget', () => forgetOne(name)));
            // The game in play is neither continued again nor forgotten here.
            item.children[1].disabled = playing;
            item.lastChild.disabled = playing;
            list.append(item);
        }
        QirKeep.storageState().then(state => {
            document.getElementById('storage').textContent =
                `${kept.length} ${kept.length === 1 ? 'game' : 'games'} kept, ${(state.used / 1024).toFixed(0)} KB used; ` +
                (state.persisted === true ? 'the browser keeps them for good.'
                 : 'the browser may clear them after a time without a visit: export them to keep them safe.');
        });
        document.getElementById('kept').hidden = !show;
        return kept.filter(g => !g.finished && !(g.about && g.about.result)).length;
    }

    // The newest unfinished game, offered before a new one starts.
    function newestUnfinished() {
        return QirKeep.games().find(g => !g.finished && !(g.about && g.about.result) &&
                                         !(game !== null && game.recordName === g.name));
    }

    function askBeforeNewGame(start) {
        const unfinished = newestUnfinished();
        if (!unfinished) {
            start();
            return;
        }
        offer(`An unfinished game is kept: ${QirKeep.describe(unfinished)}.`,
              ['Continue it', () => { offer(null); continueGame(unfinished.name); }],
              ['Start a new game', () => { offer(null); start(); }]);
    }

    // A game carried by a link replays here, as qir --replay shows it; it is
    // kept only if the viewer asks.
    function replayLink(fragment) {
        let bytes;
        try {
            bytes = QirShare.recordOfLink(fragment);
        } catch (error) {
            term.reset();
            sayFailure(`qir: cannot replay the game of this link: ${error.message}`);
            return;
        }
        replayText('shared-game.qir', bytes);
        offer('This game came with a link: it is not kept here unless you keep it.',
              ['Keep this game', () => importFiles([new File([bytes], 'shared-game.qir')])]);
    }

    document.getElementById('new-game').addEventListener('click', () => askBeforeNewGame(() => newGame(null)));
    document.getElementById('daily').addEventListener('click', () => newGame(null, ''));
    document.getElementById('show-kept').addEventListener('click', () => {
        offerKeptGames(document.getElementById('kept').hidden);
        focusGame();
    });
    document.getElementById('forget-all').addEventListener('click', () => { forgetAll(); focusGame(); });
    document.getElementById('export-all').addEventListener('click', () => { exportAll(); focusGame(); });
    document.getElementById('import').addEventListener('change', event => {
        importFiles(Array.from(event.target.files));
        event.target.value = '';
        focusGame();
    });
    document.getElementById('download').addEventListener('click', () => {
        if (game !== null && game.recordName !== null && game.recordText !== '') {
            download(game.recordName, game.recordText);
        }
        focusGame();
    });
    document.getElementById('replay-file').addEventListener('change', event => {
        if (event.target.files.length > 0) {
            replayFile(event.target.files[0]);
        }
        event.target.value = '';
    });
    document.getElementById('screen-reader').addEventListener('change', event => {
        term.options.screenReaderMode = event.target.checked;
        focusGame();
    });
    document.getElementById('menu').addEventListener('click', event => {
        const controls = document.getElementById('controls');
        controls.hidden = !controls.hidden;
        event.currentTarget.setAttribute('aria-expanded', String(!controls.hidden));
    });
    explainSwitch.addEventListener('change', () => {
        localStorage.setItem(kExplainKey, explainSwitch.checked ? 'on' : 'off');
        document.getElementById('log').classList.toggle('no-account', !explainSwitch.checked);
    });
    document.getElementById('log').classList.toggle('no-account', !explainSwitch.checked);
    classicSwitch.addEventListener('change', () => {
        localStorage.setItem(kViewKey, classicSwitch.checked ? 'classic' : 'drawn');
        switchView();
    });

    // A game in play goes on in the other view from its record, as a resumed
    // game: the record stays one game's. A replay, or a game with nothing
    // kept yet, starts again in the new view, the same seed (if any) with it.
    async function switchView() {
        const g = game;
        if (g === null || g.ended || g.args.includes('--replay')) {
            return;
        }
        if (g.recordName === null || !QirKeep.isKept(g.recordName)) {
            leaveGame();
            const seed = g.args.indexOf('--seed');
            newGame(seed >= 0 ? g.args[seed + 1] : null, g.day);
            return;
        }
        leaveGame();
        // The lock this tab gave back is free once the browser has seen it go.
        for (let tries = 0; tries < 40 && !(await continueGame(g.recordName, false)); ++tries) {
            await new Promise(resolve => setTimeout(resolve, 25));
        }
    }

    // After any control of the page, keys go to the game again, so that a key
    // meant as an answer never works a control (nor a control's key the game).
    function focusGame() {
        if (game !== null && game.view === 'classic') {
            term.focus();
        } else {
            gameArea.focus({preventScroll: true});
        }
    }
    document.addEventListener('click', event => {
        if (event.target instanceof Element && event.target.closest('button, label, summary')) {
            setTimeout(focusGame);
        }
    });
    document.addEventListener('change', () => setTimeout(focusGame));

    // The installed page works offline: its files are kept by a service
    // worker where the browser allows one (https, localhost), which says
    // when it brought them up to date for the next start.
    if ('serviceWorker' in navigator && location.protocol !== 'file:') {
        navigator.serviceWorker.addEventListener('message', event => {
            if (event.data === 'qir:updated') {
                const news = 'A new version of the page was fetched: it is used from the next start.';
                updateNotice = game === null ? news : '';  // no game yet: its start says it again
                showState(news);
            }
        });
        navigator.serviceWorker.register('sw.js').catch(() => {});
    }

    // A link with a game replays it; ?daily plays the day's game; ?seed=N a
    // new game with those dice; a reload in the middle of a game offers to
    // continue it; otherwise the newest unfinished game is offered, and
    // without one a new game starts.
    const query = new URLSearchParams(location.search);
    const seed = query.get('seed');
    const day = query.get('daily');
    const playing = sessionStorage.getItem(kPlayingKey);
    const shared = location.hash.startsWith('#replay=') ? location.hash.slice('#replay='.length) : null;
    if (shared !== null) {
        replayLink(shared);
    } else if (playing !== null && QirKeep.isKept(playing) && !QirKeep.finished(playing)) {
        offer(`You were playing a game when the page was left: ${QirKeep.describe({about: QirKeep.about(playing)})}.`,
              ['Continue it', () => { offer(null); continueGame(playing); }],
              ['Start a new game', () => {
                  offer(null);
                  sessionStorage.removeItem(kPlayingKey);
                  day !== null ? newGame(null, day) : newGame(seed);
              }]);
    } else if (day !== null) {
        newGame(null, day);
    } else if (seed !== null) {
        newGame(seed);
    } else if (offerKeptGames() === 0) {
        newGame(null);
    } else {
        showState('Continue a kept game, or start a new one.');
    }

    // A link opened in a page already open changes only its fragment, which
    // loads nothing again: its game replays all the same.
    window.addEventListener('hashchange', () => {
        if (location.hash.startsWith('#replay=')) {
            replayLink(location.hash.slice('#replay='.length));
        }
    });

    // A string whose characters stand for bytes, as the check holds a
    // session's answers (some are no UTF-8); a character above 255 gives
    // its UTF-8 bytes.
    const byteString = text => Array.from(text).flatMap(ch => {
        const code = ch.codePointAt(0);
        return code < 256 ? [code] : Array.from(encoder.encode(ch));
    });

    const latin1 = bytes => {
        let text = '';
        for (let i = 0; i < bytes.length; i += 8192) {
            text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
        }
        return text;
    };

    // What the page's check drives: the game's standard input as a pipe
    // gives it (no echo, no line editing), what the game wrote, and the
    // terminal's screen.
    window.qir = {
        type: text => game && giveInput(game, byteString(text), false),
        keys: text => typed(text),  // as keys pressed on the page's terminal: echoed and edited there
        view: () => (game ? game.view : null),
        size: () => [term.rows, term.cols],
        board: () => drawn.board(),
        question: () => (game !== null && game.view === 'drawn' ? drawn.question() : null),
        endInput: () => game && giveInput(game, [], true),
        output: () => (game ? game.output.map(latin1).join('') : ''),
        record: () => (game ? game.recordText : ''),
        ended: () => game !== null && game.ended,
        replayKept: name => replayText(name, encoder.encode(QirKeep.text(name))),
        status: () => (game ? game.status : null),
        waiting: () => game !== null && game.wake !== null,
        shownAt: () => shownAt,
        // Whether every cell of the terminal has the terminal's own colours.
        plain: () => {
            const buffer = term.buffer.active;
            for (let y = 0; y < buffer.length; ++y) {
                const line = buffer.getLine(y);
                for (let x = 0; x < line.length; ++x) {
                    const cell = line.getCell(x);
                    if (!cell.isFgDefault() || !cell.isBgDefault()) {
                        return false;
                    }
                }
            }
            return true;
        },
        // The terminal's rows, or in the drawn view the log's lines.
        screen: () => {
            if (game !== null && game.view === 'drawn') {
                return drawn.lines();
            }
            const buffer = term.buffer.active;
            return Array.from({length: term.rows}, (_, y) => buffer.getLine(buffer.viewportY + y).translateToString(true));
        },
    };
})();
