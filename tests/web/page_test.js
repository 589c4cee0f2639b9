// The web page played in headless Chromium, as a player plays it: served on
// localhost, a line typed at each prompt, the screen read back.
//
//   ONIGAWARA_SITE        the built site (build/web/site)
//   ONIGAWARA_PROGRAM     the program built for this machine: what it prints at a
//                         UTF-8 terminal is what the page must show
//   ONIGAWARA_SCREENSHOT  where to save a picture of a game in progress (optional)
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { serve, open_browser } = require('./browser');

const site = process.env.ONIGAWARA_SITE;
const program = process.env.ONIGAWARA_PROGRAM;
const transcripts = path.join(__dirname, '..', 'transcripts');
const time_limit = { timeout: 120000 };  // for each test, in ms

let server;
let chromium;
before(async () => {
    assert.ok(site && program, 'ONIGAWARA_SITE and ONIGAWARA_PROGRAM name the site and the program');
    server = await serve(site);
    chromium = await open_browser();
});
after(async () => {
    if (chromium) await chromium.close();
    if (server) server.stop();
});

// ---- Playing --------------------------------------------------------------------------

// A new tab at the page with `query`, collecting every console error, page error
// and failed request.
async function open_game(query, viewport = { width: 800, height: 600 }) {
    const page = await chromium.browser.newPage();
    await page.setViewport(viewport);
    const errors = [];
    page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
    page.on('pageerror', (error) => errors.push(String(error)));
    page.on('requestfailed', (request) => errors.push(`${request.url()}: ${request.failure().errorText}`));
    await page.goto(server.url + query);
    await until_ready(page);
    return { page, errors };
}

// Until the program waits for a line, or the game is over.
async function until_ready(page) {
    await page.waitForSelector('body[data-waiting], #ended:not([hidden])', { timeout: 20000 });
}

const game_over = (page) => page.$eval('#ended', (ended) => !ended.hidden);
const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.id);
// Everything on the screen: what the program printed and the echo of what was typed.
const screen_text = (page) => page.$eval('#output', (output) => output.textContent);
// What the program printed, without the echo.
const printed_text = (page) => page.$$eval('#output .said', (spans) => spans.map((s) => s.textContent).join(''));

// Types `line` and Enter at the prompt. The line shows after the prompt at once, as
// a terminal echoes it, and the input line keeps the focus while the game goes on.
async function type_line(page, line) {
    const before_typing = await screen_text(page);
    await page.keyboard.type(line);
    await page.keyboard.press('Enter');
    await until_ready(page);
    assert.ok((await screen_text(page)).startsWith(`${before_typing}${line}\n`), `the echo of ${line}`);
    if (!(await game_over(page))) assert.equal(await focused(page), 'line', `the focus after ${line}`);
}

async function play_lines(page, lines) {
    for (const line of lines) {
        assert.equal(await game_over(page), false, `the game ended before ${line}`);
        await type_line(page, line);
    }
}

// What the program built for this machine prints for `lines` at a UTF-8 terminal.
function printed_at_terminal(seed, lines) {
    const run = spawnSync('timeout', ['-k', '5', '60', program, '--seed', String(seed), '--charset=utf-8'],
        { input: lines.map((line) => `${line}\n`).join(''), encoding: 'utf8' });
    assert.equal(run.status, 0, run.stderr);
    return run.stdout;
}

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

// ---- The games ------------------------------------------------------------------------

// Each recorded conversation, typed line by line with its seed, prints on the page
// exactly what it prints to a pipe: the key waits take the first byte of a typed line
// and leave the rest, the endings end, and a conversation still going waits at its prompt.
for (const name of fs.readdirSync(transcripts).filter((file) => file.endsWith('.txt')).sort()) {
    test(`transcript ${name}`, time_limit, async () => {
        const t = read_transcript(path.join(transcripts, name));
        const { page, errors } = await open_game(`?seed=${t.seed}`);
        for (const line of t.lines) {
            if (await game_over(page)) break;  // the rest would have gone unread
            await type_line(page, line);
        }
        assert.equal(await printed_text(page), t.output);
        assert.deepEqual(errors, []);
        await page.close();
    });
}

