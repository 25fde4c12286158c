// The page in Debian's chromium, headless, with every request that is not to the test's own
// server refused: the WebAssembly result buffer must equal the native renderer's output byte
// for byte, and the panel must hide what the effect's visibility command hides.
//
// Paths (defaults under the repository): ZX_SITE (build/wasm/site), ZX_CLI
// (build/native/cli/zentrilox), ZX_PANEL_VISIBILITY (build/native/tests/zx_panel_visibility);
// ZX_SCREENSHOT, when set, is where the page's screenshot goes.
import assert from "node:assert/strict";
import {execFileSync} from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import {after, before, test} from "node:test";
import {fileURLToPath} from "node:url";

import {chromium} from "playwright-core";
import pngjs from "pngjs";

const {PNG} = pngjs;
const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, "../..");
const site = process.env.ZX_SITE ?? path.join(root, "build/wasm/site");
const cli = process.env.ZX_CLI ?? path.join(root, "build/native/cli/zentrilox");
const panelTool = process.env.ZX_PANEL_VISIBILITY ??
    path.join(root, "build/native/tests/zx_panel_visibility");

const work = fs.mkdtempSync(path.join(os.tmpdir(), "zx-web-test-"));
const TYPES = {".html": "text/html", ".js": "text/javascript", ".css": "text/css",
    ".wasm": "application/wasm", ".png": "image/png"};

let server, origin, context, page;
const served = [];   // every path the server was asked for
const refused = [];  // every request the browser tried to send elsewhere

function serve() {
    return new Promise((resolve) => {
        const s = http.createServer((req, res) => {
            const url = new URL(req.url, "http://localhost");
            served.push(url.pathname);
            const file = path.join(site, path.normalize(url.pathname === "/" ? "/index.html"
                : url.pathname));
            if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
                res.writeHead(404).end();
                return;
            }
            res.writeHead(200, {"Content-Type": TYPES[path.extname(file)] ??
                "application/octet-stream"});
            fs.createReadStream(file).pipe(res);
        });
        s.listen(0, "127.0.0.1", () => resolve(s));
    });
}

// An opaque picture with fine detail everywhere: gradients under seeded noise.
function writePicture(file, width, height) {
    const png = new PNG({width, height});
    let seed = 12345;
    const noise = () => ((seed = (seed * 1103515245 + 12345) >>> 0) >>> 24) & 63;
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
            const i = (y * width + x) * 4;
            png.data[i] = (x * 255 / width + noise()) & 255;
            png.data[i + 1] = (y * 255 / height + noise()) & 255;
            png.data[i + 2] = ((x ^ y) + noise()) & 255;
            png.data[i + 3] = 255;
        }
    }
    fs.writeFileSync(file, PNG.sync.write(png));
}

function readPng(file) {
    const png = PNG.sync.read(fs.readFileSync(file), {skipRescale: true});
    return {width: png.width, height: png.height, depth: png.depth, data: png.data};
}

// The native renderer's output for the same picture and parameters, as samples.
function nativeRender(picture, args, depth) {
    const out = path.join(work, "native.png");
    const input = picture.file ? [picture.file] : ["--size", `${picture.width}x${picture.height}`];
    execFileSync(cli, [...input, "-o", out, "--depth", String(depth), "--quiet", ...args]);
    const png = readPng(out);
    assert.equal(png.depth, depth);
    return depth === 16 ? Uint16Array.from(png.data) : Uint8Array.from(png.data);
}

async function pageResult() {
    const r = await page.evaluate(() => window.zxPage.result());
    const bytes = Buffer.from(r.base64, "base64");
    const samples = r.depth === 16
        ? new Uint16Array(bytes.buffer, bytes.byteOffset, bytes.length / 2)
        : new Uint8Array(bytes);
    return {...r, samples};
}

function firstDifference(a, b) {
    if (a.length !== b.length) return `lengths ${a.length} and ${b.length}`;
    for (let i = 0; i < a.length; i++) {
        if (a[i] !== b[i]) {
            return `sample ${i} (pixel ${Math.floor(i / 4)}, channel ${i % 4}): ${a[i]} vs ${b[i]}`;
        }
    }
    return null;
}

const label = (name) => page.getByLabel(name, {exact: true});

async function setNumber(name, value) {
    const box = label(name);
    await box.fill(String(value));
    await box.blur();
}

