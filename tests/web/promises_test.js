// The page keeps its word where its players are, in Chromium, Firefox ESR and
// WebKitGTK: a network that hangs, plain HTTP at a LAN name, a replay link, a
// selection, the pauses, a browser that cannot run it, a thumb, a host that serves
// the page at any path, a link whose bytes are not UTF-8.
//
//   ONIGAWARA_SITE     the built site (build/web/site)
//   ONIGAWARA_PROGRAM  the program built for this machine: what it prints at a
//                      UTF-8 terminal is what the page must show
//   ONIGAWARA_ENGINES  the engines to play in, separated by commas (all three if unset)
'use strict';
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const {
    engines, serve, open_engine, pause, ready, text_takers, clipboard_text, select_lords_words,
    printed_at_terminal: printed_by,
} = require('./browser');

const site = process.env.ONIGAWARA_SITE;
const program = process.env.ONIGAWARA_PROGRAM;
const chosen = process.env.ONIGAWARA_ENGINES ? process.env.ONIGAWARA_ENGINES.split(',') : engines;
const time_limit = { timeout: 180000 };  // for each test, in ms
// What the program built for this machine prints at a UTF-8 terminal for `typed`:
// lines of text, or the very bytes typed.
const printed_at_terminal = (seed, typed) => printed_by(program, seed, typed);

const desktop = { width: 1280, height: 800 };
const phone = { width: 360, height: 740, phone: true };
const small_phone = { width: 320, height: 640, phone: true };

let server;
before(async () => {
    assert.ok(site && program, 'ONIGAWARA_SITE and ONIGAWARA_PROGRAM name the site and the program');
    server = await serve(site);
});
after(() => { if (server) server.stop(); });

// ---- What the program says at a terminal ----------------------------------------------


