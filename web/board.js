// SPDX-License-Identifier: MIT
// The drawn view of Qir's web page: the board as tables drawn from the values
// the game's page seat hands over (src/seat/pageSeat.cpp), the game's lines
// in a log beside it, the question, and a button for each answer it takes.
// The game's output is read only for its lines: the board it prints is left
// out of the log, since the tables show it. Everything of the game's reaches
// the document as text only.
'use strict';

// The kinds of the seat's values, in the order of src/dialogue/listener.h.
const kQuestionKinds = ['yesNo', 'letter', 'setup', 'power', 'unitId', 'pause'];
const kFightEvent = 9;       // EventKind::kFight
const kCombatEndEvent = 10;  // EventKind::kCombatEnd
const kGameStartEvent = 0;   // EventKind::kGameStart
const kClearScreen = '\x1b[H\x1b[2J';  // starts every board the game prints
const kLogEntriesKept = 800;          // the last screens, a few hundred lines

// The column a Unit ID names: 'A' is the first; past 'Z' come the keys after it.
function columnName(col) {
    return String.fromCharCode(65 + col);
}

function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) {
        e.textContent = text;
    }
    if (className) {
        e.className = className;
    }
    return e;
}

// Units by Power in words: "2 of Power 1, 1 of Power 3", or "none".
function unitsSaid(counts, full) {
    const said = [];
    for (let power = 1; power <= full; ++power) {
        if (counts[power - 1] > 0) {
            said.push(`${counts[power - 1]} of Power ${power}`);
        }
    }
    return said.length > 0 ? said.join(', ') : 'none';
}

// What a key names on an answer button: the key, and a word where it helps:
// a menu's option is named in its text as "Pass (p)".
function answerLabel(question, key) {
    if (question.kind === 'pause') {
        return 'Go on';
    }
    if (question.kind === 'yesNo') {
        return key === 'y' ? 'y: yes' : 'n: no';
    }
    const option = question.kind === 'letter' && new RegExp(`(?:^|\n)([A-Z][A-Za-z -]*) \\(${key}\\)`).exec(question.text);
    if (option) {
        return `${key}: ${option[1]}`;
    }
    // "Attacker, Defender, or Base (a, d or b)"
    const list = question.kind === 'letter' && /([A-Z]\w*(?:,? (?:or )?[A-Z]\w*)+) \(([a-z](?:,? (?:or )?[a-z])+)\)/.exec(question.text);
    if (list) {
        const names = list[1].split(/,? (?:or )?/);
        const keys = list[2].split(/,? (?:or )?/);
        if (names.length === keys.length && keys.includes(key)) {
            return `${key}: ${names[keys.indexOf(key)]}`;
        }
    }
    return key === '\x7f' ? 'DEL' : key;
}

