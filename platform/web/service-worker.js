// The page's service worker: after one visit the page loads and plays with the
// network gone, or hanging. Each file comes from the network when it answers in
// time, so that a new build is played as soon as it is served, and from this
// worker's cache when it does not. make-service-worker.cmake writes the list of
// files and the name of the cache, made from their contents: a build that changes
// any file changes this worker's bytes, the browser installs it, and it replaces
// the older cache whole.
'use strict';

const cache_name = '@CACHE_NAME@';
const files = [@FILES@];

// How long the network has to begin its answer before the kept copy answers
// instead: a network that hangs (a captive portal, one bar of signal) costs no
// more. A phone on a slow 3G link has the page's first bytes in about 2 s.
const network_time_limit_ms = 3000;

// The cache's name is made from the files' contents, as make-service-worker.cmake
// makes it: the SHA-256 of one line "HASH  NAME\n" per file, in the order of the
// names, the page as index.html. Files that do not give it are not this worker's
// build (the server changed in between, or something in the way kept older ones).
async function name_of_build(bodies) {
    const hex = (buffer) => Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
    const lines = await Promise.all(bodies.map(async (body, i) => {
        const name = files[i] === './' ? 'index.html' : files[i];
        return [name, `${hex(await crypto.subtle.digest('SHA-256', body))}  ${name}\n`];
    }));
    const contents = lines.sort(([a], [b]) => (a < b ? -1 : 1)).map(([, line]) => line).join('');
    return `onigawara-${hex(await crypto.subtle.digest('SHA-256', new TextEncoder().encode(contents))).slice(0, 16)}`;
}

// The cache is filled with one build, whole, or not at all: the browser then keeps
// the worker before this one, and tries again at a later visit. A cache of this
// name holds this build already (a new worker for the same files): it is kept.
async function keep_build() {
    if (await caches.has(cache_name)) return;
    // From the server, never from the HTTP cache; each body read as it comes, as a
    // browser holds back further requests while bodies wait to be read.
    const fetched = await Promise.all(files.map(async (file) => {
        const response = await fetch(new Request(file, { cache: 'reload' }));
        if (!response.ok) throw new Error(`${file}: ${response.status}`);
        return { response, body: await response.arrayBuffer() };
    }));
    if (await name_of_build(fetched.map(({ body }) => body)) !== cache_name) throw new Error('the files served are not this build\'s');
    const cache = await caches.open(cache_name);
    try {
        await Promise.all(fetched.map(({ response, body }, i) => cache.put(files[i], new Response(body, response))));
    } catch (error) {
        await caches.delete(cache_name);
        throw error;
    }
}

self.addEventListener('install', (event) => {
    event.waitUntil(keep_build().then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter((name) => name.startsWith('onigawara-') && name !== cache_name)
            .map((name) => caches.delete(name)))));
});

// The kept copy of `request`. The page itself is kept once, as './', and answers
// for it however it is asked for: ./index.html too, and whatever its query (?seed=N).
async function kept(request) {
    const cache = await caches.open(cache_name);
    return cache.match(request.mode === 'navigate' ? './' : request, { ignoreSearch: true });
}

// Pages that came from the kept copy (by client id): they take every file from it
// too, so that a page and its icons are of one build, and none waits for the network.
const pages_from_copy = new Set();

async function answer(event) {
    const request = event.request;
    if (pages_from_copy.has(event.clientId)) {
        const copy = await kept(request);
        if (copy) return copy;
    }
    // Asks the server whether a file changed, even where the HTTP cache thinks it fresh.
    const network = fetch(request, { cache: 'no-cache' });
    let timer;
    const too_late = new Promise((resolve) => { timer = setTimeout(resolve, network_time_limit_ms, null); });
    const answered = await Promise.race([network, too_late]).catch(() => null);
    clearTimeout(timer);
    if (answered) return answered;
    const copy = await kept(request);
    if (!copy) return network;  // nothing kept: the network, whenever it answers
    if (request.mode === 'navigate') pages_from_copy.add(event.resultingClientId);
    return copy;
}

self.addEventListener('fetch', (event) => {
    const request = event.request;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
    event.respondWith(answer(event));
});
