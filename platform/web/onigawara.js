// The page around the conversation: runs onigawara.wasm and lends it a console.
//
// The program is the same C++ as at the terminal, built for WebAssembly with its
// own port for the page (web_console.cpp). It reads the player's lines
// through the import page.read, which waits: when nothing has been typed yet, the
// program's stack is saved (binaryen's asyncify pass, applied at build time, does
// the saving and rewinding) and control comes back here; once a line is typed, the
// stack is rewound into the same read, which returns it. Text crosses as UTF-8 both
// ways; the program converts it to and from code page 932 with its own tables.
'use strict';

(function () {

// ---- Typed lines, waiting to be read ---------------------------------------------

// Bytes typed and not yet read, in order. A read takes what it can hold and leaves
// the rest, so a key wait that takes one byte leaves the rest of its line.
const typed = {
    chunks: [],
    offset: 0,     // into chunks[0]
    wake: null,    // resolves the wait of a program that found nothing to read

    push(bytes) {
        this.chunks.push(bytes);
        if (this.wake) { const wake = this.wake; this.wake = null; wake(); }
    },
    empty() { return this.chunks.length === 0; },
    take_into(target) {
        let taken = 0;
        while (taken < target.length && this.chunks.length > 0) {
            const chunk = this.chunks[0];
            const count = Math.min(target.length - taken, chunk.length - this.offset);
            target.set(chunk.subarray(this.offset, this.offset + count), taken);
            taken += count;
            this.offset += count;
            if (this.offset === chunk.length) { this.chunks.shift(); this.offset = 0; }
        }
        return taken;
    },
    arrival() { return new Promise((resolve) => { this.wake = resolve; }); },
};

// ---- The program -------------------------------------------------------------------

class program_exit {
    constructor(status) { this.status = status; }
}

const asyncify_unwinding = 1;
const wasi_errno_badf = 8;
const wasi_filetype_character_device = 2;

// Runs the program to its end with `args` as its command line; resolves to its
// exit status. `output(fd, bytes)` receives what it writes: fd 0 for the console
// port, 1 and 2 for the C library's standard output and error. `on_wait()` is
// called each time it waits for a typed line.
async function run_program(wasm_bytes, args, output, on_wait) {
    let exports = null;
    let rewinding = false;
    let wait_area = 0;  // where the waiting program's stack is saved
    const memory = () => new DataView(exports.memory.buffer);
    const bytes_at = (pointer, size) => new Uint8Array(exports.memory.buffer, pointer, size);
    const arg_bytes = args.map((arg) => new TextEncoder().encode(arg + '\0'));

    const page = {
        // Up to `size` bytes of typed input; blocks until there is at least one.
        read(pointer, size) {
            if (rewinding) {
                exports.asyncify_stop_rewind();
                rewinding = false;
            } else if (typed.empty()) {
                wait_area = exports.page_wait_area();
                exports.asyncify_start_unwind(wait_area);
                return 0;  // not seen by the program: its stack is being saved
            }
            return typed.take_into(bytes_at(pointer, size));
        },
        write(pointer, size) { output(0, bytes_at(pointer, size).slice()); },
    };
    // The few calls of the WebAssembly system interface that the C library makes:
    // the command line, the clock, and standard output and error for stdio.
    const wasi = {
        args_sizes_get(count_pointer, size_pointer) {
            memory().setUint32(count_pointer, arg_bytes.length, true);
            memory().setUint32(size_pointer, arg_bytes.reduce((sum, b) => sum + b.length, 0), true);
            return 0;
        },
        args_get(argv_pointer, buffer_pointer) {
            for (const [i, arg] of arg_bytes.entries()) {
                memory().setUint32(argv_pointer + 4 * i, buffer_pointer, true);
                bytes_at(buffer_pointer, arg.length).set(arg);
                buffer_pointer += arg.length;
            }
            return 0;
        },
        clock_time_get(id, precision, time_pointer) {
            memory().setBigUint64(time_pointer, BigInt(Date.now()) * 1000000n, true);
            return 0;
        },
        fd_write(fd, iovs, iovs_count, written_pointer) {
            if (fd !== 1 && fd !== 2) return wasi_errno_badf;
            let written = 0;
            for (let i = 0; i < iovs_count; ++i) {
                const base = memory().getUint32(iovs + 8 * i, true);
                const size = memory().getUint32(iovs + 8 * i + 4, true);
                output(fd, bytes_at(base, size).slice());
                written += size;
            }
            memory().setUint32(written_pointer, written, true);
            return 0;
        },
        // Standard output and error are a terminal to the C library: the screen.
        fd_fdstat_get(fd, stat_pointer) {
            if (fd !== 1 && fd !== 2) return wasi_errno_badf;
            bytes_at(stat_pointer, 24).fill(0);
            memory().setUint8(stat_pointer, wasi_filetype_character_device);
            return 0;
        },
        fd_close() { return 0; },
        fd_seek() { return wasi_errno_badf; },
        proc_exit(status) { throw new program_exit(status); },
    };

    ({ instance: { exports } } = await WebAssembly.instantiate(wasm_bytes, { page, wasi_snapshot_preview1: wasi }));
    try {
        for (;;) {
            exports._start();
            if (exports.asyncify_get_state() !== asyncify_unwinding) return 0;
            exports.asyncify_stop_unwind();
            on_wait();
            await typed.arrival();
            exports.asyncify_start_rewind(wait_area);
            rewinding = true;
        }
    } catch (e) {
        if (e instanceof program_exit) return e.status;
        throw e;
    }
}

// ---- The screen ----------------------------------------------------------------------

const output_area = document.getElementById('output');
const form = document.getElementById('typing');
const field = document.getElementById('line');
const ended = document.getElementById('ended');
const again = document.getElementById('again');
const decoders = [new TextDecoder(), new TextDecoder(), new TextDecoder()];
const encoder = new TextEncoder();

// Adds text to the screen: 'said' for the program's output, 'said error' for its
// standard error, 'typed' for the echo of the player's lines.
function show(text, kind) {
    if (text === '') return;
    const span = document.createElement('span');
    span.className = kind;
    span.textContent = text;
    output_area.append(span);
    (ended.hidden ? field : ended).scrollIntoView({ block: 'nearest' });
}

function show_program_output(fd, bytes) {
    show(decoders[fd].decode(bytes, { stream: true }), fd === 2 ? 'said error' : 'said');
}

// The program waits for the player (the marker is for the tests and the benchmark).
function program_waits(waiting) {
    if (waiting) document.body.dataset.waiting = '';
    else delete document.body.dataset.waiting;
}

// Enter sends the line, as at a terminal, which echoes it after the prompt. The
// Enter that commits an input method's composition only commits: browsers mark its
// keydown as composing, or give it the key code 229.
let enter_commits = false;
field.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') enter_commits = event.isComposing || event.keyCode === 229;
});
field.addEventListener('input', () => { enter_commits = false; });
form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (enter_commits) {
        enter_commits = false;
        return;
    }
    const text = field.value;
    field.value = '';
    show(text + '\n', 'typed');
    program_waits(false);
    typed.push(encoder.encode(text + '\n'));
});

// A click on the screen goes to the input line, unless it selects text.
document.getElementById('screen').addEventListener('click', () => {
    if (!ended.hidden || String(window.getSelection()) !== '') return;
    field.focus({ preventScroll: true });
});

// ?seed=N replays a game, as --seed N does at the terminal; without it the
// program seeds itself from the clock.
function program_args() {
    const seed = new URLSearchParams(location.search).get('seed');
    return seed === null ? ['onigawara'] : ['onigawara', '--seed', seed];
}

function game_over() {
    program_waits(false);
    form.hidden = true;
    ended.hidden = false;
    again.focus();
    ended.scrollIntoView({ block: 'nearest' });
}

// A new game is a new page without a seed: the clock seeds it.
again.addEventListener('click', () => location.assign(location.pathname));

async function play() {
    field.focus();
    const response = await fetch('onigawara.wasm');
    if (!response.ok) throw new Error(`onigawara.wasm: ${response.status} ${response.statusText}`);
    await run_program(await response.arrayBuffer(), program_args(), show_program_output, () => program_waits(true));
    game_over();
}

play().catch((error) => {
    show(`${error}\n`, 'said error');
    game_over();
    throw error;
});

}());