// Sets the panel back to the effect's defaults, then each control as a person would.
async function setPanel(c) {
    await page.getByRole("button", {name: "Reset"}).click();
    await label(c.depth === 16 ? "16-bit" : "8-bit").check();
    for (const [name, value] of Object.entries(c.popups ?? {})) {
        await label(name).selectOption({label: value});
    }
    for (const [name, value] of Object.entries(c.numbers ?? {})) await setNumber(name, value);
    if (c.color) await label("Color").fill(c.color);
    if (c.scrub !== undefined) await label("Timeline").fill(String(c.scrub));
    else await setNumber("Completion", c.completion);
}

async function loadPicture(picture) {
    if (picture.file) {
        await page.setInputFiles("#file", picture.file);
        await page.getByText(`${path.basename(picture.file)}, ${picture.width} × ${picture.height}`)
            .waitFor();
    } else {
        await label("Card size").selectOption(`${picture.width}x${picture.height}`);
        await page.getByRole("button", {name: "Test card"}).click();
    }
}

before(async () => {
    for (const f of [cli, panelTool, path.join(site, "zentrilox.wasm")]) {
        assert.ok(fs.existsSync(f), `${f} is missing: build the native and wasm presets first`);
    }
    server = await serve();
    origin = `http://127.0.0.1:${server.address().port}`;
    context = await chromium.launchPersistentContext(path.join(work, "profile"), {
        executablePath: "/usr/bin/chromium",
        headless: true,
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync"],
        viewport: {width: 1366, height: 768},
    });
    await context.route("**/*", (route) => {
        const url = new URL(route.request().url());
        if (url.origin === origin) return route.continue();
        refused.push(url.href);
        return route.abort("blockedbyclient");
    });
    page = context.pages()[0] ?? await context.newPage();
    const problems = [];
    page.on("pageerror", (e) => problems.push(e.message));
    await page.goto(origin + "/");
    await page.locator("body[data-ready=true]").waitFor({timeout: 20000});
    assert.deepEqual(problems, []);
});

after(async () => {
    await context?.close();
    await new Promise((resolve) => (server ? server.close(resolve) : resolve()));
    fs.rmSync(work, {recursive: true, force: true});
});

const photo = {file: path.join(work, "picture.png"), width: 160, height: 100};
const card = {width: 640, height: 480};

const cases = [
    {name: "test card, defaults, 8-bit", picture: card, depth: 8, completion: 50, args: []},
    {name: "Row & Width, seed, 8-bit", picture: photo, depth: 8, completion: 37.5,
        popups: {"Split": "Row & Width"}, numbers: {"Row": 5, "Width": 23, "Seed": 17},
        args: ["--split", "row-width", "--rows", "5", "--strip-width", "23", "--seed", "17"]},
    {name: "Height & Column, Euclidean, 8-bit", picture: photo, depth: 8, completion: 70,
        popups: {"Mode": "Euclidean", "Split": "Height & Column"},
        numbers: {"Height": 9, "Column": 7},
        args: ["--mode", "euclidean", "--split", "height-column", "--strip-height", "9",
            "--columns", "7"]},
    {name: "Overlap Mode Color, 8-bit", picture: photo, depth: 8, completion: 60,
        popups: {"Overlap Mode": "Color"}, color: "#00ff80", numbers: {"Seed": 4},
        args: ["--overlap", "color", "--color", "00FF80", "--seed", "4"]},
    {name: "Footage overlap, Multiply at 70 %, 8-bit", picture: photo, depth: 8, completion: 55,
        popups: {"Blend Mode": "Multiply"}, numbers: {"Opacity": 70, "Row": 3, "Column": 4},
        args: ["--blend", "multiply", "--opacity", "70", "--rows", "3", "--columns", "4"]},
    {name: "0 % from the timeline, 8-bit", picture: photo, depth: 8, scrub: 0, completion: 0,
        numbers: {"Seed": 9}, args: ["--seed", "9"]},
    {name: "100 % from the timeline, 8-bit", picture: photo, depth: 8, scrub: 100,
        completion: 100, popups: {"Split": "Row & Width"}, args: ["--split", "row-width"]},
    {name: "Row & Width, Screen, 16-bit", picture: photo, depth: 16, completion: 65,
        popups: {"Split": "Row & Width", "Blend Mode": "Screen"}, numbers: {"Seed": 2},
        args: ["--split", "row-width", "--blend", "screen", "--seed", "2"]},
    {name: "test card, Overlap Mode Color, 16-bit", picture: card, depth: 16, completion: 80,
        popups: {"Overlap Mode": "Color"}, color: "#3366cc",
        args: ["--overlap", "color", "--color", "3366CC"]},
];