// A link's fragment for `bytes`: each letter, digit and - . _ ~ as itself, every
// other byte as %XX.
const fragment_of = (bytes) => [...bytes].map((byte) => (/[A-Za-z0-9\-._~]/.test(String.fromCharCode(byte))
    ? String.fromCharCode(byte) : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`)).join('');
const lines_as_bytes = (lines) => Buffer.from(lines.map((line) => `${line}\n`).join(''));

// ---- Reading the page (these run in the page) ----------------------------------------------

const is_over = () => !document.getElementById('ended').hidden;
const screen_text = () => document.getElementById('output').textContent;
const printed = () => [...document.querySelectorAll('#output .said')].map((span) => span.textContent).join('');
const typed_text = () => document.getElementById('line').textContent;
const focused_id = () => document.activeElement && document.activeElement.id;
const page_says = () => document.body.innerText;
const key_sign = () => document.getElementById('key-sign').textContent;
const centre_of = (selector) => {
    const box = document.querySelector(selector).getBoundingClientRect();
    return [box.left + box.width / 2, box.top + box.height / 2];
};

// The name of the worker's cache once the worker is active and its cache the only
// one, and that cache not `older`.
const worker_ready = (older = null) => navigator.serviceWorker.getRegistration().then(async (registration) => {
    if (!registration || !registration.active || registration.installing || registration.waiting) return null;
    const names = await caches.keys();
    return names.length === 1 && names[0] !== older ? names[0] : null;
});

// Asks the browser to look for a new worker now; resolves to what became of the one
// it then installs: 'activated', or 'redundant' if its install failed.
const install_outcome = async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    await registration.update();
    const worker = registration.installing;
    if (!worker) return 'nothing installed';
    await new Promise((resolve) => {
        const settled = () => { if (worker.state === 'activated' || worker.state === 'redundant') resolve(); };
        worker.addEventListener('statechange', settled);
        settled();
    });
    return worker.state;
};

// ---- Playing --------------------------------------------------------------------------------

async function open_game(engine, address, viewport = desktop) {
    const tab = await engine.open(address, viewport);
    await tab.wait_for(ready);
    return tab;
}

async function play_lines(tab, lines) {
    for (const line of lines) {
        const before_typing = await tab.eval(screen_text);
        await tab.type(line);
        await tab.press('Enter');
        await tab.wait_for(ready);
        assert.ok((await tab.eval(screen_text)).startsWith(`${before_typing}${line}\n`), `the echo of ${line}`);
    }
}

// Opens `address` again in `tab` and waits until the new page waits for the player:
// the page before it is marked, so as not to be taken for it.
async function visit_again(tab, address) {
    await tab.eval(() => { window.left_behind = true; });
    await tab.goto(address);
    await tab.wait_for(() => !window.left_behind && document.readyState === 'complete');
    await tab.wait_for(ready);
}

// Waits until the page in `tab` is another than the one marked, and waits itself.
async function replaced(tab, check = ready) {
    await tab.wait_for(() => !window.left_behind && document.readyState === 'complete');
    await tab.wait_for(check);
}

// A copy of the site in a folder of its own, served on an address of its own, so that
// what a test changes or its worker keeps is its alone.
async function own_site() {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'onigawara-site-'));
    fs.cpSync(site, folder, { recursive: true });
    const served = await serve(folder);
    return {
        folder,
        ...served,
        port: Number(new URL(served.url).port),
        remove() {
            served.stop();
            fs.rmSync(folder, { recursive: true, force: true });
        },
    };
}

// Writes a site's service worker again, as the build does.
function make_service_worker(folder) {
    const web = path.join(__dirname, '..', '..', 'platform', 'web');
    const made = spawnSync('cmake', [`-DSITE=${folder}`, `-DTEMPLATE=${path.join(web, 'service-worker.js')}`,
        '-P', path.join(web, 'make-service-worker.cmake')], { encoding: 'utf8', timeout: 30000, killSignal: 'SIGKILL' });
    assert.equal(made.status, 0, made.stderr);
}

function retitle(folder, title) {
    const page = path.join(folder, 'index.html');
    fs.writeFileSync(page, fs.readFileSync(page, 'utf8').replace(/<title>[^<]*<\/title>/, `<title>${title}</title>`));
}

// A network that hangs: a listener on `port` of 127.0.0.1 that accepts each
// connection and never answers. Resolves to { connections(), stop() }.
async function hanging_listener(port) {
    const sockets = new Set();
    let connections = 0;
    const listener = net.createServer((socket) => {
        ++connections;
        sockets.add(socket);
        socket.on('error', () => {});
        socket.on('close', () => sockets.delete(socket));
    });
    for (let tries = 1; ; ++tries) {
        try {
            await new Promise((resolve, reject) => {
                listener.once('error', reject);
                listener.listen(port, '127.0.0.1', resolve);
            });
            break;
        } catch (error) {
            // The server that had the port may take a moment to let it go.
            if (error.code !== 'EADDRINUSE' || tries === 50) throw error;
            await pause(100);
        }
    }
    return {
        connections: () => connections,
        stop() {
            for (const socket of sockets) socket.destroy();
            listener.close();
        },
    };
}

// An HTTP server on 127.0.0.1 that answers every path: with the file of `folder`
// that the path's last name names, else with the page, as a host that serves the
// page at any path; without a folder, with a page of its own ("elsewhere").
// Resolves once it listens to { url, requests (the paths asked for), stop }.
function any_path_server(folder) {
    const requests = [];
    const types = { '.html': 'text/html; charset=utf-8', '.png': 'image/png', '.ico': 'image/x-icon',
        '.css': 'text/css', '.js': 'text/javascript', '.webmanifest': 'application/manifest+json' };
    const listener = http.createServer((request, response) => {
        requests.push(request.url);
        if (!folder) {
            response.writeHead(200, { 'Content-Type': types['.html'] });
            response.end('<!doctype html><title>elsewhere</title><p>elsewhere</p>');
            return;
        }
        const name = path.basename(new URL(request.url, 'http://any').pathname);
        const file = name !== '' && fs.existsSync(path.join(folder, name)) ? name : 'index.html';
        response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream', 'Cache-Control': 'no-store' });
        response.end(fs.readFileSync(path.join(folder, file)));
    });
    return new Promise((resolve) => listener.listen(0, '127.0.0.1', () => resolve({
        url: `http://127.0.0.1:${listener.address().port}/`,
        requests,
        stop: () => { listener.closeAllConnections(); listener.close(); },
    })));
}

