// The three browser engines the page is played in, behind one small interface, and
// the site's static file server on localhost. Every browser and server runs under a time
// limit in a process group of its own, and is ended with its whole group.
//
//   Chromium    Debian's chromium, through puppeteer-core (the DevTools protocol)
//   Firefox     Debian's firefox-esr, through puppeteer-core (WebDriver BiDi)
//   WebKitGTK   Debian's MiniBrowser, driven by WebKitWebDriver under xvfb-run,
//               through selenium-webdriver (WebDriver)
//
// None of them is downloaded: puppeteer-core and selenium-webdriver are told where
// the browser is, or which driver to talk to.
'use strict';
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const time_limit_seconds = 900;
const engines = ['chromium', 'firefox', 'webkitgtk'];
const webkit_library = ['/usr/lib/x86_64-linux-gnu', '/usr/lib/aarch64-linux-gnu', '/usr/lib']
    .map((folder) => path.join(folder, 'webkit2gtk-4.1'))
    .find((folder) => fs.existsSync(path.join(folder, 'MiniBrowser')));

// What each engine can show. The narrowest window WebKitGTK's MiniBrowser opens is
// about 447 px wide. Only Chromium's DevTools protocol composes with an input
// method, emulates touch and reads the accessibility tree whole. WebKit's driver
// holds back clicks and keys until a page has been read to its end, and runs no
// script of the test's own before a page's.
const abilities = {
    chromium: { narrowest: 360, input_method: true, touch: true, accessibility_tree: true, keys_while_reading: true, script_before_page: true },
    firefox: { narrowest: 360, input_method: false, touch: false, accessibility_tree: false, keys_while_reading: true, script_before_page: true },
    webkitgtk: { narrowest: 447, input_method: false, touch: false, accessibility_tree: false, keys_while_reading: false, script_before_page: false },
};

function end_group(child) {
    try {
        process.kill(-child.pid, 'SIGKILL');
    } catch {
        // already gone
    }
}

// Starts `command` under the time limit in a process group of its own, ended when
// this process exits.
function start_limited(command, args, options = {}) {
    const child = spawn('timeout', ['-k', '5', String(time_limit_seconds), command, ...args],
        { detached: true, stdio: ['ignore', 'pipe', 'pipe'], ...options });
    process.on('exit', () => end_group(child));
    return child;
}

// Serves `folder` on 127.0.0.1, on a port the system picks, with the site's own
// server (platform/web/serve.py). Resolves to { url, hold(name, at), release(name),
// requests(), stop }: nothing is cached; while a file is held, requests for it wait,
// or with `at` get the file up to the first `at` in it and wait for the rest (the
// page itself is ''); requests() resolves to the paths asked for since it was last
// called, in order. With `like_a_host`, the browser may keep files and revalidate
// them, as from a static host, and the controls are off.
function serve(folder, { like_a_host = false } = {}) {
    const serve_py = path.join(__dirname, '..', '..', 'platform', 'web', 'serve.py');
    const server = start_limited('python3', ['-u', serve_py, folder, ...(like_a_host ? [] : ['--no-store', '--controls'])]);
    return new Promise((resolve, reject) => {
        let said = '';
        server.stdout.on('data', (data) => {
            said += data;
            const port = /port (\d+)/.exec(said);
            if (!port) return;
            const url = `http://127.0.0.1:${port[1]}/`;
            const ask = async (what) => { await fetch(url + what); };
            resolve({
                url,
                hold: (name, at) => ask(`.hold/${name}${at === undefined ? '' : `?at=${encodeURIComponent(at)}`}`),
                release: (name) => ask(`.release/${name}`),
                requests: async () => (await (await fetch(`${url}.requests`)).text()).split('\n').slice(0, -1),
                stop: () => end_group(server),
            });
        });
        server.stderr.on('data', (data) => { said += data; });
        server.on('exit', (status) => reject(new Error(`the file server ended (${status}): ${said}`)));
    });
}

// A port on 127.0.0.1 that nothing listens on just now.
function free_port() {
    return new Promise((resolve) => {
        const probe = net.createServer().listen(0, '127.0.0.1', () => {
            const { port } = probe.address();
            probe.close(() => resolve(port));
        });
    });
}

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Until `check()` resolves to something true, for at most 20 s. A page that is being
// replaced by another fails the check, which is then tried again.
// Resolves to the first answer of `check` that is not false, null or the like.
async function poll(check, what) {
    for (const start = Date.now(); ; await pause(50)) {
        const answer = await check().catch(() => false);
        if (answer) return answer;
        if (Date.now() - start > 20000) throw new Error(`waited 20 s for ${what}`);
    }
}

// In the page: until the program waits for a line with the caret in it (the page
// puts the caret there at the frame that first shows the prompt, as a player sees
// it), or the game is over.
const ready = () => (document.body.hasAttribute('data-waiting') && document.activeElement === document.getElementById('line'))
    || !document.getElementById('ended').hidden;

