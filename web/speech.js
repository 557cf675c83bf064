// SPDX-License-Identifier: MIT
// What a screen reader hears in the drawn view of Qir's web page, and the
// keys of the game's area: after each answer one polite announcement of what
// happened since and the question (never the board), a key that is an answer
// sent as the game's line, and the reading keys (Alt with a digit or a
// letter), which are no answers and read a part of the board on request.
'use strict';

// `area` is the game's area, `region` the live region, `view` the drawn
// view (web/board.js); `explaining()` says whether the account is wanted.
function createSpeech(area, region, view, explaining) {
    let last = '';

    // A polite announcement; the same words twice are still heard twice.
    function say(text) {
        const words = text === last ? text + '\u00a0' : text;
        last = words;
        region.textContent = words;
    }

    // After an answer: the game's new lines, the account if wanted, and the question.
    function news(entries) {
        if (entries === null) {
            return;
        }
        const lines = entries.filter(e => !e.account || explaining()).map(e => e.text);
        const question = view.question();
        if (question !== null && question.kind !== 'pause' && !lines.some(l => l.includes(question.text.trim()))) {
            lines.push(question.text.trim());
        }
        say(lines.join('\n'));
    }

    // One key, one answer: a character the game may take, or Return; with
    // Alt, a digit or a letter reads the board. Keys with Ctrl or Meta are
    // the browser's, and Tab moves on.
    area.addEventListener('keydown', event => {
        if (event.ctrlKey || event.metaKey || event.isComposing || view.question() === null) {
            return;
        }
        const onButton = event.target instanceof HTMLButtonElement;
        if (event.altKey) {
            const code = event.code || '';
            const what = /^Digit[1-6]$/.test(code) ? code.slice(5) : /^Key[A-Z]$/.test(code) ? code.slice(3) : null;
            const read = what === null ? null : view.read(what);
            if (read !== null) {
                event.preventDefault();
                say(read);
            }
            return;
        }
        if (event.key === 'Enter' && !onButton) {
            event.preventDefault();
            view.answer('\n');
        } else if (event.key.length === 1 && !(onButton && event.key === ' ')) {
            event.preventDefault();
            view.answer(event.key);
        }
    });

    // A phone's keyboard opens on the answer field and may give no key for
    // what it types (Android's): what reaches the field is typed as keys.
    const field = area.querySelector('#typed');
    field.addEventListener('input', () => {
        for (const ch of field.value) {
            if (view.question() !== null) {
                view.answer(ch === '\n' ? '\n' : ch);
            }
        }
        field.value = '';
    });

    return {news, say, clear: () => { last = ''; region.textContent = ''; }};
}