// tests/code_page_edges.txt's typed cases: the bytes typed at a UTF-8 terminal and
// the code page 932 bytes the program then reads.
function typed_edge_cases() {
    const hex = (text) => (text.match(/../g) || []).map((pair) => parseInt(pair, 16));
    return fs.readFileSync(path.join(__dirname, '..', 'code_page_edges.txt'), 'utf8').split('\n')
        .map((line) => line.replace(/#.*/, '').trim().split(/\s+/))
        .filter((fields) => fields[0] === 'typed')
        .map((fields) => ({ bytes: hex(fields[1]), out: hex(fields[3]) }));
}

// ---- In each engine ----------------------------------------------------------------------

for (const name of chosen) {
    describe(name, () => {
        let engine;
        before(async () => { engine = await open_engine(name); });
        after(async () => { if (engine) await engine.close(); });
        const narrowest = (viewport) => ({ ...viewport, width: Math.max(viewport.width, engine.can.narrowest) });

        test('after a visit, a network that hangs gives way to the kept copy; the worker keeps one build whole',
            time_limit, async () => {
                const own = await own_site();
                let hang = null;
                try {
                    const address = `${own.url}?seed=5`;
                    const tab = await open_game(engine, address);
                    const first = await tab.wait_for(worker_ready);

                    // The server changes twice, its worker written for the first change only:
                    // the page of the second plays at once, but the worker, whose files are
                    // not its build, is not installed, and the kept copy stays the first one.
                    retitle(own.folder, '鬼瓦の雷鳴・改');
                    make_service_worker(own.folder);
                    retitle(own.folder, '鬼瓦の雷鳴・改二');
                    await visit_again(tab, address);
                    assert.equal(await tab.eval(() => document.title), '鬼瓦の雷鳴・改二', 'the new page at once');
                    assert.equal(await tab.eval(install_outcome), 'redundant', 'a worker for files of another build');
                    assert.deepEqual(await tab.eval(() => caches.keys()), [first]);

                    // Its worker written for it, the second build is kept, whole.
                    make_service_worker(own.folder);
                    assert.equal(await tab.eval(install_outcome), 'activated');
                    const second = await tab.wait_for(worker_ready, first);

                    // The server goes, and something on its port takes each connection and
                    // never answers: the page comes from the kept copy, and plays.
                    own.stop();
                    hang = await hanging_listener(own.port);
                    await visit_again(tab, address);
                    assert.ok(hang.connections() > 0, 'the network was not asked');
                    assert.equal(await tab.eval(() => document.title), '鬼瓦の雷鳴・改二');
                    assert.deepEqual(await tab.eval(() => caches.keys()), [second]);
                    const lines = ['太郎', '本能寺', ''];
                    await play_lines(tab, lines);
                    assert.equal(await tab.eval(is_over), true);
                    assert.equal(await tab.eval(printed), printed_at_terminal(5, lines));
                    await tab.close();
                } finally {
                    if (hang) hang.stop();
                    own.remove();
                }
            });

        test('a replay link replays, whatever the page showed before; a fragment changed plays its game', time_limit, async () => {
            const seed = 21;
            const lines = ['太郎', 'こんにちは', '本能寺', ''];
            const tab = await open_game(engine, `${server.url}?seed=${seed}`);
            await play_lines(tab, lines);
            const screen = await tab.eval(screen_text);
            const link = await tab.eval(() => document.getElementById('replay').href);
            assert.equal(link, `${server.url}?seed=${seed}#${fragment_of(lines_as_bytes(lines))}`);
            // The link differs from the page's address in its fragment alone, then not at all.
            for (const time of ['first', 'second']) {
                await tab.eval(() => { window.left_behind = true; });
                await tab.click(...(await tab.eval(centre_of, '#replay')));
                await replaced(tab, is_over);
                assert.equal(await tab.eval(() => location.href), link, `the ${time} time`);
                assert.equal(await tab.eval(screen_text), screen, `the ${time} time`);
            }
            // Another game's fragment put in the address plays that game.
            const other = ['花子', 'さようなら', ''];
            await tab.eval(() => { window.left_behind = true; });
            await tab.eval((fragment) => { location.hash = fragment; }, fragment_of(lines_as_bytes(other)));
            await replaced(tab, is_over);
            assert.equal(await tab.eval(printed), printed_at_terminal(seed, other));
            await tab.close();
        });

        test('typing reaches the line when nothing has the focus: after a selection, a click outside, a paste', time_limit, async () => {
            const tab = await open_game(engine, `${server.url}?seed=3`);
            await play_lines(tab, ['太郎']);
            await tab.type('ten');
            // Some of the lord's words selected with the mouse, then keys (a key pressed
            // as a keydown: the browser's input method is not there to give one).
            await select_lords_words(tab, 9);
            const selected = await tab.eval(() => String(getSelection()));
            assert.notEqual(selected, '', 'the drag selected text');
            // Ctrl+C still copies the selection.
            await tab.press('Control+c');
            await tab.type('ka');
            assert.equal(await tab.eval(focused_id), 'line');
            assert.equal(await tab.eval(typed_text), 'tenka');
            assert.equal(await clipboard_text(tab), selected, 'Ctrl+C copied the selection');
            // Nothing focused (a click outside the window): keys, then a paste, then Enter.
            await tab.eval(() => document.activeElement.blur());
            await tab.type('fubu');
            await tab.eval(() => document.activeElement.blur());
            await tab.eval(() => {
                const area = document.createElement('textarea');
                area.id = 'clip';
                area.value = 'じゃ';
                document.body.append(area);
                area.select();
            });
            await tab.press('Control+c');
            await tab.eval(() => { document.getElementById('clip').remove(); document.activeElement.blur(); });
            await tab.press('Control+v');
            assert.equal(await tab.eval(typed_text), 'tenkafubuじゃ');
            await tab.eval(() => document.activeElement.blur());
            await tab.press('Enter');
            await tab.wait_for(ready);
            assert.equal(await tab.eval(printed), printed_at_terminal(3, ['太郎', 'tenkafubuじゃ']));
            assert.equal(await tab.eval(focused_id), 'line');
            await tab.close();
        });

        test('each pause shows beside the caret that Enter goes on, once, outside the program\'s text', time_limit, async () => {
            const seed = 21;
            const tab = await open_game(engine, `${server.url}?seed=${seed}`);
            await tab.eval(() => {
                window.signs = [];
                new MutationObserver(() => {
                    const text = document.getElementById('key-sign').textContent;
                    if (text !== '') window.signs.push(text);
                }).observe(document.getElementById('key-sign'), { childList: true, characterData: true, subtree: true });
            });
            await play_lines(tab, ['太郎']);
            assert.equal(await tab.eval(key_sign), '', 'a sign at a prompt');
            await play_lines(tab, ['パルプンテ']);  // cast, then the key wait
            assert.equal(await tab.eval(key_sign), 'Enter で続く');
            const place = await tab.eval(() => {
                const at = document.getElementById('line').getBoundingClientRect();
                const sign = document.getElementById('key-sign').getBoundingClientRect();
                return { gap: sign.left - at.right, rise: Math.abs(sign.top - at.top), height: at.height,
                    in_output: document.getElementById('output').contains(document.getElementById('key-sign')) };
            });
            assert.ok(place.gap >= 0 && place.gap < 3 * place.height && place.rise < place.height / 2,
                `the sign is not beside the caret: ${JSON.stringify(place)}`);
            assert.equal(place.in_output, false);
            if (engine.can.accessibility_tree) {
                const tree = await tab.page.accessibility.snapshot({ interestingOnly: false });
                const statuses = [];
                const text_of = (node) => (node.role === 'StaticText' ? node.name : (node.children || []).map(text_of).join(''));
                (function walk(node) {
                    if (node.role === 'status' && text_of(node) === 'Enter で続く') statuses.push(node);
                    for (const child of node.children || []) walk(child);
                }(tree));
                assert.equal(statuses.length, 1, 'no status says Enter goes on');
            }
            await tab.press('Enter');
            await tab.wait_for(() => document.getElementById('key-sign').textContent === '');
            await play_lines(tab, ['さようなら']);  // the closing banner, then the key wait
            await tab.wait_for(() => document.getElementById('key-sign').textContent !== '');
            await tab.press('Enter');
            await tab.wait_for(is_over);
            assert.equal(await tab.eval(key_sign), '');
            assert.deepEqual(await tab.eval(() => window.signs), ['Enter で続く', 'Enter で続く'], 'each pause said once');
            assert.equal(await tab.eval(printed), printed_at_terminal(seed, ['太郎', 'パルプンテ', '', 'さようなら', '']));
            await tab.close();
        });

        test('at a LAN address by plain HTTP the buttons still copy, and the page says when they cannot', time_limit, async () => {
            const seed = 21;
            const lines = ['太郎', 'さようなら', ''];
            // The link, and the conversation as the screen shows it, without the blank
            // line the program's first print begins with.
            const check_copies = async (tab) => {
                await play_lines(tab, lines);
                assert.equal(await tab.eval(printed), printed_at_terminal(seed, lines));
                const link = await tab.eval(() => document.getElementById('replay').href);
                const conversation = (await tab.eval(screen_text)).replace(/^\n/, '');
                assert.ok(conversation.startsWith('「鬼瓦の雷鳴」'));
                for (const [button, wanted] of [['#copy-link', link], ['#copy-conversation', conversation]]) {
                    await tab.eval(() => { document.getElementById('copied').textContent = ''; });
                    await tab.click(...(await tab.eval(centre_of, button)));
                    await tab.wait_for(() => document.getElementById('copied').textContent !== '');
                    assert.equal(await tab.eval(() => document.getElementById('copied').textContent), 'コピーしました', button);
                    assert.equal(await clipboard_text(tab), wanted, button);
                }
            };
            if (name === 'webkitgtk') {
                // WebKitGTK cannot be told that a name is this machine: the clipboard API
                // is taken away instead, as a page at a LAN address has none.
                const tab = await open_game(engine, `${server.url}?seed=${seed}`);
                await tab.eval(() => { Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined }); });
                await check_copies(tab);
                await tab.close();
            } else {
                const lan = await open_engine(name, {
                    chromium_args: ['--host-resolver-rules=MAP onigawara.test 127.0.0.1'],
                    firefox_prefs: { 'network.dns.localDomains': 'onigawara.test' },
                });
                try {
                    const address = `http://onigawara.test:${new URL(server.url).port}/?seed=${seed}`;
                    const tab = await open_game(lan, address);
                    assert.deepEqual(await tab.eval(() => [window.isSecureContext, 'clipboard' in navigator]), [false, false]);
                    await check_copies(tab);
                    await tab.close();
                } finally {
                    await lan.close();
                }
            }
            // Neither the clipboard API nor the copy command: the page says so.
            const tab = await open_game(engine, `${server.url}?seed=${seed}`);
            await play_lines(tab, lines);
            await tab.eval(() => {
                Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined });
                document.execCommand = () => false;
            });
            await tab.click(...(await tab.eval(centre_of, '#copy-link')));
            await tab.wait_for(() => document.getElementById('copied').textContent !== '');
            assert.equal(await tab.eval(() => document.getElementById('copied').textContent), 'コピーできませんでした');
            await tab.close();
        });

        test('where it cannot play (no WebAssembly, a policy too new for the browser), one sentence says why',
            time_limit, async () => {
                const own = await own_site();
                try {
                    // A page whose WebAssembly is gone before its script runs, as when it is
                    // turned off; and a page whose policy lacks the word for compiling the
                    // program, as a browser that does not know the word reads the policy.
                    const page = fs.readFileSync(path.join(own.folder, 'index.html'), 'utf8');
                    fs.writeFileSync(path.join(own.folder, 'no-webassembly.js'), 'delete globalThis.WebAssembly;\n');
                    fs.writeFileSync(path.join(own.folder, 'no-webassembly.html'),
                        page.replace('<script id="program"', '<script src="no-webassembly.js"></script><script id="program"'));
                    assert.ok(page.includes(' \'wasm-unsafe-eval\''));
                    fs.writeFileSync(path.join(own.folder, 'old-policy.html'), page.replace(' \'wasm-unsafe-eval\'', ''));
                    const cases = [['no-webassembly.html', 'この遊びには WebAssembly が要ります。'],
                        ['old-policy.html', 'この遊びには、もっと新しいブラウザーが要ります。']];
                    const check = async (tab, sentence) => {
                        await tab.wait_for(() => !document.getElementById('loading').textContent.includes('読み込み中'));
                        const said = await tab.eval(page_says);
                        assert.ok(said.includes(sentence), said);
                        assert.doesNotMatch(said, /ゲームは終わりました|もう一度遊ぶ|Error|WebAssembly\./, said);
                        assert.equal(await tab.eval(() => document.getElementById('output').textContent), '');
                        assert.deepEqual(await tab.eval(text_takers), []);
                    };
                    for (const [file, sentence] of cases) {
                        const tab = await engine.open(`${own.url}${file}?seed=3`, desktop);
                        await check(tab, sentence);
                        await tab.close();
                    }
                    // The browser's own switch, where the test can turn it.
                    if (name !== 'webkitgtk') {
                        const without = await open_engine(name, {
                            // V8 without its compilers has no WebAssembly, as a browser's
                            // stricter security settings have it.
                            chromium_args: ['--js-flags=--jitless'],
                            firefox_prefs: { 'javascript.options.wasm': false },
                        });
                        try {
                            const tab = await without.open(`${own.url}?seed=3`, desktop);
                            await check(tab, cases[0][1]);
                            await tab.close();
                        } finally {
                            await without.close();
                        }
                    }
                } finally {
                    own.remove();
                }
            });

        test('a thumb\'s page: what the end offers is 44 px tall at least, and the banner keeps to one line down to 320 px',
            time_limit, async () => {
                // WebKitGTK's window is 447 px wide at least: it shows neither width, and
                // is held to its narrowest.
                const viewports = name === 'webkitgtk' ? [narrowest(phone)] : [phone, small_phone];
                for (const viewport of viewports) {
                    const tab = await open_game(engine, `${server.url}?seed=5`, viewport);
                    const lines = ['お市', '本能寺', ''];
                    await play_lines(tab, lines);
                    assert.equal(await tab.eval(printed), printed_at_terminal(5, lines));
                    const heights = await tab.eval(() => [...document.querySelectorAll('#ended button, #ended a')]
                        .map((element) => [element.id, element.getBoundingClientRect().height]));
                    assert.equal(heights.length, 4);
                    for (const [id, height] of heights) assert.ok(height >= 44, `#${id} is ${height} px tall at ${viewport.width} px`);
                    const banner = await tab.eval(() => {
                        const span = [...document.querySelectorAll('#output .said')].find((s) => s.textContent.includes('－　完　－'));
                        const range = document.createRange();
                        range.setStart(span.firstChild, span.textContent.lastIndexOf('\n') + 1);
                        range.setEnd(span.firstChild, span.textContent.length);
                        const rects = [...range.getClientRects()].filter((r) => r.width > 0);
                        const lines_of_it = rects.filter((r, i) => rects.slice(0, i).every((o) => Math.abs(o.top - r.top) > r.height / 2));
                        return { lines: lines_of_it.length, width: document.documentElement.scrollWidth, window: innerWidth };
                    });
                    assert.equal(banner.lines, 1, `the closing banner wraps at ${banner.window} px`);
                    assert.ok(banner.width <= banner.window, 'the page scrolls sideways');
                    await tab.close();
                }
            });

        test('every link the page makes stays on its origin, whatever the path it was served at', time_limit, async () => {
            const home = await any_path_server(site);
            const elsewhere = await any_path_server(null);
            try {
                const other = new URL(elsewhere.url);
                const address = `${home.url}/${other.host}/x?seed=42`;  // http://127.0.0.1:P//127.0.0.1:Q/x
                const tab = await open_game(engine, address);
                const lines = ['太郎', '本能寺', ''];
                await play_lines(tab, lines);
                const link = new URL(await tab.eval(() => document.getElementById('replay').href));
                assert.equal(link.origin, new URL(home.url).origin);
                assert.equal(link.href, `${home.url}/${other.host}/x?seed=42#${fragment_of(lines_as_bytes(lines))}`);
                await tab.eval(() => { window.left_behind = true; });
                await tab.click(...(await tab.eval(centre_of, '#again')));
                await replaced(tab);
                assert.equal(await tab.eval(() => location.href), `${home.url}/${other.host}/x`);
                assert.deepEqual(elsewhere.requests, [], 'the page sent the player elsewhere');
                await tab.close();
            } finally {
                home.stop();
                elsewhere.stop();
            }
        });

        test('bytes of a link that are not UTF-8 reach the program as at a UTF-8 terminal', time_limit, async () => {
            // The issue's own fragment, as the name, then a line.
            const name_bytes = Buffer.from([0xff, 0xc0, 0xaf, 0x61, 0x62, 0xe3, 0x81, 0xed, 0xa0, 0x80, 0xf4, 0x90, 0x80, 0x80, 0x7a]);
            const typed = Buffer.concat([name_bytes, Buffer.from('\nこんにちは\n')]);
            const tab = await engine.open(`${server.url}?seed=8#${fragment_of(typed)}`, desktop);
            await tab.wait_for(() => document.getElementById('output').textContent.includes('こんにちは\n')
                && document.body.hasAttribute('data-waiting'));
            const terminal = printed_at_terminal(8, typed);
            assert.ok(terminal.includes('???ab???z＞'), terminal);
            assert.equal(await tab.eval(printed), terminal);
            // Every typed case of the code page's edges, through the page's own rule.
            const differences = await tab.eval((cases) => {
                const { typed: as_typed, text_of_utf8 } = window.onigawara_code_page;
                return cases.filter((c) => Array.from(as_typed(text_of_utf8(new Uint8Array(c.bytes)))).join() !== c.out.join());
            }, typed_edge_cases());
            assert.deepEqual(differences, []);
            await tab.close();
        });

        test('the line is a single-line text box that says what it takes',
            { ...time_limit, skip: name === 'webkitgtk' && 'WebKitGTK\'s driver reads nothing of the accessibility tree' },
            async () => {
                const tab = await open_game(engine, `${server.url}?seed=9`);
                if (engine.can.accessibility_tree) {
                    const tree = await tab.page.accessibility.snapshot({ interestingOnly: false });
                    const boxes = [];
                    (function walk(node) {
                        if (node.role === 'textbox') boxes.push(node);
                        for (const child of node.children || []) walk(child);
                    }(tree));
                    assert.deepEqual(boxes.map((box) => [box.name, box.multiline ?? false]), [['殿への言葉', false]]);
                } else {
                    assert.equal((await tab.page.$$('::-p-aria([role="textbox"][name="殿への言葉"])')).length, 1);
                }
                await tab.close();
            });
    });
}
