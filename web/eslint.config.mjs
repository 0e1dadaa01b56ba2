// eslint over the page's scripts (browser ES modules), its build script,
// benchmarks, profiler and tests (Node.js, with functions they run in the page, where
// the page's window.soundcutPage and an injected axe are there too): the
// recommended rules.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['node_modules/', 'test-output/'] },
  js.configs.recommended,
  {
    files: ['*.js'],
    languageOptions: { sourceType: 'module', globals: { ...globals.browser } },
  },
  {
    files: ['*.mjs', 'tests/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node } },
  },
  {
    files: ['bench.mjs', 'bench_collection.mjs', 'profile_page.mjs', 'tests/*.mjs'],
    languageOptions: { globals: { ...globals.browser, soundcutPage: 'readonly', axe: 'readonly' } },
  },
];
