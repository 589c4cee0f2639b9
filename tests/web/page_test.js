// The web page played in Chromium, Firefox ESR and WebKitGTK, as a player plays it:
// served on localhost, a line typed at each prompt, the screen read back.
//
//   ONIGAWARA_SITE     the built site (build/web/site)
//   ONIGAWARA_PROGRAM  the program built for this machine: what it prints at a
//                      UTF-8 terminal is what the page must show
//   ONIGAWARA_SHOTS    a folder for pictures of a game in progress and of its end
//                      (optional)
//   ONIGAWARA_ENGINES  the engines to play in, separated by commas (all three if unset)
'use strict';
const { describe, test, before, beforeEach, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {
    engines, abilities, serve, open_engine, free_port, pause, poll, ready, text_takers, keys_handled, paste,
    clipboard_text, select_lords_words, printed_at_terminal: printed_by,
} = require('./browser');

const site = process.env.ONIGAWARA_SITE;
const program = process.env.ONIGAWARA_PROGRAM;
const shots = process.env.ONIGAWARA_SHOTS;
const chosen = process.env.ONIGAWARA_ENGINES ? process.env.ONIGAWARA_ENGINES.split(',') : engines;
const transcripts = path.join(__dirname, '..', 'transcripts');
const time_limit = { timeout: 120000 };  // for each test, in ms
// What the program built for this machine prints at a UTF-8 terminal for `lines`.
const printed_at_terminal = (seed, lines) => printed_by(program, seed, lines);

const desktop = { width: 1280, height: 800 };
const phone = { width: 360, height: 740, phone: true };

let server;
before(async () => {
    assert.ok(site && program, 'ONIGAWARA_SITE and ONIGAWARA_PROGRAM name the site and the program');
    server = await serve(site);
});
after(() => { if (server) server.stop(); });

// ---- What the program says at a terminal ----------------------------------------------


function read_transcript(file) {
    const text = fs.readFileSync(file, 'utf8');
    const input_at = text.indexOf('=== input\n') + '=== input\n'.length;
    const output_at = text.indexOf('=== output\n');
    return {
        seed: /^seed: (\d+)$/m.exec(text)[1],
        lines: text.slice(input_at, output_at).split('\n').slice(0, -1),
        output: text.slice(output_at + '=== output\n'.length),
    };
}

const farewell = '－　完　－　';

// ---- Reading the page -------------------------------------------------------------------
// These run in the page.

const is_over = () => !document.getElementById('ended').hidden;
// The screen shows `line` (sent from a paste or a link) and the program waits again.
const has_echoed_and_waits = (line) => document.getElementById('output').textContent.includes(line)
    && document.body.hasAttribute('data-waiting');
const focused_id = () => document.activeElement && document.activeElement.id;
// Everything on the screen: what the program printed and the echo of what was typed.
const screen_text = () => document.getElementById('output').textContent;
// What the program printed, without the echo.
const printed = () => [...document.querySelectorAll('#output .said')].map((span) => span.textContent).join('');
// What the line holds, whichever kind of field it is.
const typed_text = () => {
    const field = document.getElementById('line');
    return 'value' in field ? field.value : field.textContent;
};
const page_says = () => document.body.innerText;
const centre_of = (selector) => {
    const box = document.querySelector(selector).getBoundingClientRect();
    return [box.left + box.width / 2, box.top + box.height / 2];
};
const takes_text = () => document.activeElement.isContentEditable || document.activeElement.matches('input, textarea');
// Notes every way the page might be left from now on: a click on a link or a button,
// and, where the browser reports it (the Navigation API), every navigation that
// starts. Both come at once, as the key or click that causes them is handled.
const note_ways_out = () => {
    window.ways_out = [];
    document.addEventListener('click', (event) => {
        const target = event.target instanceof Element && event.target.closest('a, button');
        if (target) window.ways_out.push(`a click on ${target.id || target.tagName}`);
    }, { capture: true });
    if (window.navigation) navigation.addEventListener('navigate', (event) => window.ways_out.push(`to ${event.destination.url}`));
};
const ways_out = () => window.ways_out;
// What Tab can reach: shown links, buttons, fields and elements given a place in the order.
const tab_stops = () => [...document.querySelectorAll('a[href], button, input, select, textarea, [contenteditable], [tabindex]')]
    .filter((element) => element.tabIndex >= 0 && element.getClientRects().length > 0)
    .map((element) => element.id || element.tagName);

// The name of the worker's cache once the worker is active and its cache the only
// one, and that cache not `older`.
const worker_ready = (older = null) => navigator.serviceWorker.getRegistration().then(async (registration) => {
    if (!registration || !registration.active || registration.installing || registration.waiting) return null;
    const names = await caches.keys();
    return names.length === 1 && names[0] !== older ? names[0] : null;
});

// Opens `address` again in `tab`, which shows it already, and waits until the new
// page waits for the player: the page before it is marked, so as not to be taken for it.
async function visit_again(tab, address) {
    await tab.eval(() => { window.left_behind = true; });
    await tab.goto(address);
    await tab.wait_for(() => !window.left_behind && document.readyState === 'complete');
    await tab.wait_for(ready);
}

// A replay link's fragment for `text`: its UTF-8 bytes, each letter, digit and
// - . _ ~ as itself, every other byte as %XX.
function fragment_of(text) {
    return [...Buffer.from(text, 'utf8')].map((byte) => (/[A-Za-z0-9\-._~]/.test(String.fromCharCode(byte))
        ? String.fromCharCode(byte) : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`)).join('');
}

// Writes a site's service worker again, as the build does.
function make_service_worker(folder) {
    const web = path.join(__dirname, '..', '..', 'platform', 'web');
    const made = spawnSync('cmake', [`-DSITE=${folder}`, `-DTEMPLATE=${path.join(web, 'service-worker.js')}`,
        '-P', path.join(web, 'make-service-worker.cmake')], { encoding: 'utf8', timeout: 30000, killSignal: 'SIGKILL' });
    assert.equal(made.status, 0, made.stderr);
}

// ---- Playing ----------------------------------------------------------------------------

// Opens the page at `query` and waits until the program waits or the game is over.
async function open_game(engine, query, viewport = desktop) {
    const tab = await engine.open(server.url + query, viewport);
    await tab.wait_for(ready);
    return tab;
}

// Types `line` and Enter at the prompt. The line shows after the prompt at once, as
// a terminal echoes it, and the line keeps the focus while the game goes on.
async function type_line(tab, line) {
    const before_typing = await tab.eval(screen_text);
    await tab.type(line);
    await tab.press('Enter');
    await tab.wait_for(ready);
    assert.ok((await tab.eval(screen_text)).startsWith(`${before_typing}${line}\n`), `the echo of ${line}`);
    if (!(await tab.eval(is_over))) assert.equal(await tab.eval(focused_id), 'line', `the focus after ${line}`);
}

async function play_lines(tab, lines) {
    for (const line of lines) {
        assert.equal(await tab.eval(is_over), false, `the game ended before ${line}`);
        await type_line(tab, line);
    }
}

async function shoot(tab, what) {
    if (!shots) return;
    fs.mkdirSync(shots, { recursive: true });
    const [width, height] = await tab.eval(() => [innerWidth, innerHeight]);
    await tab.screenshot(path.join(shots, `${tab.engine}-${what}-${width}x${height}.png`));
}

// The screen ends with the lord's last word and the closing banner, the end message
// has the focus, and nothing on the page takes text.
async function assert_the_end_stays(tab, engine, lines, seed) {
    assert.equal(await tab.eval(is_over), true, 'the game is over');
    assert.equal(await tab.eval(printed), printed_at_terminal(seed, lines));
    assert.ok((await tab.eval(printed)).endsWith(farewell));
    assert.equal(await tab.eval(focused_id), 'end-message');
    assert.deepEqual(await tab.eval(text_takers), [], 'fields that take text after the end');
    if (engine.can.accessibility_tree) {
        const tree = await tab.page.accessibility.snapshot({ interestingOnly: false });
        assert.deepEqual(find_in_tree(tree, (node) => node.role === 'textbox'), [], 'a text field in the accessibility tree');
    } else if (engine.name === 'firefox') {
        assert.equal((await tab.page.$$('::-p-aria([role="textbox"])')).length, 0, 'a text field in the accessibility tree');
    }
}

function find_in_tree(node, wanted) {
    if (!node) return [];
    return [...(wanted(node) ? [node] : []), ...(node.children || []).flatMap((child) => find_in_tree(child, wanted))];
}

// ---- In each engine -----------------------------------------------------------------------

for (const name of chosen) {
    describe(name, () => {
        let engine;
        // Opened for the first test that runs, so that a name filter that leaves out the
        // engine's tests does not start it.
        beforeEach(async () => { engine ??= await open_engine(name); });
        after(async () => { if (engine) await engine.close(); });
        const narrow = () => ({ ...phone, width: Math.max(phone.width, engine.can.narrowest) });

        // Each recorded conversation, typed line by line with its seed, prints on the page
        // exactly what it prints to a pipe: the key waits take the first byte of a typed line
        // and leave the rest, the endings end, and a conversation still going waits at its prompt.
        for (const file of fs.readdirSync(transcripts).filter((f) => f.endsWith('.txt')).sort()) {
            test(`transcript ${file}`, time_limit, async () => {
                const t = read_transcript(path.join(transcripts, file));
                const tab = await open_game(engine, `?seed=${t.seed}`);
                for (const line of t.lines) {
                    if (await tab.eval(is_over)) break;  // the rest would have gone unread
                    await type_line(tab, line);
                }
                assert.equal(await tab.eval(printed), t.output);
                assert.equal(await tab.eval(() => document.querySelectorAll('#output .error').length), 0);
                await tab.close();
            });
        }

        test('a name from an input method, the spell and a farewell, as at a UTF-8 terminal',
            { ...time_limit, skip: !abilities[name].input_method && 'composes only through the DevTools protocol' },
            async () => {
                const seed = 21;
                const tab = await open_game(engine, `?seed=${seed}`);
                // Enter while the input method composes only commits the composition.
                const input_method = await tab.page.createCDPSession();
                await input_method.send('Input.imeSetComposition', { text: 'おはる', selectionStart: 3, selectionEnd: 3 });
                await tab.press('Enter');
                await keys_handled(tab);
                assert.equal(await tab.eval(typed_text), 'おはる');
                assert.ok(await tab.eval(() => document.body.hasAttribute('data-waiting')), 'still waiting for the name');
                // The input method gives U+301C for the wave dash; code page 932 has it as 0x8160.
                await input_method.send('Input.insertText', { text: 'お春〜' });
                await tab.press('Enter');
                await tab.wait_for(ready);
                const lines = ['お春〜', 'こんにちは', 'パルプンテ', '', 'そうか', 'さようなら', ''];
                await play_lines(tab, lines.slice(1));
                const said = await tab.eval(printed);
                assert.equal(said, printed_at_terminal(seed, lines));
                assert.match(said, /\n　　　　　お春～はパルプンテを唱えた\n/);
                await assert_the_end_stays(tab, engine, lines, seed);
                await tab.close();
            });

        test('the end stays: neither a second Enter, a held Enter nor typing leaves it; Tab and Enter play again',
            time_limit, async () => {
                for (const viewport of [desktop, narrow()]) {
                    const tab = await open_game(engine, '?seed=42', viewport);
                    await play_lines(tab, ['太郎', '本能寺']);
                    const address = await tab.eval(() => location.href);
                    await tab.press('Enter');  // answers the key wait after the closing banner
                    await tab.wait_for(is_over);
                    const lines = ['太郎', '本能寺', ''];
                    await assert_the_end_stays(tab, engine, lines, 42);
                    await tab.eval(note_ways_out);
                    await tab.press('Enter');
                    await shoot(tab, 'end-after-a-second-enter');
                    await tab.key_down('Enter');  // held down: the browser repeats it
                    await tab.key_down('Enter');
                    await tab.key_down('Enter');
                    await tab.key_up('Enter');
                    await tab.type('まだいるか');
                    await tab.press('Enter');
                    await tab.press('Space');
                    await keys_handled(tab);
                    assert.deepEqual(await tab.eval(ways_out), [], 'keys after the end went somewhere');
                    assert.equal(await tab.eval(() => location.href), address);
                    assert.equal(await tab.eval(printed), printed_at_terminal(42, lines));
                    assert.ok(!(await tab.eval(screen_text)).includes('まだいるか'), 'text typed after the end was taken');
                    assert.deepEqual(await tab.eval(text_takers), []);

                    // From the message, Tab reaches the button, and Enter on it starts a new game.
                    await tab.press('Tab');
                    assert.equal(await tab.eval(focused_id), 'again');
                    await tab.press('Enter');
                    await tab.wait_for(() => !location.search && document.body.hasAttribute('data-waiting'));
                    assert.equal(await tab.eval(screen_text), printed_at_terminal(0, []));
                    assert.equal(await tab.eval(focused_id), 'line');
                    await tab.close();
                }
            });

        // Shift+Tab from the end leaves the page, as there is nothing before the message
        // to go to; in headless Firefox the page then has the focus no more, so this is a
        // test of its own.
        test('after the end, Shift+Tab finds no field', time_limit, async () => {
            const tab = await open_game(engine, '?seed=42');
            await play_lines(tab, ['太郎', '本能寺', '']);
            await assert_the_end_stays(tab, engine, ['太郎', '本能寺', ''], 42);
            for (let i = 0; i < 3; ++i) {
                await tab.press('Shift+Tab');
                assert.equal(await tab.eval(takes_text), false, 'Shift+Tab reached a field');
            }
            await tab.close();
        });

        test('a long line wraps right after the prompt, wholly visible, and the lord hears it all', time_limit, async () => {
            const long_line = '天下布武'.repeat(13).slice(0, 49);  // 98 bytes in code page 932
            const longer_line = '是非に及ばず。'.repeat(9).slice(0, 60);
            for (const viewport of [desktop, narrow()]) {
                const tab = await open_game(engine, '?seed=7', viewport);
                await type_line(tab, '太郎');
                for (const [line, shot] of [[long_line.slice(0, 45), 'typing-45-characters'], [long_line, ''], [longer_line, '']]) {
                    await tab.type(line);
                    assert.equal(await tab.eval(typed_text), line);
                    const layout = await tab.eval(typing_layout);
                    assert.ok(layout.first_line_at_prompt, `the typing starts after ＞: ${JSON.stringify(layout)}`);
                    assert.ok(layout.inside_window, `the typing stays in the window: ${JSON.stringify(layout)}`);
                    assert.ok(layout.wraps_to_margin, `the typing wraps to the left margin: ${JSON.stringify(layout)}`);
                    assert.ok(layout.no_sideways_scroll, `nothing scrolls sideways: ${JSON.stringify(layout)}`);
                    if (shot) await shoot(tab, shot);
                    await tab.eval(() => { document.getElementById('line').textContent = ''; });
                }
                await type_line(tab, long_line);
                assert.equal(await tab.eval(printed), printed_at_terminal(7, ['太郎', long_line]));
                await tab.close();
            }
        });

        test('a click or tap anywhere in the window brings the typing back, unless it selects text', time_limit, async () => {
            for (const viewport of [desktop, narrow()]) {
                const tab = await open_game(engine, '?seed=3', viewport);
                await type_line(tab, '太郎');
                await tab.type('天下');
                const [width, height] = await tab.eval(() => [innerWidth, innerHeight]);
                const places = [[width / 2, height - 8], [8, height / 2], [width - 8, height * 0.75]];
                for (const [x, y] of places) {
                    await tab.eval(() => document.activeElement.blur());
                    await tab.click(x, y);
                    assert.equal(await tab.eval(focused_id), 'line', `after a click at ${x}, ${y}`);
                }
                if (engine.can.touch && viewport.phone) {
                    await tab.eval(() => document.activeElement.blur());
                    await tab.tap(width / 2, height - 8);
                    assert.equal(await tab.eval(focused_id), 'line', 'after a tap');
                }
                await tab.type('布武');
                assert.equal(await tab.eval(typed_text), '天下布武', 'the caret came back at the end of the line');

                // Selecting some of what the lord said leaves the selection alone.
                await tab.eval(() => document.activeElement.blur());
                await select_lords_words(tab, 10);
                assert.notEqual(await tab.eval(() => String(getSelection())), '', 'the drag selected text');
                assert.notEqual(await tab.eval(focused_id), 'line', 'the drag took the selection away');
                await tab.close();
            }
        });

        test('while the page is read, it says it loads, takes no text, and Enter and clicks go nowhere; then the first prompt is as at a terminal',
            time_limit, async () => {
                await server.hold('', '<script');  // the page, read up to the program and its script
                let tab;
                try {
                    tab = await engine.open('about:blank', desktop);
                    await tab.goto(`${server.url}?seed=11`, { wait: false });
                    await tab.wait_for(() => location.search === '?seed=11' && document.getElementById('ended') !== null);
                    assert.equal(await tab.eval(() => 'onigawara_code_page' in window), false, 'the script had run');
                    const loading = await tab.eval(() => {
                        const status = [...document.querySelectorAll('#screen *')].find((element) => /読み込み中/.test(element.textContent)
                            && element.children.length === 0 && element.getClientRects().length > 0);
                        return status ? status.textContent : null;
                    });
                    assert.ok(loading, 'no loading state on the screen');
                    if (engine.can.keys_while_reading) {
                        await tab.eval(() => { window.still_here = true; });
                        await tab.eval(note_ways_out);
                        await tab.click(200, 300);
                        for (const key of ['Tab', 'Tab', 'Enter']) await tab.press(key);
                        await tab.type('太郎');
                        await tab.press('Enter');
                        await tab.type('鬼瓦');
                        await tab.press('Enter');
                        await keys_handled(tab);
                        assert.deepEqual(await tab.eval(ways_out), [], 'a click or a key while loading went somewhere');
                        assert.equal(await tab.eval(() => window.still_here === true && location.search), '?seed=11', 'the page navigated');
                        assert.ok(!(await tab.eval(page_says)).includes('太郎'), 'text typed while loading shows');
                    }
                    assert.deepEqual(await tab.eval(text_takers), [], 'a field takes text while the program loads');
                    assert.equal(await tab.eval(() => document.forms.length), 0, 'a form that could be submitted');
                } finally {
                    await server.release('');
                }
                await tab.wait_for(ready);
                assert.equal(await tab.eval(screen_text), printed_at_terminal(11, []));
                assert.ok(!(await tab.eval(page_says)).includes('読み込み中'), 'the loading state stays');
                assert.equal(await tab.eval(focused_id), 'line');
                await play_lines(tab, ['太郎', 'こんにちは']);
                assert.equal(await tab.eval(printed), printed_at_terminal(11, ['太郎', 'こんにちは']));
                await tab.close();
            });

        test('an older browser, one that reads no hex and will not compile the program on the page\'s own thread, plays it all the same',
            { ...time_limit, skip: !abilities[name].script_before_page && 'no script of the test\'s own before the page\'s here' },
            async () => {
                const tab = await engine.open('about:blank', desktop);
                await tab.page.evaluateOnNewDocument(() => {
                    delete Uint8Array.fromHex;
                    WebAssembly.Module = function refused() { throw new RangeError('too large to compile on this thread'); };
                });
                await tab.goto(`${server.url}?seed=4`);
                await tab.wait_for(ready);
                await play_lines(tab, ['太郎', 'こんにちは']);
                assert.equal(await tab.eval(printed), printed_at_terminal(4, ['太郎', 'こんにちは']));
                await tab.close();
            });

        test('without JavaScript: the notice at the top, no field, and Enter goes nowhere', time_limit, async () => {
            const tab = await engine.open_without_scripts(`${server.url}?seed=13`, desktop);
            const layout = await tab.eval(() => {
                const screen = document.getElementById('screen').getBoundingClientRect();
                const notice = [...document.querySelectorAll('#screen p')].find((p) => p.textContent.includes('JavaScript'));
                const font = parseFloat(getComputedStyle(document.getElementById('screen')).fontSize);
                return { notice_top: notice ? notice.getBoundingClientRect().top - screen.top : null, font };
            });
            assert.ok(layout.notice_top !== null, 'no notice');
            assert.ok(layout.notice_top < 1.5 * layout.font, `the notice is ${layout.notice_top} px down`);
            assert.ok(!(await tab.eval(page_says)).includes('読み込み中'), 'the page says it loads, and it never will');
            assert.deepEqual(await tab.eval(text_takers), []);
            // The page's scripts do not run, nor does it hear keys: what Enter could act on
            // is what Tab can reach, and that is nothing.
            assert.deepEqual(await tab.eval(tab_stops), [], 'what Tab reaches without JavaScript');
            await tab.eval(() => { window.still_here = true; });
            for (const key of ['Tab', 'Tab']) await tab.press(key);
            assert.equal(await tab.eval(() => document.activeElement === document.body), true, 'Tab reached something');
            await tab.press('Enter');
            await tab.type('太郎');
            await tab.press('Enter');
            assert.equal(await tab.eval(() => window.still_here === true && location.search), '?seed=13', 'the page navigated');
            await tab.close();
        });

        test('on a phone: the typing in 16 px, and the closing banner on one line', time_limit, async () => {
            const tab = await open_game(engine, '?seed=5', narrow());
            const size = await tab.eval(() => parseFloat(getComputedStyle(document.getElementById('line')).fontSize));
            assert.ok(size >= 16, `the field's text is ${size} px: a phone zooms into it`);
            await play_lines(tab, ['お市', '本能寺', '']);
            assert.equal(await tab.eval(printed), printed_at_terminal(5, ['お市', '本能寺', '']));
            const banner = await tab.eval((text) => {
                const spans = [...document.querySelectorAll('#output .said')];
                const span = spans.find((s) => s.textContent.includes(text));
                const at = span.textContent.lastIndexOf('\n') + 1;
                const range = document.createRange();
                range.setStart(span.firstChild, at);
                range.setEnd(span.firstChild, span.textContent.length);
                // Pieces of one line may come from different fonts, a pixel apart.
                const rects = [...range.getClientRects()].filter((r) => r.width > 0);
                const lines = rects.filter((r, i) => rects.slice(0, i).every((o) => Math.abs(o.top - r.top) > r.height / 2));
                return { lines: lines.length, width: document.documentElement.scrollWidth, window: innerWidth };
            }, farewell);
            assert.equal(banner.lines, 1, 'the closing banner wraps');
            assert.ok(banner.width <= banner.window, 'the page scrolls sideways');
            await tab.close();
        });

        test('the window follows the newest text: the typing as the conversation outgrows it, then the end', time_limit, async () => {
            const lines = ['太郎', ...Array(14).fill('こんにちは'), '本能寺', ''];
            const in_view = (id) => {
                const box = document.getElementById(id).getBoundingClientRect();
                return box.height > 0 && box.top >= 0 && box.bottom <= innerHeight + 1;
            };
            const tab = await open_game(engine, '?seed=5', narrow());
            for (const line of lines) {
                await type_line(tab, line);
                if (!(await tab.eval(is_over))) await tab.wait_for(in_view, 'line');
            }
            assert.equal(await tab.eval(printed), printed_at_terminal(5, lines));
            assert.ok(await tab.eval(() => document.documentElement.scrollHeight > innerHeight + 200), 'the conversation outgrew the window');
            await tab.wait_for(in_view, 'ended');
            await tab.close();
        });

        // What was printed before the last line is kept out of the typing's layout (so that
        // a key costs as much late in a game as early: bench/typing.js measures it), and
        // none of it may move for that.
        test('a long conversation stands where one flow of its text would, and only its last line flows with the typing',
            time_limit, async () => {
                const many = Array.from({ length: 200 }, (_, i) => ['こんにちは', 'そうか', '鷹狩じゃ', 'なるほど', '天下布武'][i % 5]);
                const lines = ['太郎', ...many, '本能寺', ''];
                for (const viewport of [desktop, narrow()]) {
                    const tab = await open_game(engine, '?seed=21', viewport);
                    await type_line(tab, '太郎');
                    await paste(tab, many.map((line) => `${line}\n`).join(''));
                    await tab.wait_for((sent) => document.body.hasAttribute('data-waiting') && [...document.querySelectorAll('#output .typed')]
                        .map((echo) => echo.textContent).join('') === sent, lines.slice(0, 201).map((line) => `${line}\n`).join(''));
                    // A few frames drawn: what is out of sight is skipped by then.
                    await tab.eval(() => {
                        window.frames_drawn = 0;
                        const next = () => requestAnimationFrame(() => { if (++window.frames_drawn < 5) next(); });
                        next();
                    });
                    await tab.wait_for(() => window.frames_drawn === 5);
                    const at_prompt = await tab.eval(against_one_flow);
                    assert.deepEqual(at_prompt.moved, [], `pieces out of place at ${viewport.width} px`);
                    assert.ok(at_prompt.compared > 100 && at_prompt.skipped > 0,
                        `${at_prompt.compared} pieces compared, ${at_prompt.skipped} out of sight`);
                    assert.equal(at_prompt.in_flow, at_prompt.last_line, 'what shares the typing\'s flow');
                    assert.ok(at_prompt.last_line.endsWith('太郎＞'), at_prompt.last_line);
                    await play_lines(tab, ['本能寺', '']);
                    assert.equal(await tab.eval(printed), printed_at_terminal(21, lines));
                    const at_end = await tab.eval(against_one_flow);
                    assert.deepEqual(at_end.moved, [], `pieces out of place at the end, at ${viewport.width} px`);
                    await tab.close();
                }
            });

        // The lines printed before the last are blocks of their own: a selection copied by
        // hand must still hold the screen's text, with no line break added between them.
        test('the conversation selected and copied by hand is the screen\'s text, line for line', time_limit, async () => {
            const tab = await open_game(engine, '?seed=3');
            await play_lines(tab, ['太郎', 'こんにちは', 'そうか', '']);
            await tab.eval(() => getSelection().selectAllChildren(document.getElementById('output')));
            await tab.press('Control+c');
            assert.equal(await clipboard_text(tab), await tab.eval(screen_text));
            await tab.close();
        });

        test('a seed the program does not take: a short message in Japanese, and a game without it', time_limit, async () => {
            for (const seed of ['abc', '-1', '4294967296', '', '1.5', '--help']) {
                const tab = await open_game(engine, `?seed=${encodeURIComponent(seed)}`);
                const said = await tab.eval(page_says);
                assert.match(said, /\?seed.*0 から 4294967295/, `?seed=${seed}: ${said}`);
                assert.doesNotMatch(said, /onigawara|Try|ゲームは終わりました/, `?seed=${seed}`);
                assert.equal(await tab.eval(printed), '');
                assert.equal(await tab.eval(focused_id), 'end-message');
                assert.deepEqual(await tab.eval(text_takers), []);
                if (seed === 'abc') {
                    assert.equal(await tab.eval(() => document.getElementById('again').textContent), '?seed なしで遊ぶ');
                    await tab.click(...(await tab.eval(centre_of, '#again')));
                    await tab.wait_for(() => !location.search && document.body.hasAttribute('data-waiting'));
                    assert.equal(await tab.eval(screen_text), printed_at_terminal(0, []));
                }
                await tab.close();
            }
            for (const seed of ['0', '4294967295']) {
                const tab = await open_game(engine, `?seed=${seed}`);
                assert.equal(await tab.eval(printed), printed_at_terminal(seed, []));
                await play_lines(tab, ['太郎']);
                assert.equal(await tab.eval(printed), printed_at_terminal(seed, ['太郎']));
                await tab.close();
            }
        });

        test('a paste of several lines sends each in turn, as if typed one after another', time_limit, async () => {
            const seed = 42;
            const lines = ['お市', 'こんにちは', '鷹狩じゃ', 'さようなら'];
            const by_hand = await open_game(engine, `?seed=${seed}`);
            await play_lines(by_hand, lines);
            const typed_screen = await by_hand.eval(screen_text);
            await by_hand.close();

            const tab = await open_game(engine, `?seed=${seed}`);
            await tab.type('お');
            await paste(tab, '市\nこんにちは\r\n鷹狩じゃ\nさようなら\nまた');
            await tab.wait_for(ready);
            assert.equal(await tab.eval(screen_text), typed_screen);
            assert.equal(await tab.eval(typed_text), 'また', 'what follows the last line break stays typed');
            await tab.close();
        });

        test('the title is a heading, and the conversation reads whole and in order', time_limit, async () => {
            const tab = await open_game(engine, '?seed=9');
            await play_lines(tab, ['太郎', 'こんにちは', 'なるほど']);
            assert.equal(await tab.eval(() => [...document.querySelectorAll('h1')].map((h) => h.textContent).join()), '鬼瓦の雷鳴');
            if (engine.can.accessibility_tree) {
                const tree = await tab.page.accessibility.snapshot({ interestingOnly: false });
                const headings = find_in_tree(tree, (node) => node.role === 'heading');
                assert.deepEqual(headings.map((h) => [h.name, h.level]), [['鬼瓦の雷鳴', 1]]);
                const [log] = find_in_tree(tree, (node) => node.role === 'log');
                assert.ok(log, 'no log in the accessibility tree');
                const text = find_in_tree(log, (node) => node.role === 'StaticText' || node.role === 'text')
                    .map((node) => node.name).join('');
                const squeeze = (s) => s.replace(/\s+/g, '');
                assert.equal(squeeze(text), squeeze(await tab.eval(screen_text)));
            } else if (engine.name === 'firefox') {
                assert.equal((await tab.page.$$('::-p-aria([role="heading"][name="鬼瓦の雷鳴"])')).length, 1);
            }
            await tab.close();
        });

        test('the tab\'s icon and the manifest a phone installs from are the page\'s own files', time_limit, async () => {
            const tab = await open_game(engine, '?seed=3');
            const found = await tab.eval(async () => {
                const bytes = async (href) => {
                    const answer = await fetch(href);
                    return answer.ok ? [...new Uint8Array(await answer.arrayBuffer()).slice(0, 24)] : answer.status;
                };
                const links = [...document.querySelectorAll('link[rel~="icon"], link[rel="apple-touch-icon"]')];
                const manifest_link = document.querySelector('link[rel="manifest"]');
                const answer = await fetch(manifest_link.href);
                const manifest = await answer.json();
                const icons = [];
                for (const icon of manifest.icons) {
                    icons.push([icon.sizes, icon.purpose ?? 'any', await bytes(new URL(icon.src, manifest_link.href))]);
                }
                return {
                    links: await Promise.all(links.map((link) => bytes(link.href))),
                    manifest,
                    manifest_type: answer.headers.get('content-type'),
                    icons,
                };
            });
            const png_of = (side) => [0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 0x49, 0x48, 0x44, 0x52,
                0, 0, side >> 8, side & 0xFF, 0, 0, side >> 8, side & 0xFF];
            assert.deepEqual(found.links.map((head) => String.fromCharCode(...head.slice(0, 5))),
                ['<svg ', '\x00\x00\x01\x00\x03', '\x89PNG\r'], 'the SVG, favicon.ico (three sizes), a PNG');
            const { icons, ...rest } = found.manifest;
            assert.deepEqual(rest, {
                id: 'onigawara', name: '鬼瓦の雷鳴', short_name: '鬼瓦',
                description: '短気な戦国大名・鬼瓦と、一行ずつ言葉を交わす会話遊び。',
                lang: 'ja', start_url: './', scope: './',
                display: 'standalone', theme_color: '#1f1f1f', background_color: '#0c0c0c',
            });
            assert.equal(found.manifest_type, 'application/manifest+json');
            // A maskable icon has its picture inside the safe zone (tests/icon_test.py).
            assert.deepEqual(found.icons, [
                ['192x192', 'any', png_of(192)], ['512x512', 'any', png_of(512)], ['512x512', 'maskable', png_of(512)],
            ]);
            await tab.close();
        });

        test('before the first prompt the browser asks for nothing but the page; the icons and the manifest come after it',
            time_limit, async () => {
                // An address of its own, where no service worker of an earlier test asks for
                // its own script; the page's end held back, so that the page is still being
                // read when its program waits for the first time.
                const own = await serve(site);
                try {
                    await own.hold('', '</body>');
                    const tab = await engine.open('about:blank', desktop);
                    await own.requests();
                    await tab.goto(`${own.url}?seed=8`, { wait: false });
                    await tab.wait_for(ready);
                    // The prompt is up, and nothing more of the page will come until it is
                    // released: the page, and at most the small icon it names (Firefox may
                    // fetch it as soon as it has read the page's head).
                    const before = await own.requests();
                    assert.deepEqual(before.filter((file) => file !== '/onigawara.svg'), ['/?seed=8'], 'asked for before the first prompt');
                    const links = () => [...document.querySelectorAll('link')].map((link) => link.getAttribute('href'));
                    assert.deepEqual(await tab.eval(links), ['onigawara.svg'], 'links in the page before it has been read');
                    await own.release('');
                    await tab.wait_for(() => document.querySelectorAll('link').length > 1);
                    assert.deepEqual(await tab.eval(links), ['onigawara.svg', 'favicon.ico', 'onigawara-192.png', 'manifest.webmanifest']);
                    // The browser fetches an icon for the tab once the page has loaded.
                    const asked = [...before];
                    await poll(async () => {
                        asked.push(...await own.requests());
                        return asked.some((file) => /^\/(onigawara\.svg|favicon\.ico)$/.test(file));
                    }, 'a request for the tab\'s icon');
                    assert.equal(await tab.eval(printed), printed_at_terminal(8, []));
                    await tab.close();
                } finally {
                    await own.release('');
                    own.stop();
                }
            });

        test('after a visit the page plays with the server gone; a changed build is played once served, offline too',
            time_limit, async () => {
                // A copy of the site, served on an address of its own, so that its worker and
                // cache are this test's alone, and the build can change under it.
                const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'onigawara-site-'));
                fs.cpSync(site, copy, { recursive: true });
                const own = await serve(copy);
                try {
                    const address = `${own.url}?seed=5`;
                    const tab = await engine.open(address, desktop);
                    await tab.wait_for(ready);
                    const first = await tab.wait_for(worker_ready);

                    // A new build: another title, and the worker written for it as the build writes it.
                    const page = path.join(copy, 'index.html');
                    fs.writeFileSync(page, fs.readFileSync(page, 'utf8').replace('<title>鬼瓦の雷鳴</title>', '<title>鬼瓦の雷鳴・改</title>'));
                    make_service_worker(copy);
                    await visit_again(tab, address);
                    assert.equal(await tab.eval(() => document.title), '鬼瓦の雷鳴・改', 'the new build at the first visit after it');
                    const second = await tab.wait_for(worker_ready, first);

                    own.stop();
                    await visit_again(tab, address);
                    assert.equal(await tab.eval(() => document.title), '鬼瓦の雷鳴・改', 'the new build with the server gone');
                    assert.deepEqual(await tab.eval(() => caches.keys()), [second], 'the older cache is gone');
                    const kept = await tab.eval((name) => caches.open(name).then((cache) => cache.keys())
                        .then((requests) => requests.map((request) => new URL(request.url).pathname).sort()), second);
                    const files = fs.readdirSync(copy).filter((file) => file !== 'sw.js' && file !== 'index.html');
                    assert.deepEqual(kept, ['/', ...files.map((file) => `/${file}`)].sort(), 'the cache holds each file once, the page as /');
                    await visit_again(tab, `${own.url}index.html?seed=5`);
                    assert.equal(await tab.eval(() => document.title), '鬼瓦の雷鳴・改', 'the page by its file name, with the server gone');
                    const lines = ['太郎', 'こんにちは', '本能寺', ''];
                    await play_lines(tab, lines.slice(0, 3));
                    await tab.press('Enter');
                    await tab.wait_for(is_over);
                    assert.equal(await tab.eval(printed), printed_at_terminal(5, lines));
                    await tab.close();
                } finally {
                    own.stop();
                    fs.rmSync(copy, { recursive: true, force: true });
                }
            });

        test('at the end, a link replays the very game, a pause\'s one byte and all, and the conversation copies as text',
            time_limit, async () => {
                const seed = 21;
                // At the pause after the spell, あい: the pause takes one byte and leaves the rest.
                const lines = ['太郎', 'パルプンテ', 'あい', 'そうか', 'さようなら', ''];
                const tab = await open_game(engine, `?seed=${seed}`);
                await play_lines(tab, lines);
                assert.equal(await tab.eval(printed), printed_at_terminal(seed, lines));
                const screen = await tab.eval(screen_text);
                const link = await tab.eval(() => document.getElementById('replay').href);
                assert.equal(link, `${server.url}?seed=${seed}#${fragment_of(lines.map((line) => `${line}\n`).join(''))}`);

                await tab.eval(() => {
                    window.copied_texts = [];
                    navigator.clipboard.writeText = async (text) => { window.copied_texts.push(text); };
                    document.getElementById('copy-conversation').click();
                    document.getElementById('copy-link').click();
                });
                // The conversation without the blank line the program's first print begins with.
                assert.deepEqual(await tab.wait_for(() => window.copied_texts.length === 2 && window.copied_texts),
                    [screen.replace(/^\n/, ''), link]);

                // Opened anew, the link plays the same conversation to the same end.
                await tab.goto('about:blank');
                await tab.goto(link);
                await tab.wait_for(is_over);
                assert.equal(await tab.eval(screen_text), screen);
                assert.equal(await tab.eval(() => document.getElementById('replay').href), link);
                assert.equal(await tab.eval(() => !document.getElementById('again').hidden && document.getElementById('again').textContent), 'もう一度遊ぶ');
                await tab.close();
            });

        test('a link whose fragment holds markup plays it as typed text: nothing of it becomes part of the page',
            time_limit, async () => {
                const markup = '<img src=x onerror="document.body.dataset.ran=1">';
                const lines = [markup, 'こんにちは'];
                // The errors are heard from before the page loads: a reload would bring in the
                // first load's cancelled requests, which are the browser's and not the page's.
                const tab = await engine.open('about:blank', desktop);
                const errors = [];
                if (tab.page) {
                    tab.page.on('pageerror', (error) => errors.push(String(error)));
                    tab.page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
                }
                await tab.goto(`${server.url}?seed=3#${fragment_of(lines.map((line) => `${line}\n`).join(''))}`);
                await tab.wait_for(has_echoed_and_waits, `${lines[1]}\n`);
                assert.equal(await tab.eval(printed), printed_at_terminal(3, lines));
                assert.ok((await tab.eval(screen_text)).includes(`${markup}\n`), 'the markup echoed as text');
                assert.deepEqual(await tab.eval(() => [...document.querySelectorAll('#output *')].map((e) => e.tagName)
                    .filter((tag) => tag !== 'SPAN')), []);
                // The program has read the line after the markup: had the markup become part of
                // the page, its image would be there now.
                assert.equal(await tab.eval(() => document.images.length), 0, 'the markup became an image');
                assert.equal(await tab.eval(() => document.body.dataset.ran ?? null), null, 'markup ran as code');
                assert.deepEqual(errors, []);
                await tab.close();
            });

        test('a byte order mark at the start of what is sent is skipped, as at a UTF-8 terminal', time_limit, async () => {
            // Pasted from a file saved with one, and in a link, whose bytes hold it.
            const lines = ['\uFEFF太郎', 'こんにちは'];
            assert.ok(printed_at_terminal(6, lines).includes('太郎＞'), 'the terminal takes the name without the mark');
            const pasted = await open_game(engine, '?seed=6');
            await paste(pasted, lines.map((line) => `${line}\n`).join(''));
            await pasted.wait_for(has_echoed_and_waits, `${lines[1]}\n`);
            assert.equal(await pasted.eval(printed), printed_at_terminal(6, lines));
            await pasted.close();

            const tab = await open_game(engine, `?seed=6#${fragment_of(lines.map((line) => `${line}\n`).join(''))}`);
            await tab.wait_for(has_echoed_and_waits, `${lines[1]}\n`);
            assert.equal(await tab.eval(printed), printed_at_terminal(6, lines));
            await tab.close();
        });

        test('markup put into the page runs nothing: only the page\'s own script runs, and the program in it',
            time_limit, async () => {
                const tab = await open_game(engine, '?seed=3');
                // Three ways to run code: each is refused (the browser reports each refusal to
                // the page as it happens) or runs. The test waits for all three to be decided.
                await tab.eval(() => {
                    window.refused = [];
                    document.addEventListener('securitypolicyviolation', (event) => window.refused.push(event.effectiveDirective));
                    document.getElementById('screen').insertAdjacentHTML('beforeend',
                        '<img src="x" onerror="document.body.dataset.ran = 1"><a id="hostile" href="javascript:void(document.body.dataset.ran = 2)">x</a>');
                    document.getElementById('hostile').click();
                    const script = document.createElement('script');
                    script.textContent = 'document.body.dataset.ran = 3';
                    document.body.append(script);
                });
                await tab.wait_for(() => window.refused.length === 3 || document.body.dataset.ran !== undefined);
                assert.equal(await tab.eval(() => document.body.dataset.ran ?? null), null, 'markup ran as code');
                assert.deepEqual((await tab.eval(() => window.refused)).sort(), ['script-src-attr', 'script-src-elem', 'script-src-elem']);
                // The program itself still runs under the same rules.
                await play_lines(tab, ['太郎', 'こんにちは']);
                assert.equal(await tab.eval(printed), printed_at_terminal(3, ['太郎', 'こんにちは']));
                await tab.close();
            });
    });
}


