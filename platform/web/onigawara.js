// The page around the conversation: runs the program and lends it a console.
//
// The program is the same C++ as at the terminal, built for WebAssembly with its
// own port for the page (web_console.cpp). It reads the player's lines
// through the import page.read, which waits: when nothing has been typed yet, the
// program's stack is saved (binaryen's asyncify pass, applied at build time, does
// the saving and rewinding) and control comes back here; once a line is typed, the
// stack is rewound into the same read, which returns it. Text crosses as code page
// 932 both ways: the page shows it with the browser's own Shift_JIS decoder, and
// converts what is typed with a map built once from that decoder.
//
// The build puts this script inside index.html (make-page.cmake), at its end, after
// the program's bytes: one response brings all the page needs, and the program runs
// to its first prompt while the page is read, before the browser first draws it.
'use strict';

(function () {

// ---- Code page 932 ------------------------------------------------------------------

const code_page = (function () {
    const decoder = new TextDecoder('shift_jis');
    const is_lead_byte = (b) => (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
    const undefined_byte = 0x80;

    // Characters that input methods give under their JIS forms, read as the code
    // page's own (〜 as the 0x8160 of ～): [code point, code] pairs that the build
    // writes here from the program's own table (console/cp932.h).
    const input_extras = new Map([/* cp932_input_extras */]);

    // What the program prints, as text: whole characters, as the program's own
    // tables show them. The browser's decoder differs from them only where the
    // program never prints: it reads 0x80 as U+0080, where the code page defines
    // nothing, and a lead byte before 0xFD-0xFF as one undefined character, where
    // each of the two is one. The program also sends a lead byte cut off at the end
    // of a piece of a print as 0x80.
    function shown(bytes) {
        let fixed = null;
        for (let i = 0; i < bytes.length; ++i) {
            if (!is_lead_byte(bytes[i])) continue;
            if (i + 1 < bytes.length && bytes[i + 1] >= 0xfd) (fixed ??= bytes.slice())[i] = undefined_byte;
            else ++i;
        }
        return decoder.decode(fixed ?? bytes).replaceAll('\u0080', '\ufffd');
    }

    // Code point -> code, from the decoder: the half-width katakana, then every
    // pair. Where pairs share a character, the first holds, and the NEC-selected
    // IBM extensions (leads 0xED and 0xEE) come after the IBM extensions
    // themselves, as when the code page encodes.
    function build_map() {
        const leads = [];
        for (let b = 0x81; b <= 0xfc; ++b) if (is_lead_byte(b) && b !== 0xed && b !== 0xee) leads.push(b);
        leads.push(0xed, 0xee);
        const trails = [];
        for (let b = 0x40; b <= 0xfc; ++b) if (b !== 0x7f) trails.push(b);
        const pairs = new Uint8Array(leads.length * trails.length * 2);
        let at = 0;
        for (const lead of leads) for (const trail of trails) { pairs[at++] = lead; pairs[at++] = trail; }
        const text = decoder.decode(pairs);
        const map = new Map();
        for (let b = 0xa1; b <= 0xdf; ++b) map.set(0xff61 + b - 0xa1, b);
        let i = 0;
        for (const lead of leads) {
            for (const trail of trails) {
                const code_point = text.charCodeAt(i++);
                if (code_point === 0xfffd) {
                    if (trail < 0x80) ++i;  // the decoder gave back the second byte
                } else if (!map.has(code_point)) {
                    map.set(code_point, (lead << 8) | trail);
                }
            }
        }
        for (const [code_point, code] of input_extras) if (!map.has(code_point)) map.set(code_point, code);
        return map;
    }
    let by_code_point = null;

    // What the player types, as the program reads it: each character it cannot
    // hold (an emoji, é, a lone surrogate) becomes one '?'.
    function typed(text) {
        by_code_point ??= build_map();
        const bytes = new Uint8Array(text.length * 2);
        let size = 0;
        for (const character of text) {
            const code_point = character.codePointAt(0);
            const code = code_point < 0x80 ? code_point : by_code_point.get(code_point) ?? 0x3f;
            if (code > 0xff) bytes[size++] = code >> 8;
            bytes[size++] = code & 0xff;
        }
        return bytes.subarray(0, size);
    }

    // UTF-8 bytes as text, by the rule the program follows at a UTF-8 terminal, so
    // that bytes from a link reach it as the same bytes typed there would: each
    // malformed piece becomes one U+FFFD, which `typed` makes one '?'. A piece is a
    // byte that begins no character (80-C1, F5-FF), or a lead byte (C2-F4) with the
    // continuation bytes after it, up to the length it announces, when they are too
    // few or make an overlong form, a surrogate or a code point beyond U+10FFFF:
    //     E3 81 41 -> U+FFFD A     ED A0 80 -> U+FFFD     C0 80 -> U+FFFD U+FFFD
    function text_of_utf8(bytes) {
        let text = '';
        for (let i = 0; i < bytes.length;) {
            const first = bytes[i];
            const length = first < 0x80 ? 1 : first < 0xc2 ? 0 : first < 0xe0 ? 2 : first < 0xf0 ? 3 : first < 0xf5 ? 4 : 0;
            let code_point = length === 1 ? first : first & (0x7f >> length);
            let got = 1;
            for (; got < length && (bytes[i + got] & 0xc0) === 0x80; ++got) code_point = (code_point << 6) | (bytes[i + got] & 0x3f);
            const whole = got === length && code_point >= [0, 0, 0, 0x800, 0x10000][length]
                && (code_point < 0xd800 || code_point > 0xdfff) && code_point <= 0x10ffff;
            text += whole ? String.fromCodePoint(code_point) : '\ufffd';
            i += got;
        }
        return text;
    }

    return { shown, typed, text_of_utf8 };
}());
// For the tests, which hold it to the program's own tables.
window.onigawara_code_page = code_page;

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
    // Resolves once something is there to read: at once if it already is.
    arrival() { return this.empty() ? new Promise((resolve) => { this.wake = resolve; }) : Promise.resolve(); },
};

// ---- The program -------------------------------------------------------------------

class program_exit {
    constructor(status) { this.status = status; }
}
// The browser would not compile or start the program: `cause` says why.
class program_refused {
    constructor(cause) { this.cause = cause; }
}

const asyncify_unwinding = 1;
const wasi_errno_badf = 8;
const wasi_filetype_character_device = 2;

// The program's bytes, which the build writes into the page in hex. The text is
// dropped once read: the page has no further use for it. Browsers since 2025 read
// hex themselves, some twenty times faster than the loop below.
function program_bytes() {
    const holder = document.getElementById('program');
    const hex = holder.textContent;
    holder.remove();
    if (Uint8Array.fromHex) return Uint8Array.fromHex(hex);
    const nibble = (c) => (c <= 0x39 ? c - 0x30 : c - 0x57);  // 0-9, a-f
    const bytes = new Uint8Array(hex.length >> 1);
    for (let i = 0; i < bytes.length; ++i) bytes[i] = (nibble(hex.charCodeAt(2 * i)) << 4) | nibble(hex.charCodeAt(2 * i + 1));
    return bytes;
}

// Compiles and starts the program at once, where the browser allows it. A browser
// may refuse to compile a program of this size on the page's own thread (it throws
// a RangeError); then the program is compiled in the background.
async function instantiate(bytes, imports) {
    try {
        return new WebAssembly.Instance(new WebAssembly.Module(bytes), imports);
    } catch (error) {
        if (!(error instanceof RangeError)) throw error;
        return (await WebAssembly.instantiate(bytes, imports)).instance;
    }
}

// Runs the program (its bytes) to its end with `args` as its command line; resolves
// to its exit status. `output(fd, bytes)` receives what it writes: fd 0 for the
// console port, 1 and 2 for the C library's standard output and error.
// `on_wait(for_key)` is called each time it waits for a typed line, or with true
// for the key of a key wait. Where the browser compiles it at once, the program
// runs to its first wait before the page's script has ended. Rejects with a
// program_refused if the browser will not compile or start it.
async function run_program(wasm, args, output, on_wait) {
    let exports = null;
    let rewinding = false;
    let wait_area = 0;  // where the waiting program's stack is saved
    let waits_for_key = false;
    const memory = () => new DataView(exports.memory.buffer);
    const bytes_at = (pointer, size) => new Uint8Array(exports.memory.buffer, pointer, size);
    const arg_bytes = args.map((arg) => new TextEncoder().encode(arg + '\0'));

    const page = {
        // Up to `size` bytes of typed input; blocks until there is at least one.
        read(pointer, size, for_key) {
            if (rewinding) {
                exports.asyncify_stop_rewind();
                rewinding = false;
            } else if (typed.empty()) {
                wait_area = exports.page_wait_area();
                waits_for_key = for_key !== 0;
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

    try {
        ({ exports } = await instantiate(wasm, { page, wasi_snapshot_preview1: wasi }));
    } catch (error) {
        throw new program_refused(error);
    }
    try {
        for (;;) {
            exports._start();
            if (exports.asyncify_get_state() !== asyncify_unwinding) return 0;
            exports.asyncify_stop_unwind();
            on_wait(waits_for_key);
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
const field = document.getElementById('line');
const loading = document.getElementById('loading');
const ended = document.getElementById('ended');
const end_message = document.getElementById('end-message');
const again = document.getElementById('again');
const share = document.getElementById('share');
const replay_link = document.getElementById('replay');
const copied = document.getElementById('copied');
const key_sign = document.getElementById('key-sign');
const decoders = [null, new TextDecoder(), new TextDecoder()];  // standard output and error: UTF-8
const encoder = new TextEncoder();

// Adds text to the screen: 'said' for the program's output, 'said error' for its
// complaints and the page's own, 'typed' for the echo of the player's lines.
// A key makes the browser lay out again all the text in the typing's flow, so only
// the last line shares it: a line break closes the open group into a block ending
// at that break, where one flow would put its lines. Nothing moves once added.
//   show('よう来た\n太郎＞', 'said') → <span class="past">よう来た\n</span><span>太郎＞</span>
function show(text, kind) {
    if (text === '') return;
    const ended = text.lastIndexOf('\n') + 1;
    if (ended > 0) {
        add_to_open_group(text.slice(0, ended), kind);
        open_group.className = 'past';
        open_group = null;
    }
    if (ended < text.length) add_to_open_group(text.slice(ended), kind);
    keep_in_view();
}

// A hundred closed groups make a chapter, closed in turn; once drawn, a closed
// chapter keeps its height and is skipped while out of sight (content-visibility).
const groups_in_a_chapter = 100;
let open_group = null;
let open_chapter = null;
let groups_in_open_chapter = 0;

function add_to_open_group(text, kind) {
    if (!open_group) {
        if (!open_chapter || groups_in_open_chapter === groups_in_a_chapter) {
            if (open_chapter) close_chapter(open_chapter);
            open_chapter = output_area.appendChild(document.createElement('span'));
            groups_in_open_chapter = 0;
        }
        open_group = open_chapter.appendChild(document.createElement('span'));
        groups_in_open_chapter += 1;
    }
    const span = document.createElement('span');
    span.className = kind;
    span.textContent = text;
    open_group.append(span);
}

// A chapter's height once laid out: the place it holds while skipped (only where
// the browser can be told it).
const chapters_laid_out = window.CSS && CSS.supports('contain-intrinsic-block-size', 'auto 1px')
    && new ResizeObserver((entries) => {
        for (const { target, contentRect } of entries) {
            chapters_laid_out.unobserve(target);
            target.style.containIntrinsicBlockSize = `auto ${contentRect.height}px`;
            target.classList.add('kept');
        }
    });

function close_chapter(chapter) {
    chapter.className = 'past';
    if (chapters_laid_out) chapters_laid_out.observe(chapter);
}

// The window follows the newest text: the line being typed, or the end. Once per
// frame, just before it is drawn, so that a burst of output costs one layout, not one
// for each piece; the player sees no frame in between.
let view_kept = false;
function keep_in_view() {
    if (view_kept) return;
    view_kept = true;
    requestAnimationFrame(() => {
        view_kept = false;
        (ended.hidden ? field : ended).scrollIntoView({ block: 'nearest' });
    });
}

// Standard error is held until the program ends: the one thing it says is that the
// command line is wrong, and then the page says why in its own words.
let complaint = '';
function show_program_output(fd, bytes) {
    const text = fd === 0 ? code_page.shown(bytes) : decoders[fd].decode(bytes, { stream: true });
    if (fd === 2) complaint += text;
    else show(text, 'said');
}

// After one visit the page plays with the network gone (sw.js). A browser lets a
// page have a worker only from HTTPS or this machine: reached by plain HTTP from
// another machine, the page plays, but online only.
let worker_registered = false;
function register_worker() {
    if (worker_registered || !('serviceWorker' in navigator) || !window.isSecureContext) return;
    worker_registered = true;
    navigator.serviceWorker.register('sw.js').catch(() => {});
}

// Starting the worker and caching the site's files keeps the browser busy for a
// while: registered as soon as the program waited, it put off the first frame, the
// one that shows the prompt, by some 12 ms. So the worker waits until the browser
// is idle (where it cannot say when that is, a second).
function register_worker_when_idle() {
    if (window.requestIdleCallback) requestIdleCallback(register_worker, { timeout: 2000 });
    else setTimeout(register_worker, 1000);
}

// Before the first prompt the browser fetches nothing but the page (and the small
// SVG icon its head names, lest Firefox ask for /favicon.ico). The other icons and
// the manifest are linked, and the worker registered, once the prompt is up (or the
// game over) and the page has been read.
const page_links = [
    { rel: 'icon', href: 'favicon.ico', sizes: '16x16 32x32 48x48' },
    { rel: 'apple-touch-icon', href: 'onigawara-192.png' },
    { rel: 'manifest', href: 'manifest.webmanifest' },
];
let icons_linked = false;
function link_icons() {
    if (icons_linked) return;
    icons_linked = true;
    for (const attributes of page_links) {
        const link = document.createElement('link');
        for (const [name, value] of Object.entries(attributes)) link.setAttribute(name, value);
        document.head.append(link);
    }
}

function once_page_read(then) {
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', then);
    else then();
}

// ---- Typing ----------------------------------------------------------------------------
//
// The line being typed is an editable span in the same flow as the program's output:
// it starts right after the prompt and wraps at the edge of the window, as typing
// does at a terminal. It takes text only while the program runs: not while the
// program loads, and not once the game is over.

// Lines the player has finished and the program has not been sent yet, in order.
// Each is sent when the program next waits for the player, as if typed then, so a
// paste of several lines plays as the same lines typed one after another.
const finished_lines = [];
// Every line sent to the program, each with its line feed: with the seed, the game.
let sent = '';
let program_waiting = false;

// The program waits for the player (the marker is for the tests and the benchmark).
function program_waits(waiting) {
    program_waiting = waiting;
    if (waiting) document.body.dataset.waiting = '';
    else delete document.body.dataset.waiting;
    if (!waiting) key_sign.textContent = '';
}

// Sends the next finished line, echoed after the prompt as a terminal echoes it.
// A byte order mark at the very start of what is typed (text saved by Notepad and
// pasted, or a link made from it) is skipped, as at a UTF-8 terminal.
function send_next_line() {
    if (!program_waiting || finished_lines.length === 0) return;
    const next = finished_lines.shift();
    const line = sent === '' ? next.replace(/^\uFEFF/, '') : next;
    show(`${line}\n`, 'typed');
    program_waits(false);
    sent += `${line}\n`;
    typed.push(code_page.typed(`${line}\n`));
}

function finish_line() {
    finished_lines.push(field.textContent);
    field.textContent = '';
    send_next_line();
}

// What is typed before and after the caret (or the selection, which is replaced).
function text_around_caret() {
    const selection = getSelection();
    const range = selection.rangeCount > 0 ? selection.getRangeAt(0) : null;
    if (!range || !field.contains(range.commonAncestorContainer)) return [field.textContent, ''];
    const before = document.createRange();
    before.selectNodeContents(field);
    before.setEnd(range.startContainer, range.startOffset);
    const after = document.createRange();
    after.selectNodeContents(field);
    after.setStart(range.endContainer, range.endOffset);
    return [before.toString(), after.toString()];
}

function set_typed_text(text, caret) {
    field.textContent = text;
    if (field.firstChild) getSelection().collapse(field.firstChild, caret);
}

// Pasted text goes in at the caret; each line break in it is an Enter.
//   typed 'ab|c', pasted 'x\ny\nz': sends 'abxc', then 'y'; 'z' stays typed.
function paste(text) {
    const [before, after] = text_around_caret();
    const pieces = text.split(/\r\n|\r|\n/);
    if (pieces.length === 1) {
        set_typed_text(before + text + after, before.length + text.length);
        return;
    }
    const last = pieces.pop();
    pieces[0] = before + pieces[0] + after;
    finished_lines.push(...pieces);
    set_typed_text(last, last.length);
    send_next_line();
}

function nothing_has_focus() {
    const focused = document.activeElement;
    return !focused || focused === document.body || focused === document.documentElement;
}

// Puts the caret in the line: where it was if it is there, else at the end.
function focus_typing() {
    const caret_inside = field.contains(getSelection().focusNode);
    field.focus({ preventScroll: true });
    if (!caret_inside) getSelection().collapse(field, field.childNodes.length);
}

// The program has loaded and waits for the first time: the line takes text. The
// caret goes in at the frame that first shows the prompt, as the browser lays the
// page out for that frame: put in at once, it made the browser lay out and shape
// all the text there and then, before the page's script could end (the first time,
// with the fonts to find, 5 to 50 ms here). A key pressed before that frame still
// reaches the line, as one pressed while nothing has focus does. A browser that
// draws nothing until it has read the whole page (WebKit, with little text yet)
// gets the caret a moment later all the same.
const caret_at_the_latest_ms = 100;
function open_typing() {
    loading.hidden = true;
    field.setAttribute('contenteditable', 'plaintext-only');
    if (!field.isContentEditable) field.setAttribute('contenteditable', 'true');  // browsers before 2025
    field.hidden = false;
    let caret_put = false;  // once, by whichever comes first
    const put_caret = () => {
        if (caret_put) return;
        caret_put = true;
        if (field.isContentEditable && nothing_has_focus()) focus_typing();
    };
    requestAnimationFrame(put_caret);
    setTimeout(put_caret, caret_at_the_latest_ms);
    keep_in_view();
}

// The game is over: nothing takes text any more, and what was still to be sent is dropped.
function close_typing() {
    program_waits(false);
    finished_lines.length = 0;
    loading.hidden = true;
    field.hidden = true;
    field.removeAttribute('contenteditable');
    field.textContent = '';
}

// At a key wait (after the spell is cast, at a level-up, after the closing banner)
// the program prints nothing that asks for the key, as at a terminal: beside the
// caret, outside the program's text, the page says that Enter goes on, in a status
// that a screen reader reads out once, each time the program stops so.
function program_waits_for_player(for_key) {
    if (field.hidden) {
        open_typing();
        once_page_read(() => {
            link_icons();
            register_worker_when_idle();
        });
    }
    program_waits(true);
    send_next_line();
    if (program_waiting && for_key) key_sign.textContent = 'Enter で続く';
}

// Enter finishes the line. The Enter that commits an input method's composition
// only commits: browsers mark its keydown as composing, or give it the key code 229.
let enter_commits = false;
field.addEventListener('keydown', (event) => {
    enter_commits = event.key === 'Enter' && (event.isComposing || event.keyCode === 229);
    if (event.key === 'Enter' && !enter_commits) {
        event.preventDefault();
        finish_line();
    }
});
// A line break that comes some other way (a phone's keyboard need not send its keys
// as keydowns) finishes the line too, but not the one after a committing Enter.
field.addEventListener('beforeinput', (event) => {
    if (event.inputType === 'insertParagraph' || event.inputType === 'insertLineBreak') {
        event.preventDefault();
        if (enter_commits) enter_commits = false;
        else finish_line();
    } else if (event.inputType.startsWith('format')) {
        event.preventDefault();  // plain text only, where the browser would allow styles
    }
});
field.addEventListener('paste', (event) => {
    event.preventDefault();
    paste(event.clipboardData.getData('text/plain'));
});

// Pasted while nothing takes text (after a selection, a click outside), it goes to the line.
document.addEventListener('paste', (event) => {
    if (!field.isContentEditable || field.contains(event.target)) return;
    if (document.activeElement && document.activeElement.matches('input, textarea')) return;
    event.preventDefault();
    focus_typing();
    paste(event.clipboardData.getData('text/plain'));
});

// A key that types, pressed while nothing has the focus (after selecting some of
// the lord's words, or a click outside the window), or while the caret is out of
// the line, goes to the line: focused in time, the line takes the key itself. Keys
// with Ctrl, Alt or Meta stay the browser's (Ctrl+C copies what was selected), and
// so do keys pressed on a button or a link.
const keys_for_the_line = /^(.|Enter|Backspace|Delete|Process|Dead)$/u;
document.addEventListener('keydown', (event) => {
    if (!field.isContentEditable || event.ctrlKey || event.altKey || event.metaKey) return;
    if (!keys_for_the_line.test(event.key)) return;
    const caret_astray = document.activeElement === field && !field.contains(getSelection().focusNode);
    if (!nothing_has_focus() && !caret_astray) return;
    focus_typing();
}, true);

// A click or tap anywhere in the window brings the typing back, unless it selects
// text or lands on the line itself or on a button.
document.addEventListener('click', (event) => {
    if (!field.isContentEditable) return;
    if (event.target instanceof Element && (field.contains(event.target) || event.target.closest('button, a'))) return;
    if (!getSelection().isCollapsed) return;
    focus_typing();
});

// ---- The end ---------------------------------------------------------------------------

// The end stays on the screen until the player asks for a new game: the focus goes
// to the message, not to the button, so neither the Enter that answered the last
// key wait, nor a key held down, nor a second Enter starts one.
function show_end(message, button_label) {
    once_page_read(() => {
        link_icons();
        register_worker();
    });
    close_typing();
    if (message) end_message.textContent = message;
    if (button_label) again.textContent = button_label;
    ended.hidden = false;
    end_message.focus({ preventScroll: true });
    keep_in_view();
}

// The page's own address with `search` and `hash` in place of its own. Made with
// the URL API from the whole address, so that it stays on the page's origin
// whatever the path: at http://host//example.org/x it is host's, not example.org's.
function own_address(search, hash = '') {
    const address = new URL(location.href);
    address.search = search;
    address.hash = hash;
    return address.href;
}

// A new game is a new page without a seed: the clock seeds it. The button takes a
// click, a tap, or a key pressed on it after Tab, but not a key held down.
again.addEventListener('keydown', (event) => { if (event.repeat) event.preventDefault(); });
again.addEventListener('click', () => location.assign(own_address('')));

// ?seed=N replays a game, as --seed N does at the terminal. Without it the page
// seeds the game from the clock, as the program would, so as to know the seed for
// the link that replays the game.
const seed = new URLSearchParams(location.search).get('seed') ?? String(Math.floor(Date.now() / 1000) >>> 0);
function program_args() {
    return ['onigawara', `--seed=${seed}`];
}

// ---- Sharing a game ------------------------------------------------------------------
//
// A game is its seed and the bytes the player typed: the link that replays it is
// ?seed=N#BYTES, where BYTES is those bytes, each letter, digit and - . _ ~ as
// itself and every other byte as %XX. The fragment is data: its bytes are sent to
// the program as typed lines, and their text reaches the screen only as text.

function fragment_of(bytes) {
    let fragment = '';
    for (const byte of bytes) {
        const c = String.fromCharCode(byte);
        fragment += /[A-Za-z0-9\-._~]/.test(c) ? c : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`;
    }
    return fragment;
}

// %XX is a byte; any other character stands for its UTF-8 bytes, as a browser's
// address bar may show them.
function bytes_of(fragment) {
    const bytes = [];
    for (let i = 0; i < fragment.length;) {
        if (fragment[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(fragment.slice(i + 1, i + 3))) {
            bytes.push(parseInt(fragment.slice(i + 1, i + 3), 16));
            i += 3;
        } else {
            const character = String.fromCodePoint(fragment.codePointAt(i));
            bytes.push(...encoder.encode(character));
            i += character.length;
        }
    }
    return new Uint8Array(bytes);
}

// The lines of a link's fragment wait to be sent as if pasted: each in turn, when
// the program waits for the player. What follows the last line break is typed,
// not sent.
function replay_typed_lines() {
    const text = code_page.text_of_utf8(bytes_of(location.hash.slice(1)));
    if (text === '') return;
    const lines = text.split('\n');
    field.textContent = lines.pop();
    finished_lines.push(...lines);
}

function offer_share() {
    replay_link.href = own_address(`?seed=${seed}`, fragment_of(encoder.encode(sent)));
    share.hidden = false;
}

// A link that differs from the page's address in its fragment alone (the replay link
// of a game that had ?seed=N, a fragment changed by hand, Back to the game before)
// only moves within the page: the page loads again, to play the game it describes.
// So does a replay link to the very address the page has, the game it replayed.
addEventListener('hashchange', () => location.reload());
replay_link.addEventListener('click', (event) => {
    if (event.button !== 0 || event.ctrlKey || event.shiftKey || event.altKey || event.metaKey) return;
    if (replay_link.href !== location.href) return;
    event.preventDefault();
    location.reload();
});

// Copies `text` with the browser's copy command, from a text field of its own
// selected for the moment (style.css keeps it out of sight); true if it copied.
function copy_by_command(text) {
    const was_focused = document.activeElement;
    const holder = document.createElement('textarea');
    holder.className = 'copy-holder';
    holder.readOnly = true;  // no keyboard comes up on a phone
    holder.value = text;
    document.body.append(holder);
    holder.focus({ preventScroll: true });
    holder.setSelectionRange(0, text.length);
    let done = false;
    try {
        done = document.execCommand('copy');
    } catch {
        done = false;
    }
    holder.remove();
    if (was_focused) was_focused.focus({ preventScroll: true });
    return done;
}

// Puts `text` on the clipboard: through the clipboard API where the browser offers
// it (HTTPS, or this machine), else, or if it refuses, with the copy command, which
// works over plain HTTP too (a phone on the same network). The page says which.
async function copy(text) {
    let done = false;
    if (window.isSecureContext && navigator.clipboard) {
        done = await navigator.clipboard.writeText(text).then(() => true, () => false);
    }
    done ||= copy_by_command(text);
    copied.textContent = done ? 'コピーしました' : 'コピーできませんでした';
}

document.getElementById('copy-link').addEventListener('click', () => copy(replay_link.href));
// The conversation as the screen shows it, without the blank line it starts with.
document.getElementById('copy-conversation').addEventListener('click', () => copy(output_area.textContent.replace(/^\n+/, '')));

// The program ends with status 2 only when its command line is wrong, and the page
// passes nothing but the seed.
function seed_refused() {
    show_end('?seed に使えるのは 0 から 4294967295 までの整数です。', '?seed なしで遊ぶ');
}

// Where the program cannot run at all, the page says why in one sentence, where it
// said that it loads: the game never began, so nothing says that it ended.
function cannot_play(why) {
    loading.textContent = why;
}

async function play() {
    // Turned off, or absent from a locked-down browser.
    if (typeof WebAssembly !== 'object') {
        cannot_play('この遊びには WebAssembly が要ります。');
        return;
    }
    const status = await run_program(program_bytes(), program_args(), show_program_output,
        program_waits_for_player);
    if (status === 2) {
        seed_refused();
        return;
    }
    show(complaint, 'said error');
    show_end();
    offer_share();
}

replay_typed_lines();
play().catch((error) => {
    // A browser too old for the page's Content-Security-Policy, which allows the
    // compiling of the program by a word ('wasm-unsafe-eval') that it does not know.
    if (error instanceof program_refused) {
        cannot_play('この遊びには、もっと新しいブラウザーが要ります。');
        throw error.cause;
    }
    show(`${error}\n`, 'said error');
    show_end();
    throw error;
});

}());
