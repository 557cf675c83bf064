// SPDX-License-Identifier: MIT
// The page check's half inside the page (tests/web/check.py evaluates it in
// every document): at each question of a game in the drawn view it checks
// what a player sees and chooses the next answer, so that the check needs one
// round trip an answer. window.qirCheck.next(plan, seed) waits for the game's
// next question, checks it, and returns the answer it chose with the centre
// of its button; qirCheck.failures lists what was wrong.
'use strict';

window.qirCheck = (() => {
    const kClear = '\x1b[H\x1b[2J';
    const frame = /^ {10}\|-+(-YOU--|[A-Z]{6})-+\|$/;
    const failures = [];
    let read = 0;        // how much of the output came before the last answer
    let questions = 0;
    let random = null;

    function fail(what) {
        if (failures.length < 20) {
            failures.push(`question ${questions}: ${what}`);
        }
    }

    // A small seeded generator, so the same seed gives the same game.
    function generator(seed) {
        let state = seed >>> 0 || 1;
        return n => {
            state ^= state << 13;
            state ^= state >>> 17;
            state ^= state << 5;
            return (state >>> 0) % n;
        };
    }

    function inView(e) {
        const r = e.getBoundingClientRect();
        return r.width > 0 && r.top >= -1 && r.left >= -1 && r.bottom <= innerHeight + 1 && r.right <= innerWidth + 1;
    }

    // The lines of the game's output that are no board: the board, its
    // frame and its Reserves are the tables' to show.
    function linesBesideBoards(text) {
        const kept = [];
        text.split(kClear).forEach((part, i) => {
            let lines = part.split('\n');
            if (i > 0) {
                const last = lines.findIndex((l, n) => frame.test(l) && n > 0);
                lines = lines.slice(last + 1);
                while (lines.length > 0 && (lines[0] === '' || /^You have \d+ units? in your Reserves:$/.test(lines[0]) ||
                                             /^Power \d+: \d+$/.test(lines[0]))) {
                    lines.shift();
                }
            }
            kept.push(...lines);
        });
        return kept.map(l => l.trim()).filter(l => l !== '');
    }

    // The last board the game printed, as the tables show it: per side from
    // the top, Bases and the units by Power, and the paired rows by column.
    function printedBoard(output, powers) {
        const start = output.lastIndexOf(kClear);
        if (start < 0) {
            return null;
        }
        const lines = output.slice(start + kClear.length).split('\n');
        const counts = text => {
            const c = Array(powers).fill(0);
            for (const unit of text.trim().split(/\s+/).filter(u => u !== '')) {
                c[Number(unit) - 1] += 1;
            }
            return c.map(String);
        };
        const paired = text => {
            const units = [];
            for (let i = 1; i < text.length; i += 2) {
                units.push(text[i] === ' ' ? '' : text[i]);
            }
            return units;
        };
        const row = n => lines[n].slice(10);
        const reserves = [];
        for (const l of lines) {
            const m = /^Power (\d+): (\d+)$/.exec(l);
            if (m) {
                reserves.push(m[2]);
            }
        }
        return {
            top: {bases: String(counts(row(2))[0]), def: counts(row(3)), att: counts(row(4))},
            bottom: {bases: String(counts(row(12))[0]), def: counts(row(11)), att: counts(row(10))},
            paired: [paired(row(5)), paired(row(6)), paired(row(8)), paired(row(9))],
            reserves,
        };
    }

    // The same from the page's tables.
    function drawnBoard() {
        const tables = document.querySelectorAll('#board table');
        if (tables.length !== 3) {
            return null;
        }
        const side = table => {
            const rows = {};
            for (const tr of table.tBodies[0].rows) {
                rows[tr.cells[0].textContent] = Array.from(tr.cells).slice(1).map(td => td.textContent);
            }
            return rows;
        };
        const top = side(tables[0]);
        const bottom = side(tables[2]);
        const fight = Array.from(tables[1].tBodies[0].rows, tr => Array.from(tr.cells).slice(1).map(td => td.textContent));
        return {top, bottom, fight};
    }

    function compareBoards(output) {
        const powers = document.querySelectorAll('#board table.side thead th').length / 2 - 1;
        const printed = printedBoard(output, powers);
        const drawn = drawnBoard();
        if (printed === null || drawn === null) {
            return;
        }
        const same = (what, a, b) => {
            if (JSON.stringify(a) !== JSON.stringify(b)) {
                fail(`${what}: printed ${JSON.stringify(a)}, drawn ${JSON.stringify(b)}`);
            }
        };
        for (const [name, printedSide] of [['top', printed.top], ['bottom', printed.bottom]]) {
            const drawnSide = drawn[name];
            same(`${name} Bases`, [printedSide.bases], drawnSide['Bases']);
            same(`${name} Def Units`, printedSide.def, drawnSide['Def Units']);
            same(`${name} Att Units`, printedSide.att, drawnSide['Att Units']);
        }
        const yours = drawn.bottom['Reserves'] || drawn.top['Reserves'];
        same('Reserves', printed.reserves, yours.filter(count => count !== ''));
        // The paired rows: the two that are not empty on the printed board
        // (the top side's, then the bottom side's), by column.
        const rows = printed.paired.filter(r => r.length > 0);
        const columns = drawn.fight[0].length === 1 && drawn.fight[0][0] === '' ? [] : drawn.fight;
        if (rows.length === 0) {
            same('paired rows', [], columns.filter(r => r.length > 0 && r.some(c => c !== '')));
        } else {
            same('paired rows', rows, columns);
        }
    }

    // What a screen reader heard after the last answer: the new lines and
    // the question, never the board.
    function checkSaid(output, question) {
        const said = document.getElementById('said').textContent;
        const news = linesBesideBoards(output.slice(read));
        for (const line of news) {
            if (!said.includes(line)) {
                fail(`the live region lacks ${JSON.stringify(line)}`);
                break;
            }
        }
        if (question.kind !== 'pause' && !said.includes(question.text.trim().split('\n').pop())) {
            fail('the live region lacks the question');
        }
        if (/Unit ID +\||\|-{20,}|too much output/i.test(said)) {
            fail('the live region holds the board');
        }
    }

    function inspect(plan) {
        const question = qir.question();
        const output = qir.output();
        questions += 1;
        if (document.documentElement.scrollWidth > innerWidth || document.body.scrollWidth > innerWidth) {
            fail(`the page scrolls sideways (${document.documentElement.scrollWidth} > ${innerWidth})`);
        }
        const labels = document.querySelectorAll('#board th[scope=row], #board .side-label');
        for (const label of labels) {
            if (!inView(label)) {
                fail(`the row label ${label.textContent} is out of view`);
                break;
            }
        }
        for (const named of document.querySelectorAll('#board th.named')) {
            const area = named.closest('.fight-area').getBoundingClientRect();
            const r = named.getBoundingClientRect();
            if (!inView(named) || r.left < area.left - 1 || r.right > area.right + 1) {
                fail(`the named column ${named.textContent} is out of view`);
                break;
            }
        }
        if (!inView(document.getElementById('question'))) {
            fail('the question is out of view');
        }
        const buttons = Array.from(document.querySelectorAll('#answers button.answer'));
        const keys = buttons.map(b => b.dataset.key).join('');
        const wanted = question.kind === 'pause' ? '\n' : question.accepts;
        if (keys !== wanted) {
            fail(`buttons ${JSON.stringify(keys)} for the answers ${JSON.stringify(wanted)}`);
        }
        for (const b of buttons) {
            const r = b.getBoundingClientRect();
            if (r.width < 44 || r.height < 44) {
                fail(`the button ${b.textContent} is ${r.width}x${r.height}`);
                break;
            }
        }
        if (plan.said && questions > 1) {
            checkSaid(output, question);
        }
        if (plan.cells) {
            compareBoards(output);
        }
        read = output.length;
        return {question, buttons};
    }

    // The answer chosen: the plan's for the settings of a new game, else any
    // answer the question takes; and where its button is.
    function choose(plan, question, buttons) {
        const setup = {yesNo: plan.instructions, setup: null};
        let key;
        if (question.kind === 'setup' || (questions === 1 && question.kind === 'yesNo')) {
            key = questions === 1 ? setup.yesNo : question.accepts.includes('1') && question.accepts.length === 2
                ? plan.order : question.accepts.includes('d') ? plan.opponent : plan.power;
        } else if (question.kind === 'pause') {
            key = '\n';
        } else {
            key = question.accepts[random(question.accepts.length)];
        }
        const button = buttons.find(b => b.dataset.key === key);
        button.scrollIntoView({block: 'nearest'});
        const r = button.getBoundingClientRect();
        return {key, x: r.left + r.width / 2, y: r.top + r.height / 2};
    }

    // Waits for the game's next question (or its end) and answers as above.
    function next(plan, done) {
        if (random === null) {
            random = generator(plan.seed);
        }
        const started = performance.now();
        const poll = () => {
            if (qir.ended()) {
                done({ended: true});
            } else if (qir.waiting() && qir.question() !== null) {
                const {question, buttons} = inspect(plan);
                done(choose(plan, question, buttons));
            } else if (performance.now() - started > 20000) {
                done({stuck: true});
            } else {
                setTimeout(poll, 2);
            }
        };
        poll();
    }

    return {next, failures, questions: () => questions};
})();
