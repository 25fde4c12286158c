// The page: the effect's panel built from its parameter table, a preview rendered by the
// effect in WebAssembly, a Completion scrubber with play, depth switch and PNG saving.
import createZentrilox from "./zentrilox.js";
import {encodePng} from "./png.js";

const $ = (id) => document.getElementById(id);
const status = $("status");

function say(text, isError = false) {
    status.textContent = text;
    status.classList.toggle("error", isError);
}

const mod = await createZentrilox();
const api = {
    table: mod.cwrap("zxw_param_table", "string", []),
    paramCount: mod.cwrap("zxw_param_count", "number", []),
    sessionNew: mod.cwrap("zxw_session_new", "number", []),
    sessionStatus: mod.cwrap("zxw_session_status", "number", ["number"]),
    error: mod.cwrap("zxw_error", "string", ["number"]),
    picture: mod.cwrap("zxw_picture", "number", ["number", "number", "number"]),
    testCard: mod.cwrap("zxw_load_test_card", "number", ["number", "number", "number"]),
    setValue: mod.cwrap("zxw_set_value", "number", ["number", "number", "number"]),
    setColor: mod.cwrap("zxw_set_color", "number",
        ["number", "number", "number", "number", "number", "number"]),
    resetValues: mod.cwrap("zxw_reset_values", null, ["number"]),
    hidden: mod.cwrap("zxw_hidden", "number", ["number", "number"]),
    render: mod.cwrap("zxw_render", "number", ["number", "number", "number"]),
    result8: mod.cwrap("zxw_result8", "number", ["number"]),
    result16: mod.cwrap("zxw_result16", "number", ["number"]),
    width: mod.cwrap("zxw_width", "number", ["number"]),
    height: mod.cwrap("zxw_height", "number", ["number"]),
};

const table = JSON.parse(api.table());
const session = api.sessionNew();
if (!session || api.sessionStatus(session) !== 0) {
    const why = session ? api.error(session) : "out of memory";
    say(`The effect did not start: ${why}`, true);
    throw new Error(why);
}

const COMPLETION = table.find((p) => p.short_name === "completion");
const state = {completion: COMPLETION.default, depth: 8, pending: false, lastMs: null,
    frames: 0};
const controls = new Map(); // parameter index -> {row, set(value)}

function check(code, what) {
    if (code !== 0) {
        const text = `${what}: ${api.error(session)}`;
        say(text, true);
        throw new Error(text);
    }
}

// --- the panel

function hexColor([, r, g, b]) {
    return "#" + [r, g, b].map((v) => v.toString(16).padStart(2, "0")).join("");
}

function numberRow(p, form) {
    const row = document.createElement("div");
    row.className = "param";
    const id = `param-${p.short_name}`;
    const label = document.createElement("label");
    label.htmlFor = id;
    label.textContent = p.name;
    const range = document.createElement("input");
    range.type = "range";
    range.min = p.slider_min;
    range.max = p.slider_max;
    range.step = p.type === "percent" ? 10 ** -p.precision : 1;
    range.tabIndex = -1; // the number box takes the keyboard; the slider is for the mouse
    range.setAttribute("aria-hidden", "true");
    const box = document.createElement("input");
    box.type = "number";
    box.id = id;
    box.min = p.valid_min;
    box.max = p.valid_max;
    box.step = range.step;
    const set = (v) => {
        range.value = v;
        box.value = v;
    };
    const apply = (v) => {
        if (!Number.isFinite(v) || v < p.valid_min || v > p.valid_max) {
            say(`${p.name} takes ${p.valid_min} to ${p.valid_max}`, true);
            return;
        }
        if (p.type !== "percent") v = Math.round(v);
        set(v);
        changeValue(p, v);
    };
    range.addEventListener("input", () => apply(Number(range.value)));
    box.addEventListener("change", () => apply(Number(box.value)));
    row.append(label, range, box);
    form.append(row);
    return {row, set};
}

function popupRow(p, form) {
    const row = document.createElement("div");
    row.className = "param";
    const select = document.createElement("select");
    select.id = `param-${p.short_name}`;
    p.choices.forEach((item, i) => {
        const option = document.createElement("option");
        option.value = i + 1; // the host counts choices from 1, the separator included
        if (item === "(-") {
            option.disabled = true;
            option.textContent = "────────";
        } else {
            option.textContent = item;
        }
        select.append(option);
    });
    const label = document.createElement("label");
    label.htmlFor = select.id;
    label.textContent = p.name;
    select.addEventListener("change", () => changeValue(p, Number(select.value)));
    row.append(label, select);
    form.append(row);
    return {row, set: (v) => { select.value = v; }};
}