// Where the typing sits (runs in the page). The line starts on the prompt's line,
// right after ＞; each of its lines is inside the window; the lines after the first
// start at the left margin, where the output's lines start; nothing scrolls sideways.
function typing_layout() {
    const field = document.getElementById('line');
    const output = document.getElementById('output');
    const texts = document.createTreeWalker(output, NodeFilter.SHOW_TEXT);
    let last = null;
    while (texts.nextNode()) last = texts.currentNode;
    const prompt = document.createRange();
    prompt.setStart(last, last.length - 1);
    prompt.setEnd(last, last.length);
    const end_of_prompt = prompt.getBoundingClientRect();
    const typed = document.createRange();
    typed.selectNodeContents(field);
    // A form field is one box, however its text runs inside it.
    const rects = [...(field.matches('input') ? field.getClientRects() : typed.getClientRects())].filter((r) => r.width > 0);
    const lines = [];
    for (const r of rects) {
        const line = lines.find((l) => Math.abs(l.top - r.top) < r.height / 2);
        if (line) { line.left = Math.min(line.left, r.left); line.right = Math.max(line.right, r.right); }
        else lines.push({ top: r.top, left: r.left, right: r.right, height: r.height });
    }
    lines.sort((a, b) => a.top - b.top);
    const margin = document.getElementById('conversation').getBoundingClientRect().left;
    const first = lines[0] || { top: NaN, left: NaN };
    const field_box = field.getBoundingClientRect();
    return {
        prompt: [end_of_prompt.top, end_of_prompt.right],
        lines: lines.map((l) => [Math.round(l.top), Math.round(l.left), Math.round(l.right)]),
        first_line_at_prompt: Math.abs(first.top + first.height - end_of_prompt.bottom) < 4
            && Math.abs(first.left - end_of_prompt.right) < 3,
        inside_window: lines.length > 0 && lines.every((l) => l.left >= 0 && l.right <= innerWidth + 0.5)
            && field_box.right <= innerWidth + 0.5,
        wraps_to_margin: lines.length > 1 && lines.slice(1).every((l) => Math.abs(l.left - margin) < 2),
        no_sideways_scroll: document.documentElement.scrollWidth <= innerWidth
            && (!('scrollWidth' in field) || field.scrollWidth <= field.clientWidth + 1 || field.clientWidth === 0),
    };
}