test('a name from an input method, the spell and a farewell, as at a UTF-8 terminal', time_limit, async () => {
    const seed = 21;
    const { page, errors } = await open_game(`?seed=${seed}`);
    // Enter while the input method composes only commits the composition.
    const input_method = await page.createCDPSession();
    await input_method.send('Input.imeSetComposition', { text: 'おはる', selectionStart: 3, selectionEnd: 3 });
    await page.keyboard.press('Enter');
    await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 100)));
    assert.equal(await page.$eval('#line', (field) => field.value), 'おはる');
    assert.ok(await page.$('body[data-waiting]'), 'still waiting for the name');
    // The input method gives U+301C for the wave dash; code page 932 has it as 0x8160.
    await input_method.send('Input.insertText', { text: 'お春〜' });
    await page.keyboard.press('Enter');
    await until_ready(page);
    const lines = ['お春〜', 'こんにちは', 'パルプンテ', '', 'そうか'];
    await play_lines(page, lines.slice(1));
    if (process.env.ONIGAWARA_SCREENSHOT) await page.screenshot({ path: process.env.ONIGAWARA_SCREENSHOT });
    await play_lines(page, ['さようなら', '']);
    lines.push('さようなら', '');

    const printed = await printed_text(page);
    assert.equal(printed, printed_at_terminal(seed, lines));
    assert.match(printed, /\n　　　　　お春～はパルプンテを唱えた\n/);
    assert.ok(printed.endsWith('－　完　－　'));
    assert.equal(await game_over(page), true);
    assert.equal(await focused(page), 'again');
    assert.deepEqual(errors, []);
    await page.close();
});

test('a temple word ends the game on a phone; play again starts a game seeded by the clock', time_limit, async () => {
    const phone = { width: 360, height: 640, isMobile: true, hasTouch: true };
    const { page, errors } = await open_game('?seed=5', phone);
    await play_lines(page, ['お市', '本能寺', '']);
    assert.equal(await printed_text(page), printed_at_terminal(5, ['お市', '本能寺', '']));
    assert.equal(await game_over(page), true);
    // The end banner is the widest line: it wraps rather than scroll sideways.
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));

    const from = Math.floor(Date.now() / 1000);
    await Promise.all([page.waitForNavigation(), page.click('#again')]);
    await until_ready(page);
    assert.equal(new URL(page.url()).searchParams.get('seed'), null);
    assert.equal(await screen_text(page), printed_at_terminal(0, []));
    assert.equal(await focused(page), 'line');
    await play_lines(page, ['太郎', 'そうか', 'なるほど']);
    const to = Math.floor(Date.now() / 1000);
    const printed = await printed_text(page);
    const seeds = [];
    for (let second = from; second <= to; ++second) {
        if (printed_at_terminal(second, ['太郎', 'そうか', 'なるほど']) === printed) seeds.push(second);
    }
    assert.notDeepEqual(seeds, [], `seeded by none of the seconds ${from} to ${to}`);
    assert.deepEqual(errors, []);
    await page.close();
});

test('a seed the program does not take shows its complaint, and the game is over', time_limit, async () => {
    const { page, errors } = await open_game('?seed=abc');
    const shown = await page.$$eval('#output .error', (spans) => spans.map((s) => s.textContent).join(''));
    assert.match(shown, /^onigawara: .*abc.*\nTry 'onigawara --help' for more information\.\n$/);
    assert.equal(await game_over(page), true);
    assert.deepEqual(errors, []);
    await page.close();
});

test('scripts/play-web serves the page at the address it prints', time_limit, async () => {
    const port = await new Promise((resolve) => {
        const probe = net.createServer().listen(0, '127.0.0.1', () => {
            const { port: free } = probe.address();
            probe.close(() => resolve(free));
        });
    });
    const script = path.join(__dirname, '..', '..', 'scripts', 'play-web');
    const play = spawn('timeout', ['-k', '5', '300', script, String(port)],
        { detached: true, stdio: ['ignore', 'ignore', 'pipe'] });
    try {
        const address = await new Promise((resolve, reject) => {
            let said = '';
            play.stderr.on('data', (data) => {
                said += data;
                const found = /play at (http:\/\/\S+)/.exec(said);
                if (found) resolve(found[1]);
            });
            play.on('exit', (status) => reject(new Error(`scripts/play-web ended (${status}): ${said}`)));
        });
        assert.equal(address, `http://127.0.0.1:${port}/`);
        // The address is printed just before the server starts listening.
        for (let tries = 0; !(await fetch(address).then((r) => r.ok, () => false)); ++tries) {
            assert.ok(tries < 100, `nothing served at ${address}`);
            await new Promise((resolve) => setTimeout(resolve, 100));
        }
        const page = await chromium.browser.newPage();
        await page.goto(address);
        await until_ready(page);
        assert.equal(await screen_text(page), printed_at_terminal(0, []));
        await page.close();
    } finally {
        process.kill(-play.pid, 'SIGKILL');
    }
});
