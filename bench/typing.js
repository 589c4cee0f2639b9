// How long a key takes to show on the page as the conversation grows, in Chromium,
// Firefox ESR and WebKitGTK: at turn 1 (the first line after the name) and at later
// turns, reached by pasting lines that the game answers without ending (keywords
// and idle chatter, seed 1).
//
// At each turn 60 letters are typed one at a time, each once the last has been
// drawn. For each the page notes:
//   key    from its keydown to the end of the first frame drawn after its text went
//          in (a task queued from that frame's animation callback runs once the
//          frame's style, layout and paint are done): what the player waits for;
//   frame  that frame's own part of it, from its animation callback to its end
//          (the layout that typing forces before it is in `key` only);
// and, beside them, the time the driver took to deliver the key. Medians, the
// slowest key, and each median against turn 1's.
//
//   node bench/typing.js SITE [TURN...]      (turns 1, 3000 and 10000 by default)
//
// ONIGAWARA_ENGINES=chromium,firefox picks engines; bench/web runs this.
'use strict';
const { serve, engines, open_engine, paste, ready } = require('../tests/web/browser');

const site = process.argv[2];
const turns = process.argv.length > 3 ? process.argv.slice(3).map(Number) : [1, 3000, 10000];
const chosen = process.env.ONIGAWARA_ENGINES ? process.env.ONIGAWARA_ENGINES.split(',') : engines;
const keys = 'abcdefghijklmnopqrstuvwxyz'.repeat(3).slice(0, 60);
// Answered without ending the game at seed 1, over 10,000 turns and more.
const lines = ['こんにちは', 'そうか', '鷹狩じゃ', 'なるほど', '天下布武'];

function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

// ---- In the page -------------------------------------------------------------------------

// Notes, for each key, the time from its keydown to the end of the first frame
// drawn after the key's text went in (key_ms), and the time that frame took, from
// its animation callbacks to the end of its style, layout and paint (frame_ms).
function note_keys() {
    window.key_ms = [];
    window.frame_ms = [];
    let start = 0;
    document.addEventListener('keydown', (event) => {
        // A keydown's time stamp is on the page's clock, from when the key came in.
        start = Math.abs(event.timeStamp - performance.now()) < 60000 ? event.timeStamp : performance.now();
    }, true);
    document.addEventListener('input', () => {
        const key_start = start;
        requestAnimationFrame(() => {
            const frame_start = performance.now();
            const after_frame = new MessageChannel();
            after_frame.port1.onmessage = () => {
                const now = performance.now();
                window.key_ms.push(now - key_start);
                window.frame_ms.push(now - frame_start);
            };
            after_frame.port2.postMessage(null);
        });
    }, true);
}


// The lines echoed on the screen: each one sent to the program.
const lines_sent = () => [...document.querySelectorAll('#output .typed')].map((echo) => echo.textContent).join('').split('\n').length - 1;
const waits_after = (count) => document.body.hasAttribute('data-waiting')
    && [...document.querySelectorAll('#output .typed')].map((echo) => echo.textContent).join('').split('\n').length - 1 === count;

// ---- One engine ------------------------------------------------------------------------------

async function measure(engine, server) {
    const tab = await engine.open(`${server.url}?seed=1`, { width: 1280, height: 800 });
    await tab.wait_for(ready);
    await tab.type('太郎');
    await tab.press('Enter');
    await tab.wait_for(waits_after, 1);
    // The service worker, started when the browser is first idle, keeps it busy a while.
    await tab.eval(() => ('serviceWorker' in navigator ? navigator.serviceWorker.ready : null));
    await tab.eval(note_keys);
    const rows = [];
    for (const turn of turns) {
        const answered = await tab.eval(lines_sent) - 1;
        const more = Array.from({ length: turn - 1 - answered }, (_, i) => lines[(answered + i) % lines.length]);
        if (more.length > 0) {
            await paste(tab, more.map((line) => `${line}\n`).join(''));
            await tab.wait_for(waits_after, turn);
        }
        await tab.eval(() => {
            const field = document.getElementById('line');
            field.focus();
            getSelection().collapse(field, field.childNodes.length);
            window.key_ms.length = 0;
            window.frame_ms.length = 0;
        });
        const delivered = [];
        for (const [i, key] of [...keys].entries()) {
            const start = performance.now();
            await tab.type(key);
            delivered.push(performance.now() - start);
            await tab.wait_for((count) => window.key_ms.length >= count, i + 1);
        }
        const [shown, frames] = await tab.eval(() => [window.key_ms, window.frame_ms]);
        const typed = await tab.eval(() => document.getElementById('line').textContent);
        if (typed !== keys) throw new Error(`${engine.name}, turn ${turn}: the line holds ${JSON.stringify(typed)}`);
        await tab.eval(() => { document.getElementById('line').textContent = ''; });
        const screen_lines = await tab.eval(() => document.getElementById('output').textContent.split('\n').length);
        rows.push({ turn, shown, frames, delivered, screen_lines });
    }
    await tab.close();
    return rows;
}

// Firefox rounds the page's clock to whole milliseconds unless told not to.
const precise_clock = { firefox_prefs: { 'privacy.reduceTimerPrecision': false } };

async function main() {
    const server = await serve(site);
    try {
        console.log(`Typing as the conversation grows: ${keys.length} keys at each turn, medians in ms (slowest), and against turn 1`);
        console.log('  key: from its keydown to the end of the frame that shows it; frame: that frame\'s style, layout and paint;');
        console.log('  driver: the time the driver took to deliver it');
        for (const name of chosen) {
            const engine = await open_engine(name, precise_clock);
            try {
                const rows = await measure(engine, server);
                const [first_key, first_frame] = [median(rows[0].shown), median(rows[0].frames)];
                for (const row of rows) {
                    const [key, frame] = [median(row.shown), median(row.frames)];
                    console.log(`  ${name.padEnd(10)} turn ${String(row.turn).padStart(6)}, ${String(row.screen_lines).padStart(6)} lines:`
                        + ` key ${key.toFixed(1).padStart(6)} (${Math.max(...row.shown).toFixed(1).padStart(6)}) ${(key / first_key).toFixed(2)} x,`
                        + ` frame ${frame.toFixed(1).padStart(6)} (${Math.max(...row.frames).toFixed(1).padStart(6)}) ${(frame / first_frame).toFixed(2)} x,`
                        + ` driver ${median(row.delivered).toFixed(1).padStart(6)}`);
                }
            } finally {
                await engine.close();
            }
        }
    } finally {
        server.stop();
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
