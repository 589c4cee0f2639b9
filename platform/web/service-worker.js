// The page's service worker: after one visit the page loads and plays with the
// network gone. Each file comes from the network while it answers, so that a new
// build is played as soon as it is served, and from this worker's cache when it
// does not. make-service-worker.cmake writes the list of files and the name of
// the cache, made from their contents: a build that changes any file changes this
// worker's bytes, the browser installs it, and it replaces the older cache whole.
'use strict';

const cache_name = '@CACHE_NAME@';
const files = [@FILES@];

self.addEventListener('install', (event) => {
    // From the server, never from the HTTP cache, so that the cache holds this build.
    event.waitUntil(caches.open(cache_name)
        .then((cache) => cache.addAll(files.map((file) => new Request(file, { cache: 'reload' }))))
        .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter((name) => name.startsWith('onigawara-') && name !== cache_name)
            .map((name) => caches.delete(name)))));
});

// The page itself is cached once, as './', and answers for it however it is asked
// for: ./index.html too, and whatever its query (?seed=N).
async function answer(request) {
    try {
        // Asks the server whether a file changed, even where the HTTP cache thinks it fresh.
        return await fetch(request, { cache: 'no-cache' });
    } catch (error) {
        const cache = await caches.open(cache_name);
        const kept = await cache.match(request.mode === 'navigate' ? './' : request, { ignoreSearch: true });
        if (kept) return kept;
        throw error;
    }
}

self.addEventListener('fetch', (event) => {
    const request = event.request;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
    event.respondWith(answer(request));
});