// Runs in the page: where each piece of the screen stands, against where one flow of
// the same pieces, laid out beside it at the same width, puts it (`moved`: the pieces
// whose boxes differ). Pieces that the browser skips while out of sight have no boxes
// to compare (`skipped` counts them); those after them stand right only if they hold
// their place. Also the text of the pieces that share a flow with the line being
// typed (`in_flow`), and the text after the screen's last line break (`last_line`).
function against_one_flow() {
    const conversation = document.getElementById('conversation');
    const pieces = [...document.querySelectorAll('#output .said, #output .typed')];
    const flow = document.createElement('div');
    flow.style.cssText = 'position: absolute; top: 0; left: 0; visibility: hidden; white-space: pre-wrap; overflow-wrap: anywhere';
    flow.style.width = `${conversation.getBoundingClientRect().width}px`;
    const copies = pieces.map((piece) => {
        const copy = document.createElement('span');
        copy.className = piece.className;
        copy.textContent = piece.textContent;
        return copy;
    });
    flow.append(...copies);
    // The line being typed, empty, sits on the last line and may make it taller.
    if (!document.getElementById('line').hidden) {
        const typing = document.createElement('span');
        typing.className = 'typed';
        typing.style.paddingInlineEnd = getComputedStyle(document.getElementById('line')).paddingInlineEnd;
        flow.append(typing);
    }
    document.getElementById('screen').append(flow);
    const boxes = (element, origin) => [...element.getClientRects()].filter((r) => r.width >= 0.5)
        .map((r) => [r.left - origin.left, r.top - origin.top, r.width, r.height].map((v) => Math.round(v * 2) / 2).join(' '));
    const moved = [];
    let skipped = 0;
    const page_origin = conversation.getBoundingClientRect();
    const flow_origin = flow.getBoundingClientRect();
    pieces.forEach((piece, i) => {
        if (!piece.checkVisibility({ contentVisibilityAuto: true })) {
            skipped += 1;
            return;
        }
        const [here, there] = [boxes(piece, page_origin), boxes(copies[i], flow_origin)];
        if (here.join() !== there.join() && moved.length < 5) moved.push({ text: piece.textContent, here, there });
    });
    flow.remove();
    const flows_with_typing = (piece) => {
        let box = piece.parentElement;
        while (box !== conversation && getComputedStyle(box).display === 'inline') box = box.parentElement;
        return box === conversation;
    };
    const text = document.getElementById('output').textContent;
    return {
        moved,
        skipped,
        compared: pieces.length - skipped,
        in_flow: pieces.filter(flows_with_typing).map((piece) => piece.textContent).join(''),
        last_line: text.slice(text.lastIndexOf('\n') + 1),
    };
}