// The drawn view, inside `root`; `send(line)` puts an answer's line on the
// game's input, exactly as typed.
function createDrawnView(root, send) {
    const boardArea = root.querySelector('#board');
    const log = root.querySelector('#log');
    const questionLine = root.querySelector('#question');
    const answers = root.querySelector('#answers');
    let lastBoard = null;      // the board as the game last printed it
    let latestBoard = null;    // the board the game prints next
    let question = null;       // the question the game waits on
    let boardShown = false;    // the game printed a board: the tables stand for it
    let pending = [];          // entries of the log since the game last waited
    let line = '';             // the line the game is printing
    let inBoard = 0;           // within a printed board: 1 and 2 before its frames' lines, 3 in its Reserves
    let openPrompt = null;     // the log's entry of the question answered next
    let lastFight = [];        // the fight events of the last combat
    let combatEnded = true;
    let bases = null;          // the Bases lost in the last combat
    const frame = /^ {10}\|-+(-YOU--|[A-Z]{6})-+\|$/;  // a side's label in the board's frame

    function addEntry(text, className) {
        const entry = element('div', text, className);
        pending.push(entry);
        log.append(entry);
        while (log.childElementCount > kLogEntriesKept) {
            log.firstElementChild.remove();
        }
        return entry;
    }

    // One whole line of the game's output: a line of the board it printed
    // is left out, and so are its Reserves below it.
    function gameLine(text) {
        if (inBoard === 1 || inBoard === 2) {
            inBoard += frame.test(text) ? 1 : 0;
            return;
        }
        if (inBoard === 3) {
            if (text === '' || /^You have \d+ units? in your Reserves:$/.test(text) || /^Power \d+: \d+$/.test(text)) {
                return;
            }
            inBoard = 0;
        }
        addEntry(text, 'said');
    }

    function newBoard() {
        if (line !== '') {
            gameLine(line);
            line = '';
        }
        boardShown = true;
        lastBoard = latestBoard;
        inBoard = 1;
        addEntry('', 'new-board');
    }

    // The game's output, as it comes: lines, and boards left to the tables.
    function output(text) {
        const parts = text.split(kClearScreen);
        parts.forEach((part, i) => {
            if (i > 0) {
                newBoard();
            }
            const lines = (line + part).split('\n');
            line = lines.pop();
            lines.forEach(gameLine);
        });
    }

    function accountLines(text) {
        for (const said of text.split('\n').filter(l => l !== '')) {
            addEntry(said, 'account');
        }
    }

    function heard(message) {
        if (line !== '' && message.account !== '') {
            gameLine(line);  // what came before the account, whole
            line = '';
        }
        accountLines(message.account);
        if (message.shown) {
            latestBoard = message.board;
        } else if (message.question) {
            question = {...message.question, kind: kQuestionKinds[message.question.kind]};
        } else if (message.event) {
            const [kind] = message.event;
            if (kind === kGameStartEvent) {
                lastFight = [];
                combatEnded = true;
            } else if (kind === kFightEvent) {
                if (combatEnded) {
                    lastFight = [];
                    combatEnded = false;
                }
                lastFight.push(message.event);
            } else if (kind === kCombatEndEvent) {
                combatEnded = true;
                bases = message.event[9];
            }
        }
    }

    // ---- The board's tables.

    function sideName(board, side) {
        return side === board.human ? 'You' : board.opponent;
    }

    function powerHeads(row, full, label) {
        const corner = element('th', label, 'side-label');
        corner.scope = 'col';
        row.append(corner);
        for (let power = 1; power <= full; ++power) {
            const th = element('th');
            th.scope = 'col';
            th.append(element('span', 'Power ', 'unseen'), String(power));
            row.append(th);
        }
    }

    // A row of counts by Power; a Reserve is never above the game's maximum
    // Power, while a reinforced unit may be.
    function countsRow(table, label, counts, powers, full = powers) {
        const row = table.insertRow();
        const th = element('th', label);
        th.scope = 'row';
        row.append(th);
        for (let power = 1; power <= powers; ++power) {
            const count = power <= full ? String(counts[power - 1]) : '';
            row.append(element('td', count, counts[power - 1] === 0 ? 'none' : ''));
        }
    }

    // The Powers the side tables count: up to the game's maximum, or to the
    // highest unit on the field where a reinforcement took it higher.
    function powersShown(board) {
        let highest = board.full;
        for (const side of board.sides) {
            for (let power = highest + 1; power <= side.def.length; ++power) {
                highest = side.def[power - 1] + side.att[power - 1] > 0 ? power : highest;
            }
        }
        return highest;
    }

    // One side's units by Power: the player's rows closest to the field's
    // middle for the side at the top, as on the printed board.
    function sideTable(board, side, top) {
        const you = side === board.human;
        const name = sideName(board, side);
        const table = element('table', null, `side ${you ? 'yours' : 'theirs'} ${top ? 'top' : 'bottom'}`);
        const powers = powersShown(board);
        const caption = element('caption', you ? 'Your units by Power' : `${name}'s units by Power`, 'unseen');
        table.append(caption);
        powerHeads(table.createTHead().insertRow(), powers, you ? 'YOU' : name.toUpperCase());
        const body = table.createTBody();
        const units = board.sides[side];
        const rows = [
            () => {
                const row = body.insertRow();
                const th = element('th', 'Bases');
                th.scope = 'row';
                const td = element('td', String(units.bases), 'bases');
                td.colSpan = powers;
                row.append(th, td);
            },
            () => countsRow(body, 'Def Units', units.def, powers),
            () => countsRow(body, 'Att Units', units.att, powers),
        ];
        (top ? rows : rows.reverse()).forEach(add => add());
        if (you) {
            countsRow(body, 'Reserves', units.res, powers, board.full);
        }
        return table;
    }

    // Where a column starts a fight of its own: the rows' bars on the printed board.
    function startsFight(column, col) {
        return col === 0 || (column[1] === col && column[3] === col);
    }

    // The paired Attacking and Defending rows, by column, the Unit IDs as
    // column headers; the columns the question names stand out.
    function fightTable(board) {
        const named = question && question.kind === 'unitId' ? question.accepts : '';
        const table = element('table', null, 'fight');
        const attacker = board.attacker;
        const top = 0;
        table.append(element('caption', attacker < 0 ? 'No fight on the field'
            : `${attacker === board.human ? 'You attack' : board.opponent + ' attacks'}: the paired rows by Unit ID`,
        'unseen'));
        const head = table.createTHead().insertRow();
        const corner = element('th', 'Unit ID');
        corner.scope = 'col';
        head.append(corner);
        board.columns.forEach((column, col) => {
            const th = element('th', columnName(col));
            th.scope = 'col';
            th.className = (named.includes(columnName(col)) ? 'named ' : '') + (startsFight(column, col) ? 'starts' : '');
            head.append(th);
        });
        const body = table.createTBody();
        for (const side of [top, 1 - top]) {
            const attacking = side === attacker || (attacker < 0 && side === top);
            const row = body.insertRow();
            row.className = side === board.human ? 'yours' : 'theirs';
            const th = element('th', `${sideName(board, side)} ${attacking ? 'attacking' : 'defending'}`);
            th.scope = 'row';
            row.append(th);
            board.columns.forEach((column, col) => {
                const power = attacking ? column[0] : column[2];
                const unopposed = !attacking && power === 0 && column[4] === 1;
                const td = element('td', power > 0 ? String(power) : unopposed ? '!' : '');
                td.className = (unopposed ? 'unopposed ' : '') + (named.includes(columnName(col)) ? 'named ' : '') +
                               (startsFight(column, col) ? 'starts' : '');
                if (unopposed) {
                    td.title = 'unopposed: it will take a Base';
                }
                row.append(td);
            });
            if (board.columns.length === 0) {
                row.append(element('td', '', 'empty'));
            }
        }
        return table;
    }

    function drawBoard() {
        if (!boardShown || lastBoard === null || lastBoard.full === 0) {
            boardArea.replaceChildren();
            return;
        }
        const board = lastBoard;
        const fight = element('div', null, 'fight-area');
        fight.append(fightTable(board));
        boardArea.replaceChildren(sideTable(board, 0, true), fight, sideTable(board, 1, false));
        // A named column out of the fight's sight is brought into it.
        const first = fight.querySelector('th.named');
        if (first) {
            const left = first.offsetLeft - fight.querySelector('thead th').offsetWidth;
            if (left < fight.scrollLeft || first.offsetLeft + first.offsetWidth > fight.scrollLeft + fight.clientWidth) {
                fight.scrollLeft = Math.max(0, left);
            }
        }
    }

    // ---- The answers.

    function drawAnswers() {
        answers.replaceChildren();
        if (question === null) {
            return;
        }
        const keys = question.kind === 'pause' ? ['\n'] : Array.from(question.accepts);
        for (const key of keys) {
            const b = element('button', answerLabel(question, key), 'answer');
            b.type = 'button';
            b.dataset.key = key;
            b.addEventListener('click', () => answer(key));
            answers.append(b);
        }
    }

    // Sends one answer, as the key and Return typed; the log shows it after its question.
    function answer(key) {
        const sent = key === '\n' || key === '\r' ? '\n' : key + '\n';
        if (openPrompt !== null) {
            openPrompt.append(element('kbd', key === '\n' || key === '\r' ? 'Return' : key));
            openPrompt = null;
        }
        answers.replaceChildren();
        send(sent);
    }

    // The game waits for an answer: the question is shown, with its buttons,
    // and what came since the last answer is what a screen reader hears.
    function waiting() {
        if (line !== '') {
            openPrompt = addEntry(line, 'said prompt');
            line = '';
        }
        if (pending.length === 0 && question === null) {
            return null;
        }
        const news = pending.filter(e => e.textContent !== '')
                         .map(e => ({text: e.textContent, account: e.classList.contains('account')}));
        pending = [];
        drawBoard();
        questionLine.textContent = question ? question.text.trim() : '';
        questionLine.scrollTop = questionLine.scrollHeight;  // a long menu shows its prompt
        drawAnswers();
        log.scrollTop = log.scrollHeight;
        return news;
    }

    // The game has ended: its last lines, to be heard as after an answer.
    function ended() {
        if (line !== '') {
            gameLine(line);
            line = '';
        }
        question = null;
        questionLine.textContent = '';
        answers.replaceChildren();
        const news = pending.map(e => ({text: e.textContent, account: e.classList.contains('account')}));
        pending = [];
        log.scrollTop = log.scrollHeight;
        return news.filter(e => e.text !== '');
    }

    function reset() {
        log.replaceChildren();
        boardArea.replaceChildren();
        answers.replaceChildren();
        questionLine.textContent = '';
        lastBoard = null;
        latestBoard = null;
        question = null;
        boardShown = false;
        pending = [];
        line = '';
        inBoard = 0;
        openPrompt = null;
        lastFight = [];
        combatEnded = true;
    }

    // ---- What the reading keys read.

    function rowsSaid(side) {
        const b = lastBoard;
        if (!boardShown || !b || b.full === 0) {
            return 'No board yet.';
        }
        const s = b.sides[side];
        const name = side === b.human ? 'Your' : `${b.opponent}'s`;
        return `${name} rows: ${s.bases} ${s.bases === 1 ? 'Base' : 'Bases'}; Def Units: ${unitsSaid(s.def, 9)}; ` +
               `Att Units: ${unitsSaid(s.att, 9)}.`;
    }

    function pairedSaid(attacking) {
        const b = lastBoard;
        if (!boardShown || !b || b.attacker < 0 || b.columns.length === 0) {
            return 'No fight on the field.';
        }
        const side = attacking ? b.attacker : 1 - b.attacker;
        const units = b.columns.map((c, col) => {
            const power = attacking ? c[0] : c[2];
            return `${columnName(col)} ${power > 0 ? power : !attacking && c[4] ? 'unopposed' : 'empty'}`;
        });
        return `${sideName(b, side)} ${attacking ? 'attacking' : 'defending'}: ${units.join(', ')}.`;
    }

    function columnSaid(letter) {
        const b = lastBoard;
        const col = letter.charCodeAt(0) - 65;
        if (!boardShown || !b || b.attacker < 0 || col >= b.columns.length) {
            return `Column ${letter}: nothing stands there.`;
        }
        const c = b.columns[col];
        const attack = c[0] > 0 ? `${c[0]}` : 'empty';
        const defense = c[2] > 0 ? `${c[2]}` : c[4] ? 'none, unopposed' : 'empty';
        return `Column ${letter}: ${sideName(b, b.attacker)} attacking ${attack}; ` +
               `${sideName(b, 1 - b.attacker)} defending ${defense}.`;
    }

    function reservesSaid() {
        const b = lastBoard;
        if (!boardShown || !b || b.full === 0) {
            return 'No board yet.';
        }
        return `Your Reserves: ${unitsSaid(b.sides[b.human].res, b.full)}.`;
    }

    function fightSaid() {
        const b = lastBoard;
        if (lastFight.length === 0 || !b) {
            return 'No fight yet.';
        }
        const attacker = lastFight[0][1];
        const own = attacker === b.human ? 'your' : 'his';
        const other = attacker === b.human ? 'his' : 'your';
        const told = lastFight.map(([, , power, defense, , , col, , , , , attackerFalls, defenderFalls, baseTaken]) => {
            const fell = [attackerFalls && power > 0 ? `${own} ${power} fell` : '',
                          defenderFalls && defense > 0 ? `${other} ${defense} fell` : '',
                          baseTaken ? 'a Base was taken' : ''].filter(s => s !== '');
            return `${columnName(col)}: ${own} ${power || 'none'} against ${other} ${defense || 'none'}` +
                   (fell.length > 0 ? `, ${fell.join(', ')}` : '');
        });
        const lost = combatEnded && bases !== null ? ` ${sideName(b, 1 - attacker)} lost ${bases} ${bases === 1 ? 'Base' : 'Bases'}.` : '';
        return `The last fight, ${attacker === b.human ? 'your attack' : b.opponent + "'s attack"}: ${told.join('; ')}.${lost}`;
    }

    // What a reading key reads: 1 the opponent's rows, 2 the Attacking row,
    // 3 the Defending row, 4 the player's rows, 5 the Reserves, 6 the last
    // fight, a letter its column.
    function read(what) {
        const human = lastBoard ? lastBoard.human : 0;
        switch (what) {
        case '1': return rowsSaid(1 - human);
        case '2': return pairedSaid(true);
        case '3': return pairedSaid(false);
        case '4': return rowsSaid(human);
        case '5': return reservesSaid();
        case '6': return fightSaid();
        default: return /^[A-Z]$/.test(what) ? columnSaid(what) : null;
        }
    }

    return {
        output, heard, waiting, ended, reset, answer, read,
        question: () => question,
        board: () => (boardShown ? lastBoard : null),
        lines: () => Array.from(log.children, e => e.textContent),
    };
}
