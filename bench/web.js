// Size and speed of the web page, measured in headless Chromium on localhost:
//
//   - what the page transfers until its first prompt, file by file, as built and
//     compressed with gzip -9 (what a static host that compresses would send), and
//     how the program splits into code and data; beside it, the rest of the site,
//     and which files the browser asks for before the first prompt and after it;
//   - the time from navigation to the first prompt (the program waiting for the
//     player's name), against the time the same server takes to load a static HTML
//     page holding the same text with the same stylesheet, in a file of its own and
//     inside the page. Each page is loaded in a fresh browser context (nothing
//     cached), the three in turn, RUNS times each after one load of each that is
//     not counted; the figures are medians. Beside them, when each page first
//     showed something (the browser's first contentful paint): what the player sees;
//   - the same for repeat visits: each page loaded again in a context that has
//     loaded it before, served as a static host serves it (the browser may keep
//     files and revalidate them).
//
//   node bench/web.js SITE [RUNS]        (bench/web builds the site and runs this)
'use strict';
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { serve, open_browser } = require('../tests/web/browser');

const site = path.resolve(process.argv[2]);
const runs = Number(process.argv[3] || 20);

const gzip_size = (bytes) => execFileSync('gzip', ['-9cn'], { input: bytes, maxBuffer: 1 << 26 }).length;

const spread = (values) => `fastest ${Math.min(...values).toFixed(1)}, slowest ${Math.max(...values).toFixed(1)}`;

function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// The sections of a WebAssembly module: { code, data, other } as byte arrays.
function wasm_sections(bytes) {
    const parts = { code: [], data: [], other: [bytes.subarray(0, 8)] };
    let at = 8;
    while (at < bytes.length) {
        const start = at;
        const id = bytes[at++];
        let size = 0;
        for (let shift = 0; ; shift += 7) {
            const byte = bytes[at++];
            size |= (byte & 0x7f) << shift;
            if (byte < 0x80) break;
        }
        at += size;
        const name = id === 10 ? 'code' : id === 11 ? 'data' : 'other';
        parts[name].push(bytes.subarray(start, at));
    }
    return Object.fromEntries(Object.entries(parts).map(([name, pieces]) => [name, Buffer.concat(pieces)]));
}

// Runs in the page before its own script: notes when the program first waits for
// the player, and when the page has loaded, in ms since navigation began.
function note_times() {
    new MutationObserver((changes, observer) => {
        if (document.body.hasAttribute('data-waiting')) {
            window.first_prompt_ms = performance.now();
            observer.disconnect();
        }
    }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-waiting'] });
    window.addEventListener('load', () => { window.loaded_ms = performance.now(); });
}

// When the browser first drew something of the page, in ms since navigation began.
const first_paint = () => performance.getEntriesByName('first-contentful-paint')[0]?.startTime;

// Loads `url` in a fresh context; resolves to the time `noted` names, the time of
// the first paint and the text of #output.
async function load_once(browser, url, noted) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.evaluateOnNewDocument(note_times);
    await page.goto(url);
    const ms = await (await page.waitForFunction((name) => window[name], { timeout: 20000 }, noted)).jsonValue();
    const painted = await (await page.waitForFunction(first_paint, { timeout: 20000 })).jsonValue();
    const text = await page.$eval('#output', (output) => output.textContent);
    await context.close();
    return { ms, painted, text };
}

// The paths the server is asked for before the first prompt and after it, until the
// page has loaded: one load in a fresh context, with the page's end held back (the
// script that runs the program comes before it) until the prompt is up.
async function requests_around_first_prompt(browser, server, query) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await server.hold('', '</body>');
    try {
        await server.requests();
        const loaded = page.goto(server.url + query);  // resolves once the page has loaded
        await page.waitForFunction(() => document.body && document.body.hasAttribute('data-waiting'), { timeout: 20000 });
        const before = await server.requests();
        await server.release('');
        await loaded;
        await new Promise((resolve) => setTimeout(resolve, 1000));  // the icons the browser fetches after it
        return { before, after: await server.requests() };
    } finally {
        await server.release('');
        await context.close();
    }
}

