// SPDX-License-Identifier: MIT
// Games leaving the browser and coming back: a replay link that carries a
// whole record in its fragment (#replay=: raw deflate at level 9 in URL-safe
// base64, so no server ever sees it), and one zip of every kept game, made
// and read with fflate. Whatever comes in is bounded before it is inflated.
'use strict';

const QirShare = (() => {
    const kLargestRecord = 16 << 20;  // src/record/record.cpp's bound
    // A fragment longer than this is no link of ours: its inflated record
    // could be nothing but refused answers, and a link this long would not
    // pass through mail or chat anyway.
    const kLongestLink = 64 << 10;
    const kLargestArchive = 64 << 20;  // what an import inflates at most, all its records together
    const kPiece = 1024;  // compressed bytes inflated at a time, so a bomb stops at the bound
    const encoder = new TextEncoder();

    function base64url(bytes) {
        let binary = '';
        for (let i = 0; i < bytes.length; i += 8192) {
            binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
        }
        return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
    }

    function fromBase64url(text) {
        if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) {
            throw new Error('the link holds characters no link of a game has');
        }
        const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/') + '='.repeat((4 - text.length % 4) % 4));
        return Uint8Array.from(binary, ch => ch.charCodeAt(0));
    }

    // Inflates at most `limit` bytes; more, or data that is no whole raw
    // deflate stream, throws.
    function inflateBounded(data, limit, what) {
        const pieces = [];
        let size = 0;
        let ended = false;
        const inflater = new fflate.Inflate((chunk, final) => {
            size += chunk.length;
            if (size > limit) {
                throw new Error(`${what} would be larger than 16 MiB, which no game's record is`);
            }
            pieces.push(chunk);
            ended = ended || final;
        });
        try {
            for (let at = 0; at < data.length; at += kPiece) {
                inflater.push(data.subarray(at, at + kPiece), at + kPiece >= data.length);
            }
        } catch (error) {
            if (/16 MiB/.test(error.message)) {
                throw error;
            }
            throw new Error(`${what} is damaged: it is cut short or altered`);
        }
        if (!ended) {
            throw new Error(`${what} is damaged: it is cut short`);
        }
        const whole = new Uint8Array(size);
        pieces.reduce((at, piece) => { whole.set(piece, at); return at + piece.length; }, 0);
        return whole;
    }

    // The link that replays a record: the page's own address and the record.
    function link(recordText) {
        const packed = fflate.deflateSync(encoder.encode(recordText), {level: 9});
        return `${location.origin}${location.pathname}#replay=${base64url(packed)}`;
    }

    // The record a link's fragment carries, as bytes; throws with the reason
    // when it cannot be one.
    function recordOfLink(fragment) {
        if (fragment.length > kLongestLink) {
            throw new Error('the link is longer than any link of a game');
        }
        return inflateBounded(fromBase64url(fragment), kLargestRecord, 'the game in the link');
    }

    // One zip of the kept games: each record under its own name.
    function zipOf(games) {
        const files = {};
        for (const {name, text} of games) {
            files[name] = [encoder.encode(text), {level: 9, mtime: new Date(2026, 0, 1)}];
        }
        return fflate.zipSync(files);
    }

    // The files of a zip, or of a record given as it is: each with its bytes,
    // or with why it was not taken. An entry is refused by the size the
    // archive gives it, before anything is inflated, and fflate inflates
    // none past that size, so an archive that lies gets a record cut short,
    // which the game refuses. The entries together are bounded too.
    function filesOf(name, bytes) {
        const isZip = bytes.length >= 4 && bytes[0] === 0x50 && bytes[1] === 0x4b && bytes[2] === 3 && bytes[3] === 4;
        const tooLarge = 'it is larger than 16 MiB, which no game\'s record is';
        if (!isZip) {
            return [bytes.length > kLargestRecord ? {name, reason: tooLarge} : {name, bytes}];
        }
        const refused = [];
        let total = 0;
        let taken;
        try {
            taken = fflate.unzipSync(bytes, {
                filter(entry) {
                    if (entry.name.endsWith('/')) {
                        return false;
                    }
                    const reason = entry.originalSize > kLargestRecord ? tooLarge
                        : entry.compression !== 0 && entry.compression !== 8 ? 'it is packed in a way no zip of games is'
                        : total + entry.originalSize > kLargestArchive ? 'the archive holds more than 64 MiB of games'
                        : null;
                    if (reason !== null) {
                        refused.push({name: entry.name, reason});
                        return false;
                    }
                    total += entry.originalSize;
                    return true;
                },
            });
        } catch (error) {
            return [{name, reason: 'it is no zip that can be read, or it is damaged'}];
        }
        return refused.concat(Object.entries(taken).map(([entryName, data]) => ({name: entryName, bytes: data})));
    }

    return {link, recordOfLink, zipOf, filesOf, inflateBounded, kLargestRecord};
})();
