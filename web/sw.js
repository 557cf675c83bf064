// SPDX-License-Identifier: MIT
// The page's service worker: it keeps the page's own files, so the page
// starts with no network once it was opened, and can be installed. Each start
// is served from what is kept, at once; meanwhile every file is fetched
// again, and what changed is kept for the next start, which the page is told.
'use strict';

const kCache = 'qir-page';
const kFiles = ['./', 'index.html', 'page.js', 'board.js', 'speech.js', 'keep.js', 'share.js', 'page.css', 'qir.js',
                'xterm/xterm.js', 'xterm/xterm.css', 'xterm/addon-fit.js', 'fflate/fflate.js', 'manifest.webmanifest',
                'icon-192.png', 'icon-512.png'];

self.addEventListener('install', event => {
    event.waitUntil(caches.open(kCache).then(cache => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', event => {
    event.waitUntil(self.clients.claim());
});

// Fetches every file again, keeps those that changed, and tells the pages
// when any did.
async function bringUpToDate() {
    const cache = await caches.open(kCache);
    let changed = false;
    for (const file of kFiles) {
        try {
            const fresh = await fetch(file, {cache: 'no-cache'});
            if (!fresh.ok) {
                continue;
            }
            const kept = await cache.match(file);
            const freshBytes = new Uint8Array(await fresh.clone().arrayBuffer());
            const keptBytes = kept ? new Uint8Array(await kept.arrayBuffer()) : null;
            if (keptBytes === null || keptBytes.length !== freshBytes.length ||
                keptBytes.some((b, i) => b !== freshBytes[i])) {
                await cache.put(file, fresh);
                changed = true;
            }
        } catch (e) {
            return;  // no network: what is kept stays
        }
    }
    if (changed) {
        for (const client of await self.clients.matchAll()) {
            client.postMessage('qir:updated');
        }
    }
}

self.addEventListener('fetch', event => {
    const url = new URL(event.request.url);
    if (event.request.method !== 'GET' || url.origin !== location.origin) {
        return;
    }
    if (event.request.mode === 'navigate') {
        event.waitUntil(bringUpToDate());
    }
    event.respondWith(caches.match(event.request, {ignoreSearch: true}).then(kept => kept || fetch(event.request)));
});
