// Headless Chromium and a static file server on localhost, for playing the page.
// Each runs under a time limit in a process group of its own, and is ended with
// its whole group.
'use strict';
const { spawn } = require('node:child_process');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const time_limit_seconds = 600;

// As root, and with no network beyond localhost: no sandbox, no GPU, nothing
// fetched in the background. puppeteer adds --headless and a new, empty profile.
const chromium_flags = [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

function end_group(child) {
    try {
        process.kill(-child.pid, 'SIGKILL');
    } catch {
        // already gone
    }
}

// Serves `folder` on 127.0.0.1, on a port the system picks; resolves to { url, stop }.
function serve(folder) {
    const server = spawn('timeout', ['-k', '5', String(time_limit_seconds), 'python3', '-u', '-m', 'http.server', '0',
        '--bind', '127.0.0.1', '--directory', folder], { detached: true, stdio: ['ignore', 'pipe', 'ignore'] });
    process.on('exit', () => end_group(server));
    return new Promise((resolve, reject) => {
        let said = '';
        server.stdout.on('data', (data) => {
            said += data;
            const port = /port (\d+)/.exec(said);
            if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, stop: () => end_group(server) });
        });
        server.on('exit', (status) => reject(new Error(`the file server ended (${status}): ${said}`)));
    });
}

// Debian's Chromium, through limited-chromium beside this file.
async function open_browser() {
    const browser = await puppeteer.launch({
        executablePath: path.join(__dirname, 'limited-chromium'),
        env: { ...process.env, ONIGAWARA_SECONDS: String(time_limit_seconds) },
        headless: true,
        pipe: true,
        args: chromium_flags,
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

// Stopped from outside, the tests still end the browser and the server.
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, () => process.exit(1));

module.exports = { serve, open_browser };