// Loads `url` again and again in one context, `runs` times after a first load that
// fills the cache; resolves to the times.
async function repeat_visits(browser, url, noted, runs) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.evaluateOnNewDocument(note_times);
    const times = [];
    for (let i = 0; i <= runs; ++i) {
        await page.goto(url);
        const ms = await (await page.waitForFunction((name) => window[name], { timeout: 20000 }, noted)).jsonValue();
        if (i > 0) times.push(ms);
    }
    await context.close();
    return times;
}

// The same text in a static page with the same stylesheet: in a file of its own
// (static.css), as the static page was when the goal was set, or inside the page, as
// the game's page has it.
function static_page(text, stylesheet_inside) {
    const escaped = text.replace(/&/g, '&amp;').replace(/</g, '&lt;');
    return `<!doctype html>
<html lang="ja">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>鬼瓦の雷鳴</title>
<link rel="icon" href="data:,">
${stylesheet_inside === undefined ? '<link rel="stylesheet" href="static.css">' : `<style>${stylesheet_inside}</style>`}
</head>
<body>
<div class="window"><main id="screen"><div id="output">${escaped}</div></main></div>
</body>
</html>
`;
}

// The page's own file: all it needs before its first prompt (it holds its
// stylesheet, the program and its script). The rest of the site (the tab's icon,
// which a browser fetches beside the page, and what installing and playing offline
// use) is listed apart.
const page_files = ['index.html'];

// What lies inside the page's <style> and <script> elements: the stylesheet, the
// program (in hex) and the script.
function page_parts(bytes) {
    const text = bytes.toString('utf8');
    const inside = (start) => {
        const at = text.indexOf(start);
        return at < 0 ? Buffer.alloc(0) : Buffer.from(text.slice(at + start.length, text.indexOf('</', at)), 'utf8');
    };
    return { stylesheet: inside('<style>'), program: inside('<script id="program" type="text/plain">'), script: inside('<script>') };
}

function print_sizes(folder, requests) {
    const files = (paths) => [...new Set(paths.map((p) => new URL(p, 'http://host/').pathname)
        .map((p) => (p === '/' ? 'index.html' : p.slice(1))))];
    const fetched = files(requests.before);
    const row = (name, raw, packed) => console.log(`  ${name.padEnd(28)} ${String(raw).padStart(8)} ${String(packed).padStart(8)}`);
    console.log(`Requests before the first prompt: ${requests.before.length}: ${fetched.join(', ')}; `
        + `after it, until the page has loaded and a second more: ${files(requests.after).join(', ') || 'none'}`);
    console.log('The page until its first prompt, in bytes:');
    console.log(`  ${'file'.padEnd(28)} ${'as built'.padStart(8)} ${'gzip -9'.padStart(8)}`);
    let raw_total = 0;
    let packed_total = 0;
    for (const file of page_files) {
        const bytes = fs.readFileSync(path.join(folder, file));
        const packed = gzip_size(bytes);
        raw_total += bytes.length;
        packed_total += packed;
        row(file, bytes.length, packed);
        const { stylesheet, program, script } = page_parts(bytes);
        row('  its stylesheet', stylesheet.length, gzip_size(stylesheet));
        row('  its program, in hex', program.length, gzip_size(program));
        // The program as bytes (the .wasm), and how they split into code and data.
        const wasm = Buffer.from(program.toString(), 'hex');
        row('    as bytes', wasm.length, gzip_size(wasm));
        for (const [section, piece] of Object.entries(wasm_sections(wasm))) row(`    its ${section} sections`, piece.length, gzip_size(piece));
        row('  its script', script.length, gzip_size(script));
    }
    row('total', raw_total, packed_total);
    console.log('Beside it (* fetched before the first prompt too):');
    const rest = fs.readdirSync(folder).filter((file) => !page_files.includes(file) && !file.startsWith('static')).sort();
    for (const file of rest) {
        const bytes = fs.readFileSync(path.join(folder, file));
        row(`${fetched.includes(file) ? '*' : ' '} ${file}`, bytes.length, gzip_size(bytes));
    }
}

