// The download links of the result shown: each holds its bytes at an
// address of its own, given back when the result goes.
import { element } from './dom.js';

const addresses = [];

export function downloadLink(name, bytes, label, id) {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
  addresses.push(url);
  const link = element('a', { href: url, download: name, textContent: label || name });
  if (id) link.id = id;
  return link;
}

export function dropDownloads() {
  while (addresses.length) URL.revokeObjectURL(addresses.pop());
}
