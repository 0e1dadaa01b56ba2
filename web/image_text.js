// Text as the image and the programs hold it: Shift-JIS bytes, given as
// bytes or as hex of them.

export const shiftJis = new TextDecoder('shift_jis');

export const bytesOfHex = (hex) => Uint8Array.from(hex.match(/../g) || [], (pair) => parseInt(pair, 16));
