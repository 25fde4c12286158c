// A PNG writer for the page's "Save PNG": RGBA at 8 or 16 bits a channel, written straight from
// the effect's result. A canvas would premultiply the pixels and can hold only 8 bits.
const CRC_TABLE = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; n++) {
        let c = n;
        for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
    }
    return table;
})();

function crc32(bytes) {
    let c = 0xffffffff;
    for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const out = new Uint8Array(12 + data.length);
    const view = new DataView(out.buffer);
    view.setUint32(0, data.length);
    for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
    out.set(data, 8);
    view.setUint32(8 + data.length, crc32(out.subarray(4, 8 + data.length)));
    return out;
}

async function deflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

// `samples` holds width * height * 4 values: a Uint8Array for depth 8, a Uint16Array for 16.
export async function encodePng(width, height, depth, samples) {
    const header = new Uint8Array(13);
    const hv = new DataView(header.buffer);
    hv.setUint32(0, width);
    hv.setUint32(4, height);
    header[8] = depth;
    header[9] = 6; // RGBA
    const rowBytes = width * 4 * (depth / 8);
    const raw = new Uint8Array((rowBytes + 1) * height);
    for (let y = 0; y < height; y++) {
        const at = y * (rowBytes + 1) + 1; // filter byte 0: none
        if (depth === 8) {
            raw.set(samples.subarray(y * width * 4, (y + 1) * width * 4), at);
        } else {
            const row = new DataView(raw.buffer, at, rowBytes);
            for (let i = 0; i < width * 4; i++) row.setUint16(i * 2, samples[y * width * 4 + i]);
        }
    }
    const signature = new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]);
    const parts = [signature, chunk("IHDR", header), chunk("IDAT", await deflate(raw)),
        chunk("IEND", new Uint8Array(0))];
    return new Blob(parts, {type: "image/png"});
}