// ---- The script that serves the page ----------------------------------------------------

// Starts scripts/play-web with `args`; resolves to { addresses, stop } once it serves.
async function start_play_web(args) {
    const script = path.join(__dirname, '..', '..', 'scripts', 'play-web');
    const play = spawn('timeout', ['-k', '5', '300', script, ...args], { detached: true, stdio: ['ignore', 'ignore', 'pipe'] });
    const stop = () => { try { process.kill(-play.pid, 'SIGKILL'); } catch { /* gone */ } };
    try {
        const addresses = await new Promise((resolve, reject) => {
            let said = '';
            play.stderr.on('data', (data) => {
                said += data;
                if (/Ctrl-C/.test(said)) resolve([...said.matchAll(/(http:\/\/\S+\/)/g)].map((m) => m[1]));
            });
            play.on('exit', (status) => reject(new Error(`scripts/play-web ended (${status}): ${said}`)));
        });
        // The addresses are printed just before the server starts listening.
        const local = addresses.find((a) => a.includes('127.0.0.1')) || addresses[0];
        for (let tries = 0; !(await fetch(local).then((r) => r.ok, () => false)); ++tries) {
            assert.ok(tries < 100, `nothing served at ${local}`);
            await pause(100);
        }
        return { addresses, stop };
    } catch (error) {
        stop();
        throw error;
    }
}

const answers = (address) => fetch(address).then((r) => r.ok, () => false);

test('scripts/play-web serves the page on this machine at the address it prints', time_limit, async () => {
    const port = await free_port();
    const play = await start_play_web([String(port)]);
    try {
        assert.deepEqual(play.addresses, [`http://127.0.0.1:${port}/`]);
        assert.match(await (await fetch(play.addresses[0])).text(), /<h1>鬼瓦の雷鳴<\/h1>/);
        // Another address of the loopback network stands for any address but 127.0.0.1.
        assert.equal(await answers(`http://127.0.0.2:${port}/`), false, 'served beyond 127.0.0.1');
    } finally {
        play.stop();
    }
});

test('scripts/play-web --lan serves the page on all addresses, for a phone on the same network', time_limit, async () => {
    const port = await free_port();
    const play = await start_play_web(['--lan', String(port)]);
    try {
        assert.ok(play.addresses.includes(`http://127.0.0.1:${port}/`), play.addresses.join(' '));
        assert.equal(await answers(`http://127.0.0.2:${port}/`), true, 'not served beyond 127.0.0.1');
    } finally {
        play.stop();
    }
});