async function main() {
    // A copy of the site with the static page beside it, served by one server.
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'onigawara-web-bench-'));
    fs.cpSync(site, folder, { recursive: true });
    const server = await serve(folder);
    const chromium = await open_browser();
    try {
        const game_url = `${server.url}?seed=1`;
        const first = await load_once(chromium.browser, game_url, 'first_prompt_ms');
        print_sizes(folder, await requests_around_first_prompt(chromium.browser, server, '?seed=1'));
        const stylesheet = page_parts(fs.readFileSync(path.join(folder, 'index.html'))).stylesheet.toString('utf8');
        fs.writeFileSync(path.join(folder, 'static.css'), stylesheet);
        fs.writeFileSync(path.join(folder, 'static.html'), static_page(first.text));
        fs.writeFileSync(path.join(folder, 'static-inside.html'), static_page(first.text, stylesheet));

        const pages = [
            { name: 'The page', until: 'to its first prompt', url: game_url, noted: 'first_prompt_ms', ms: [], painted: [] },
            { name: 'A static page of the same text, stylesheet in a file', until: 'loaded', url: `${server.url}static.html`, noted: 'loaded_ms', ms: [], painted: [] },
            { name: 'The same, its stylesheet inside it', until: 'loaded', url: `${server.url}static-inside.html`, noted: 'loaded_ms', ms: [], painted: [] },
        ];
        for (const page of pages) await load_once(chromium.browser, page.url, page.noted);  // the first of each is slower
        for (let i = 0; i < runs; ++i) {
            for (const page of pages) {
                const { ms, painted } = await load_once(chromium.browser, page.url, page.noted);
                page.ms.push(ms);
                page.painted.push(painted);
            }
        }
        // One line per page: the median of its times under `key`, and how it compares
        // with the game's page (the first): the ratio of the medians, and the median of
        // the ratios of the loads made one after the other in each round, which a
        // machine's load, as it comes and goes, moves less.
        const print_medians = (key, label, compared) => {
            for (const page of pages) {
                const by_round = median(page[key].map((ms, i) => pages[0][key][i] / ms)).toFixed(2);
                const ratio = page === pages[0] ? ''
                    : `; ${compared((median(pages[0][key]) / median(page[key])).toFixed(2))} (round by round ${by_round})`;
                console.log(`  ${label(page).padEnd(64)} ${median(page[key]).toFixed(1).padStart(6)} ms (${spread(page[key])})${ratio}`);
            }
        };
        console.log(`First visits, medians of ${runs}, each in a fresh context:`);
        print_medians('ms', (page) => `${page.name}, ${page.until}:`, (ratio) => `the page takes ${ratio} times as long`);
        console.log('The first paint of each, in the same loads:');
        print_medians('painted', (page) => `${page.name}:`, (ratio) => `the page's comes ${ratio} times as late`);

        const hosted = await serve(folder, { like_a_host: true });
        try {
            const game_again = await repeat_visits(chromium.browser, `${hosted.url}?seed=1`, 'first_prompt_ms', runs);
            const static_again = await repeat_visits(chromium.browser, `${hosted.url}static.html`, 'loaded_ms', runs);
            console.log(`Repeat visits, median of ${runs}: first prompt ${median(game_again).toFixed(1)} ms (${spread(game_again)}), ` +
                `static page ${median(static_again).toFixed(1)} ms (${spread(static_again)}), ` +
                `ratio ${(median(game_again) / median(static_again)).toFixed(2)}`);
        } finally {
            hosted.stop();
        }
    } finally {
        await chromium.close();
        server.stop();
        fs.rmSync(folder, { recursive: true, force: true });
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