// In the page: the elements that would take typed text, fields and editable
// elements that are shown, by id (or tag).
const text_takers = () => [...document.querySelectorAll('input, textarea, select, [contenteditable]')]
    .filter((element) => (element.isContentEditable || element.matches('input, textarea, select'))
        && element.getClientRects().length > 0 && !element.disabled)
    .map((element) => element.id || element.tagName);

// What the clipboard holds (some text), pasted with the keyboard into a text area of
// the test's own, which is then removed.
async function clipboard_text(tab) {
    await tab.eval(() => {
        const area = document.createElement('textarea');
        area.id = 'pasted-here';
        document.body.append(area);
        area.focus();
    });
    await tab.press('Control+v');
    await tab.wait_for(() => document.getElementById('pasted-here').value !== '');
    const text = await tab.eval(() => document.getElementById('pasted-here').value);
    await tab.eval(() => document.getElementById('pasted-here').remove());
    return text;
}

// Until the page has handled every key sent to it before this call: a Shift pressed
// after them, and its keyup seen by the page. A page handles its keys in turn, each
// with all the work that it starts (the program's run to its next read too) before
// the next; so a check made after this sees what every earlier key did, however
// slow the machine.
async function keys_handled(tab) {
    await tab.eval(() => {
        window.shift_released = false;
        addEventListener('keyup', (event) => { if (event.key === 'Shift') window.shift_released = true; }, { capture: true });
    });
    await tab.press('Shift');
    await tab.wait_for(() => window.shift_released);
}

// ---- Chromium and Firefox, through puppeteer-core ---------------------------------------