function colorRow(p, form) {
    const row = document.createElement("div");
    row.className = "param";
    const input = document.createElement("input");
    input.type = "color";
    input.id = `param-${p.short_name}`;
    const label = document.createElement("label");
    label.htmlFor = input.id;
    label.textContent = p.name;
    input.addEventListener("input", () => changeValue(p, input.value));
    row.append(label, input);
    form.append(row);
    return {row, set: (v) => { input.value = v; }};
}

function buildPanel() {
    const form = $("params");
    let parent = form;
    for (const p of table) {
        if (p.type === "group_start") {
            const group = document.createElement("fieldset");
            group.className = "group";
            const legend = document.createElement("legend");
            legend.textContent = p.name.replace(/^-+|-+$/g, "");
            group.append(legend);
            form.append(group);
            parent = group;
            controls.set(p.index, {row: group, set: () => {}});
        } else if (p.type === "group_end") {
            parent = form;
        } else if (p.type === "popup") {
            controls.set(p.index, popupRow(p, parent));
        } else if (p.type === "color") {
            controls.set(p.index, colorRow(p, parent));
        } else {
            controls.set(p.index, numberRow(p, parent));
        }
    }
    form.addEventListener("submit", (e) => e.preventDefault());
}

function setDefaults() {
    api.resetValues(session);
    for (const p of table) {
        const c = controls.get(p.index);
        if (c) c.set(p.type === "color" ? hexColor(p.color) : p.default);
    }
    state.completion = COMPLETION.default;
    showCompletion();
}

// Shows and hides the rows as the host's panel does.
function updateVisibility() {
    const flags = mod._malloc(api.paramCount());
    try {
        check(api.hidden(session, flags), "Visibility");
        const hidden = mod.HEAPU8.slice(flags, flags + api.paramCount());
        for (const [index, c] of controls) c.row.hidden = hidden[index] === 1;
    } finally {
        mod._free(flags);
    }
}

function changeValue(p, value) {
    if (p.index === COMPLETION.index) {
        state.completion = value;
        showCompletion();
    } else if (p.type === "color") {
        const n = parseInt(value.slice(1), 16);
        check(api.setColor(session, p.index, 255, n >> 16, (n >> 8) & 255, n & 255), p.name);
    } else {
        check(api.setValue(session, p.index, value), p.name);
    }
    if (p.type === "popup") updateVisibility();
    scheduleRender();
}

// --- rendering

const canvas = $("preview");
const context = canvas.getContext("2d");

function showCompletion() {
    const v = state.completion;
    $("scrub").value = v;
    $("scrub-value").textContent = `${Number(v).toFixed(1)} %`;
    controls.get(COMPLETION.index)?.set(v);
}

function renderNow() {
    state.pending = false;
    if (api.width(session) === 0) return;
    const t0 = performance.now();
    const code = api.render(session, state.completion, state.depth);
    const ms = performance.now() - t0;
    check(code, "Render");
    state.lastMs = ms;
    state.frames++;
    const w = api.width(session), h = api.height(session);
    const ptr = api.result8(session);
    const pixels = new ImageData(new Uint8ClampedArray(mod.HEAPU8.buffer, ptr, w * h * 4).slice(),
        w, h);
    if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w;
        canvas.height = h;
    }
    context.putImageData(pixels, 0, 0);
    $("render-time").textContent = `${ms.toFixed(1)} ms (${w} × ${h}, ${state.depth}-bit)`;
    $("save").disabled = false;
}

function scheduleRender() {
    if (state.pending) return;
    state.pending = true;
    requestAnimationFrame(() => {
        if (state.pending) renderNow();
    });
}

// --- pictures

