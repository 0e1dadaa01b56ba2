// The page's elements: found by id, and made with their properties,
// attributes and children in one call.

export const $ = (id) => document.getElementById(id);

// ARIA roles, labels and live regions go in `attributes`: a browser that
// does not reflect them as properties (Firefox ESR 115) would ignore them
// there.
export function element(tag, properties = {}, children = [], attributes = {}) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  for (const child of children) node.append(child);
  return node;
}