// As root, and with no network beyond localhost: no sandbox, no GPU, nothing
// fetched in the background. puppeteer adds --headless and a new, empty profile.
const chromium_flags = [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// The wrappers beside this file run the browser under the time limit, so that it
// ends even if the tests cannot end it themselves.
async function launch_puppeteer(engine, options = {}) {
    const browser = await puppeteer.launch({
        browser: engine === 'firefox' ? 'firefox' : 'chrome',
        executablePath: path.join(__dirname, engine === 'firefox' ? 'limited-firefox' : 'limited-chromium'),
        env: { ...process.env, ONIGAWARA_SECONDS: String(time_limit_seconds) },
        headless: true,
        pipe: engine !== 'firefox',
        args: engine === 'firefox' ? [] : chromium_flags,
        ...options,
    });
    const child = browser.process();
    process.on('exit', () => end_group(child));
    return {
        browser,
        async close() {
            await browser.close().catch(() => {});
            end_group(child);
        },
    };
}

// Kept for the benchmark: Chromium alone, as { browser, close }.
const open_browser = () => launch_puppeteer('chromium');

class puppeteer_tab {
    constructor(page, engine) {
        this.page = page;
        this.engine = engine;
    }

    // Without `wait`, the page starts loading, and may still be loading when this returns.
    async goto(url, { wait = true } = {}) {
        if (wait) await this.page.goto(url);
        else await this.eval((address) => { setTimeout(() => location.assign(address)); }, url);
    }

    eval(fn, ...args) { return this.page.evaluate(fn, ...args); }
    wait_for(fn, ...args) { return poll(() => this.eval(fn, ...args), String(fn)); }

    type(text) { return this.page.keyboard.type(text); }
    // 'Enter', 'Tab', 'Shift+Tab', 'Control+v': the keys of a chord are held in turn.
    async press(chord) {
        const keys = chord.split('+').map((key) => (key === 'Space' ? ' ' : key));
        for (const key of keys) await this.page.keyboard.down(key);
        for (const key of keys.reverse()) await this.page.keyboard.up(key);
    }
    key_down(key) { return this.page.keyboard.down(key); }
    key_up(key) { return this.page.keyboard.up(key); }
    click(x, y) { return this.page.mouse.click(x, y); }
    async drag(from, to) {
        await this.page.mouse.move(from.x, from.y);
        await this.page.mouse.down();
        await this.page.mouse.move(to.x, to.y, { steps: 5 });
        await this.page.mouse.up();
    }
    tap(x, y) { return this.page.touchscreen.tap(x, y); }
    screenshot(file) { return this.page.screenshot({ path: file }); }
    close() { return this.page.close(); }
}

// ---- WebKitGTK, through WebKitWebDriver ----------------------------------------------

// One MiniBrowser window, under its own X server, driven over WebDriver. With
// `scripts: false` the page's scripts do not run (the driver's still do).
async function launch_webkit({ scripts = true } = {}) {
    const { Builder } = require('selenium-webdriver');
    for (let tries = 1; ; ++tries) {
        const port = await free_port();
        const driver_process = start_limited('xvfb-run',
            ['-a', '-s', '-screen 0 1600x1200x24', 'WebKitWebDriver', `--port=${port}`]);
        let said = '';
        driver_process.stderr.on('data', (data) => { said += data; });
        const url = `http://127.0.0.1:${port}`;
        let driver = null;
        try {
            for (let waited = 0; !(await fetch(`${url}/status`).then((r) => r.ok, () => false)); waited += 100) {
                if (waited > 15000 || driver_process.exitCode !== null) throw new Error(`WebKitWebDriver did not start: ${said}`);
                await pause(100);
            }
            const args = ['--automation', ...(scripts ? [] : ['--enable-javascript=false'])];
            driver = await new Builder().usingServer(url).withCapabilities({
                browserName: 'MiniBrowser',
                pageLoadStrategy: 'none',
                'webkitgtk:browserOptions': { binary: path.join(webkit_library, 'MiniBrowser'), args },
            }).build();
            return {
                driver,
                async close() {
                    await driver.quit().catch(() => {});
                    end_group(driver_process);
                },
            };
        } catch (error) {
            end_group(driver_process);
            if (tries === 3) throw error;  // another X server may have taken the display
        }
    }
}

class webkit_tab {
    constructor(webkit) {
        this.driver = webkit.driver;
        this.webkit = webkit;
        this.engine = 'webkitgtk';
        this.Key = require('selenium-webdriver').Key;
        this.Origin = require('selenium-webdriver').Origin;
    }

    // The window is made as large as asked for, or as near as the engine lets it be:
    // once the window has taken the first size asked for (for a moment after it is
    // asked, the window's frame may not yet hold the page's viewport), its frame is
    // added to the size.
    async resize({ width, height }) {
        const window = this.driver.manage().window();
        await window.setRect({ width, height });
        const { frame_width, frame_height } = await poll(async () => {
            const [inner_width, inner_height] = await this.eval(() => [innerWidth, innerHeight]);
            const rect = await window.getRect();
            const frame = { frame_width: rect.width - inner_width, frame_height: rect.height - inner_height };
            return inner_width > 0 && frame.frame_width >= 0 && frame.frame_height >= 0 && frame;
        }, 'the window to hold the page');
        await window.setRect({ width: width + frame_width, height: height + frame_height });
    }

    // The session does not wait for pages to load (its page load strategy is none): this does.
    async goto(url, { wait = true } = {}) {
        if (wait) {
            await this.driver.get(url);
            await this.wait_for((address) => location.href === address && document.readyState === 'complete', url);
        } else {
            // WebKit may report that the page went away before the script returned.
            await this.eval((address) => { setTimeout(() => location.assign(address)); }, url).catch(() => {});
        }
    }

    // Runs `fn` in the page with `args`; what it returns comes back as JSON.
    eval(fn, ...args) {
        return this.driver.executeScript(`return (${fn}).apply(null, arguments);`, ...args);
    }
    wait_for(fn, ...args) { return poll(() => this.eval(fn, ...args), String(fn)); }

    key(name) {
        const named = { Enter: this.Key.ENTER, Tab: this.Key.TAB, Shift: this.Key.SHIFT, Control: this.Key.CONTROL,
            Space: ' ', Backspace: this.Key.BACK_SPACE, Home: this.Key.HOME, End: this.Key.END };
        return named[name] ?? name;
    }
    type(text) { return this.driver.actions().sendKeys(text).perform(); }
    async press(chord) {
        const keys = chord.split('+').map((key) => this.key(key));
        let actions = this.driver.actions();
        for (const key of keys) actions = actions.keyDown(key);
        for (const key of keys.reverse()) actions = actions.keyUp(key);
        await actions.perform();
    }
    key_down(key) { return this.driver.actions().keyDown(this.key(key)).perform(); }
    key_up(key) { return this.driver.actions().keyUp(this.key(key)).perform(); }
    click(x, y) {
        return this.driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: this.Origin.VIEWPORT }).click().perform();
    }
    drag(from, to) {
        return this.driver.actions()
            .move({ x: Math.round(from.x), y: Math.round(from.y), origin: this.Origin.VIEWPORT }).press()
            .move({ x: Math.round(to.x), y: Math.round(to.y), origin: this.Origin.VIEWPORT, duration: 100 }).release()
            .perform();
    }
    async screenshot(file) {
        fs.writeFileSync(file, Buffer.from(await this.driver.takeScreenshot(), 'base64'));
    }
    async close() {
        await this.driver.get('about:blank');
    }
}

// ---- One engine -------------------------------------------------------------------------