async function loadFile(file) {
    if (!/^image\/(png|jpeg)$/.test(file.type)) {
        say(`${file.name}: not a PNG or JPEG picture`, true);
        return;
    }
    let bitmap;
    try {
        bitmap = await createImageBitmap(file,
            {premultiplyAlpha: "none", colorSpaceConversion: "none"});
    } catch {
        say(`${file.name}: the browser could not decode it`, true);
        return;
    }
    const work = new OffscreenCanvas(bitmap.width, bitmap.height);
    const wctx = work.getContext("2d", {willReadFrequently: true});
    wctx.drawImage(bitmap, 0, 0);
    const data = wctx.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const ptr = api.picture(session, bitmap.width, bitmap.height);
    if (!ptr) {
        say(`${file.name}: ${api.error(session)}`, true);
        return;
    }
    mod.HEAPU8.set(data, ptr);
    $("picture-info").textContent = `${file.name}, ${bitmap.width} × ${bitmap.height}`;
    say(`Loaded ${file.name}`);
    renderNow();
}

function loadTestCard() {
    const [w, h] = $("card-size").value.split("x").map(Number);
    check(api.testCard(session, w, h), "Test card");
    $("picture-info").textContent = `test card, ${w} × ${h}`;
    say("Test card");
    renderNow();
}

$("file").addEventListener("change", (e) => {
    if (e.target.files.length) loadFile(e.target.files[0]);
    e.target.value = ""; // so that opening the same file again loads it again
});
$("test-card").addEventListener("click", loadTestCard);
const drop = $("drop");
drop.addEventListener("dragover", (e) => {
    e.preventDefault();
    drop.classList.add("over");
});
drop.addEventListener("dragleave", () => drop.classList.remove("over"));
drop.addEventListener("drop", (e) => {
    e.preventDefault();
    drop.classList.remove("over");
    if (e.dataTransfer.files.length) loadFile(e.dataTransfer.files[0]);
});

// --- transport

$("scrub").addEventListener("input", () => changeValue(COMPLETION, Number($("scrub").value)));

// Ping-pong 0 -> 100 -> 0 %, one way in two seconds.
const SWEEP_MS = 2000;
let playing = null;
function setPlaying(on) {
    const button = $("play");
    button.setAttribute("aria-pressed", String(on));
    button.textContent = on ? "Pause" : "Play";
    if (!on) {
        if (playing) cancelAnimationFrame(playing.frame);
        playing = null;
        return;
    }
    const start = performance.now() - (state.completion / 100) * SWEEP_MS;
    const step = (now) => {
        const phase = ((now - start) / SWEEP_MS) % 2;
        state.completion = Math.round((phase <= 1 ? phase : 2 - phase) * 1000) / 10;
        showCompletion();
        renderNow();
        playing.frame = requestAnimationFrame(step);
    };
    playing = {frame: requestAnimationFrame(step)};
}
$("play").addEventListener("click", () => setPlaying(!playing));

for (const radio of document.querySelectorAll("input[name=depth]")) {
    radio.addEventListener("change", () => {
        state.depth = Number(radio.value);
        scheduleRender();
    });
}

$("reset").addEventListener("click", () => {
    setDefaults();
    updateVisibility();
    scheduleRender();
});

function resultSamples() {
    const w = api.width(session), h = api.height(session);
    const n = w * h * 4;
    if (state.depth === 16) {
        const ptr = api.result16(session);
        return {w, h, depth: 16, samples: new Uint16Array(mod.HEAPU8.buffer, ptr, n).slice()};
    }
    return {w, h, depth: 8, samples: mod.HEAPU8.slice(api.result8(session),
        api.result8(session) + n)};
}

$("save").addEventListener("click", async () => {
    if (state.pending) renderNow();
    const {w, h, depth, samples} = resultSamples();
    const blob = await encodePng(w, h, depth, samples);
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = `zentrilox-${state.completion.toFixed(1)}pct-${depth}bit.png`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
});

// For tests and the curious: the result exactly as the effect made it (the canvas holds
// premultiplied pixels), and which rows the panel hides.
window.zxPage = {
    result() {
        if (state.pending) renderNow();
        const {w, h, depth, samples} = resultSamples();
        const bytes = new Uint8Array(samples.buffer);
        let text = "";
        for (let i = 0; i < bytes.length; i += 0x8000) {
            text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
        }
        return {width: w, height: h, depth, base64: btoa(text), ms: state.lastMs};
    },
    hiddenRows() {
        return table.filter((p) => controls.get(p.index)?.row.hidden).map((p) => p.index);
    },
    params: () => table.map(({index, name, type}) => ({index, name, type})),
    frames: () => state.frames,
};

buildPanel();
setDefaults();
updateVisibility();
loadTestCard();
say("Ready");
document.body.dataset.ready = "true";
