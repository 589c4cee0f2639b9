// The page's own conversion of code page 932 (the browser's Shift_JIS decoder, and
// the map from it for what is typed) held, in Chromium, Firefox ESR and WebKitGTK,
// to the program's own tables:
//   - every single byte and every byte pair shown, and every code point typed,
//     against what the program's tables make of them (tests/code_page_reference,
//     built from the same generated tables as the program);
//   - the boundary cases of tests/code_page_edges.txt;
//   - the program still served when a server gives it the wrong media type.
// The comparing is done in bulk inside the page, one call per engine.
//
//   ONIGAWARA_SITE     the built site (build/web/site)
//   ONIGAWARA_PROGRAM  the program built for this machine; the reference tool is
//                      tests/code_page_reference beside it
//   ONIGAWARA_ENGINES  the engines to play in, separated by commas (all three if unset)
'use strict';
const { describe, test, before, beforeEach, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { engines, serve, open_engine } = require('./browser');

const site = process.env.ONIGAWARA_SITE;
const program = process.env.ONIGAWARA_PROGRAM;
const chosen = process.env.ONIGAWARA_ENGINES ? process.env.ONIGAWARA_ENGINES.split(',') : engines;
const time_limit = { timeout: 120000 };  // for each test, in ms
const desktop = { width: 1280, height: 800 };

// ---- The references, served beside a copy of the site --------------------------------

// tests/code_page_edges.txt as data: the typed cases a page can send (whole code
// points: a page's text is never malformed UTF-8) and every printed case.
function read_edge_cases() {
    const hex = (text) => (text.match(/../g) || []).map((pair) => parseInt(pair, 16));
    const cases = { typed: [], printed: [] };
    const file = path.join(__dirname, '..', 'code_page_edges.txt');
    for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
        const fields = line.replace(/#.*/, '').trim().split(/\s+/);
        if (fields[0] === 'typed' && fields[2].startsWith('U+')) {
            const text = fields[2].split(',').map((u) => String.fromCodePoint(parseInt(u.slice(2), 16))).join('');
            cases.typed.push({ text, out: hex(fields[3]) });
        } else if (fields[0] === 'printed') {
            cases.printed.push({ pieces: fields[1].split('|').map(hex), out: Buffer.from(hex(fields[2])).toString('utf8') });
        }
    }
    return cases;
}

let folder;
let server;
before(async () => {
    assert.ok(site && program, 'ONIGAWARA_SITE and ONIGAWARA_PROGRAM name the site and the program');
    folder = fs.mkdtempSync(path.join(os.tmpdir(), 'onigawara-code-page-'));
    fs.cpSync(site, folder, { recursive: true });
    const tool = path.join(path.dirname(program), 'tests', 'code_page_reference');
    fs.writeFileSync(path.join(folder, 'reference.json'), execFileSync(tool, { maxBuffer: 1 << 26, timeout: 60000 }));
    fs.writeFileSync(path.join(folder, 'edges.json'), JSON.stringify(read_edge_cases()));
    server = await serve(folder);
});
after(() => {
    if (server) server.stop();
    if (folder) fs.rmSync(folder, { recursive: true, force: true });
});

// ---- In the page ----------------------------------------------------------------------------

// Runs in the page: compares its conversion with reference.json over the whole code
// space; leaves { checked, differences, first } in window.code_page_result.
function compare_everything() {
    (async () => {
        const { shown, typed } = window.onigawara_code_page;
        const reference = await (await fetch('reference.json')).json();
        const result = { checked: 0, differences: 0, first: [] };
        const differ = (what) => {
            result.differences += 1;
            if (result.first.length < 10) result.first.push(what);
        };
        const hex = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join(' ');
        const units = (text) => Array.from(text, (c) => c.codePointAt(0).toString(16)).join(' ');
        // Shown: the 256 single bytes (a lead byte alone is one cut off at the end of
        // a print), then the 65,536 pairs.
        for (let i = 0; i < reference.shown.length; ++i) {
            const bytes = i < 256 ? new Uint8Array([i]) : new Uint8Array([(i - 256) >> 8, (i - 256) & 0xff]);
            const got = shown(bytes);
            result.checked += 1;
            if (got !== reference.shown[i]) differ(`shown ${hex(bytes)}: ${units(got)}, the tables ${units(reference.shown[i])}`);
        }
        // Typed: every code point, a lone surrogate included, each as a line of its own.
        const code_of = new Map(reference.typed);
        for (let code_point = 0; code_point <= 0x10ffff; ++code_point) {
            const code = code_of.get(code_point) ?? 0x3f;
            const want = code > 0xff ? [code >> 8, code & 0xff] : [code];
            const got = typed(String.fromCodePoint(code_point));
            result.checked += 1;
            if (got.length !== want.length || got.some((b, i) => b !== want[i]))
                differ(`typed U+${code_point.toString(16)}: ${hex(got)}, the tables ${hex(want)}`);
        }
        window.code_page_result = result;
    })().catch((error) => { window.code_page_result = { error: String(error) }; });
}

// Runs in the page: the boundary cases, each printed piece as the program sends it
// (a lead byte that ends a piece leaves as 0x80) and the pieces shown as one stream.
function compare_edges() {
    (async () => {
        const { shown, typed } = window.onigawara_code_page;
        const cases = await (await fetch('edges.json')).json();
        const result = { checked: 0, differences: 0, first: [] };
        const differ = (what) => {
            result.differences += 1;
            if (result.first.length < 10) result.first.push(what);
        };
        const is_lead = (b) => (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
        const as_sent = (piece) => {
            const sent = [];
            for (let i = 0; i < piece.length; ++i) {
                if (!is_lead(piece[i])) sent.push(piece[i]);
                else if (i + 1 === piece.length) sent.push(0x80);
                else sent.push(piece[i], piece[++i]);
            }
            return sent;
        };
        for (const c of cases.typed) {
            const got = Array.from(typed(c.text));
            result.checked += 1;
            if (got.join() !== c.out.join()) differ(`typed ${JSON.stringify(c.text)}: ${got}, the edges ${c.out}`);
        }
        for (const c of cases.printed) {
            const got = shown(new Uint8Array(c.pieces.flatMap(as_sent)));
            result.checked += 1;
            if (got !== c.out) differ(`printed ${JSON.stringify(c.pieces)}: ${JSON.stringify(got)}, the edges ${JSON.stringify(c.out)}`);
        }
        window.code_page_result = result;
    })().catch((error) => { window.code_page_result = { error: String(error) }; });
}

const ready = () => document.body.hasAttribute('data-waiting');

async function run_in_page(engine, compare) {
    const tab = await engine.open(`${server.url}?seed=1`, desktop);
    await tab.wait_for(ready);
    await tab.eval(compare);
    await tab.wait_for(() => window.code_page_result !== undefined);
    const result = await tab.eval(() => window.code_page_result);
    await tab.close();
    return result;
}

for (const name of chosen) {
    describe(name, () => {
        let engine;
        // Opened for the first test that runs, so that a name filter that leaves out the
        // engine's tests does not start it.
        beforeEach(async () => { engine ??= await open_engine(name); });
        after(async () => { if (engine) await engine.close(); });

        test('shows every byte and byte pair, and sends every code point, as the program\'s tables do', time_limit, async () => {
            const result = await run_in_page(engine, compare_everything);
            assert.equal(result.error, undefined);
            assert.equal(result.checked, 256 + 65536 + 0x110000);
            assert.deepEqual(result.first, []);
            assert.equal(result.differences, 0);
        });

        test('converts every boundary case of the code page as the program does', time_limit, async () => {
            const result = await run_in_page(engine, compare_edges);
            assert.equal(result.error, undefined);
            assert.ok(result.checked > 1000, `only ${result.checked} cases`);
            assert.deepEqual(result.first, []);
            assert.equal(result.differences, 0);
        });
    });
}