// Opens `engine`; resolves to { name, can, open(url, viewport), open_without_scripts(url, viewport), close }.
// `open` makes a tab (in WebKitGTK, the one window) of `viewport` CSS pixels, at
// least `can.narrowest` wide; `phone: true` emulates a phone where the engine can.
// `chromium_args` are added to Chromium's command line, `firefox_prefs` to Firefox's
// preferences.
async function open_engine(name, { chromium_args = [], firefox_prefs = {} } = {}) {
    const can = abilities[name];
    // Browsers of their own for pages without scripts, ended with the engine at the
    // latest, should a test fail before it closes its tab.
    const extra = [];
    const close_extra = () => Promise.all(extra.map((browser) => browser.close()));
    if (name === 'webkitgtk') {
        const webkit = await launch_webkit();
        const tab = new webkit_tab(webkit);
        return {
            name,
            can,
            async open(url, viewport) {
                await tab.resize({ ...viewport, width: Math.max(viewport.width, can.narrowest) });
                await tab.goto(url);
                return tab;
            },
            async open_without_scripts(url, viewport) {
                const bare = await launch_webkit({ scripts: false });
                extra.push(bare);
                const bare_tab = new webkit_tab(bare);
                bare_tab.close = () => bare.close();
                await bare_tab.resize({ ...viewport, width: Math.max(viewport.width, can.narrowest) });
                await bare_tab.goto(url);
                return bare_tab;
            },
            close: () => Promise.all([webkit.close(), close_extra()]),
        };
    }
    const launched = await launch_puppeteer(name,
        name === 'firefox' ? { extraPrefsFirefox: firefox_prefs } : { args: [...chromium_flags, ...chromium_args] });
    async function open_page(browser, url, viewport) {
        const page = await browser.newPage();
        const { phone, ...size } = viewport;
        await page.setViewport(phone && can.touch ? { ...size, isMobile: true, hasTouch: true } : size);
        const tab = new puppeteer_tab(page, name);
        await tab.goto(url);
        return tab;
    }
    return {
        name,
        can,
        open: (url, viewport) => open_page(launched.browser, url, viewport),
        // Chromium turns scripts off for one tab; Firefox, over WebDriver BiDi, for a
        // whole browser of its own.
        async open_without_scripts(url, viewport) {
            if (name === 'chromium') {
                const page = await launched.browser.newPage();
                await page.setViewport(viewport);
                await page.setJavaScriptEnabled(false);
                const tab = new puppeteer_tab(page, name);
                await tab.goto(url);
                return tab;
            }
            const bare = await launch_puppeteer(name, { extraPrefsFirefox: { 'javascript.enabled': false } });
            extra.push(bare);
            const tab = await open_page(bare.browser, url, viewport);
            tab.close = () => bare.close();
            return tab;
        },
        close: () => Promise.all([launched.close(), close_extra()]),
    };
}

// Puts `text` on the clipboard from a text area of the caller's own, and pastes it
// into the line with the keyboard, as a player pastes.
async function paste(tab, text) {
    await tab.eval((clip) => {
        const area = document.createElement('textarea');
        area.id = 'clip';
        area.value = clip;
        document.body.append(area);
        area.focus();
        area.select();
    }, text);
    await tab.press('Control+c');
    await tab.eval(() => {
        const field = document.getElementById('line');
        document.getElementById('clip').remove();
        field.focus();
        getSelection().collapse(field, field.childNodes.length);
    });
    await tab.press('Control+v');
}

// Drags the mouse over characters 3 to 9 of the first of the lord's lines longer
// than `longer_than` characters, as a player selects some of his words.
async function select_lords_words(tab, longer_than) {
    const { from, to } = await tab.eval((length) => {
        const said = [...document.querySelectorAll('#output .said')].find((span) => span.textContent.length > length);
        const range = document.createRange();
        range.setStart(said.firstChild, 3);
        range.setEnd(said.firstChild, 9);
        const [box] = range.getClientRects();
        return { from: { x: box.left + 2, y: box.top + box.height / 2 }, to: { x: box.right - 2, y: box.top + box.height / 2 } };
    }, longer_than);
    await tab.drag(from, to);
}

// What `program`, built for this machine, prints at a UTF-8 terminal at `seed` for
// `typed`: lines of text, or the very bytes typed.
function printed_at_terminal(program, seed, typed) {
    const input = Buffer.isBuffer(typed) ? typed : Buffer.from(typed.map((line) => `${line}\n`).join(''));
    const run = spawnSync('timeout', ['-k', '5', '60', program, '--seed', String(seed), '--charset=utf-8'],
        { input, encoding: 'utf8' });
    if (run.status !== 0) throw new Error(`${program} --seed ${seed} ended with ${run.status}: ${run.stderr}`);
    return run.stdout;
}

// Stopped from outside, the tests still end the browsers and the server.
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, () => process.exit(1));

module.exports = {
    engines, abilities, serve, open_engine, open_browser, free_port, pause, poll, ready, text_takers, keys_handled, paste,
    clipboard_text,
    select_lords_words, printed_at_terminal,
};