test("the page's result equals the native renderer's, byte for byte", async (t) => {
    writePicture(photo.file, photo.width, photo.height);
    let loaded = null;
    for (const c of cases) {
        await t.test(c.name, async () => {
            if (loaded !== c.picture) {
                await loadPicture(c.picture);
                loaded = c.picture;
            }
            await setPanel(c);
            const r = await pageResult();
            assert.equal(r.depth, c.depth);
            assert.deepEqual([r.width, r.height], [c.picture.width, c.picture.height]);
            const want = nativeRender(c.picture, ["--completion", String(c.completion),
                ...c.args], c.depth);
            assert.equal(firstDifference(r.samples, want), null);
        });
    }
});

test("the saved PNG holds the result exactly", async () => {
    await loadPicture(photo);
    await setPanel({depth: 16, completion: 45, popups: {"Split": "Height & Column"}});
    const r = await pageResult();
    const download = page.waitForEvent("download");
    await page.getByRole("button", {name: "Save PNG"}).press("Enter");
    const file = path.join(work, "saved.png");
    await (await download).saveAs(file);
    const saved = readPng(file);
    assert.deepEqual([saved.width, saved.height, saved.depth], [photo.width, photo.height, 16]);
    assert.equal(firstDifference(Uint16Array.from(saved.data), r.samples), null);
});

test("the panel hides what the effect's visibility command hides", async () => {
    const native = JSON.parse(execFileSync(panelTool, {encoding: "utf8"}));
    const params = (await page.evaluate(() => window.zxPage.params()))
        .filter((p) => !p.type.startsWith("group"));
    const splits = await label("Split").locator("option").allTextContents();
    const overlaps = await label("Overlap Mode").locator("option").allTextContents();
    assert.equal(Object.keys(native).length, splits.length * overlaps.length);
    // Every pair in both orders of change, so that a row left over from the last pair shows.
    for (const order of [[0, 1], [1, 0]]) {
        for (let s = 1; s <= splits.length; s++) {
            for (let o = 1; o <= overlaps.length; o++) {
                const steps = [["Split", splits[s - 1]], ["Overlap Mode", overlaps[o - 1]]];
                for (const k of order) await label(steps[k][0]).selectOption({label: steps[k][1]});
                const want = native[`${s},${o}`];
                const where = `Split ${s}, Overlap Mode ${o}`;
                assert.deepEqual(await page.evaluate(() => window.zxPage.hiddenRows()), want, where);
                // What a person sees: each control's own visibility.
                for (const p of params) {
                    assert.equal(await label(p.name).isVisible(), !want.includes(p.index),
                        `${p.name}, ${where}`);
                }
            }
        }
    }
});

test("a picture beyond the module's memory is refused, and the next one renders", async () => {
    // Cards the size menu does not offer, each with a part that no longer fits in 2 GB: the
    // 8-bit result beside the card, the first of the 16-bit buffers, the last of them.
    for (const [w, h, depth] of [[16384, 16384, 8], [12000, 12000, 16], [8000, 8000, 16]]) {
        await label(depth === 16 ? "16-bit" : "8-bit").check();
        await page.evaluate((size) => {
            const option = document.createElement("option");
            option.value = option.textContent = size;
            document.getElementById("card-size").append(option);
            document.getElementById("status").textContent = "";
        }, `${w}x${h}`);
        await loadPicture({width: w, height: h});
        await page.locator("#status", {hasText: "memory"}).waitFor({timeout: 60000});
    }
    const c = {picture: card, depth: 8, completion: 30, popups: {"Split": "Row & Width"}};
    await loadPicture(card);
    await setPanel(c);
    const r = await pageResult();
    assert.equal(firstDifference(r.samples, nativeRender(card, ["--completion", "30", "--split",
        "row-width"], 8)), null);
});

test("a screenshot, and no request left the machine", async () => {
    await loadPicture(card);
    await setPanel({depth: 8, completion: 42, popups: {"Split": "Row & Width"}});
    await page.evaluate(() => window.zxPage.result());
    const shot = process.env.ZX_SCREENSHOT ?? path.join(work, "page.png");
    await page.screenshot({path: shot});
    assert.ok(fs.statSync(shot).size > 10000);
    assert.deepEqual(refused, []);
    assert.ok(served.includes("/zentrilox.wasm"));
});
