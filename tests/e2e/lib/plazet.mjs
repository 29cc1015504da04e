// Helpers of the browser journeys: where the site is, starting and stopping
// the web server (scripts/serve), launching Debian's Chromium through
// playwright-core, screenshots, and the check that the program wrote no
// sanitizer report to its standard error.
//
// A journey file calls journey() once at top level; it registers before/after
// hooks that serve a fresh site and launch the browser for that file, and
// returns an object with newPage() and screenshot():
//
//   const site = journey();
//   test('...', async () => {
//     const page = await site.newPage();
//     await page.goto(CGI_URL);
//     ...
//   });

import { after, before } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '../../..');
export const PORT = Number(process.env.PLAZET_PORT ?? 18080);
export const BASE_URL = `http://127.0.0.1:${PORT}`;
export const CGI_URL = `${BASE_URL}/cgi-bin/plazet.cgi`;
/** Screenshots and the server's run directory go here. */
export const OUT = resolve(process.env.PLAZET_E2E_OUT ?? join(ROOT, 'build/e2e'));
/** lighttpd configuration, pid file and logs; the site is RUN/site. */
export const RUN = resolve(process.env.PLAZET_RUN ?? join(OUT, 'run'));
export const SITE = join(RUN, 'site');
export const CHROMIUM = process.env.PLAZET_CHROMIUM ?? '/usr/bin/chromium';
/** The accounts scripts/serve makes. */
export const ADMIN = process.env.PLAZET_DEMO_ADMIN ?? 'admin';
export const USER = process.env.PLAZET_DEMO_USER ?? 'taro';
export const PASSWORD = process.env.PLAZET_DEMO_PASSWORD ?? 'plazet';

const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--no-first-run',
  '--disable-quic',
];

function serve(args) {
  const r = spawnSync(join(ROOT, 'scripts/serve'), args, {
    env: { ...process.env, PLAZET_PORT: String(PORT), PLAZET_RUN: RUN },
    encoding: 'utf8',
    stdio: ['ignore', 'pipe', 'pipe'],
    timeout: 540_000,
  });
  if (r.status !== 0) {
    throw new Error(`scripts/serve ${args.join(' ')} failed (status ${r.status}):\n${r.stderr}`);
  }
  return r.stdout.trim();
}

/** Lays out a site under RUN/site (a fresh one unless fresh is false) and
 *  starts lighttpd on PORT; returns the program's address. */
export function startServer({ fresh = true } = {}) {
  return serve(fresh ? ['--fresh'] : []);
}

export function stopServer() {
  serve(['stop']);
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_ARGS,
    timeout: 60_000,
  });
}

/** Sanitizer and crash reports in the program's standard error. */
export function cgiErrors() {
  const file = join(RUN, 'cgi-stderr.log');
  if (!existsSync(file)) return [];
  return readFileSync(file, 'latin1')
    .split('\n')
    .filter((l) => /AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:|Segmentation fault|Aborted/.test(l));
}

export async function screenshot(page, name) {
  mkdirSync(OUT, { recursive: true });
  const path = join(OUT, `${name}.png`);
  await page.screenshot({ path, fullPage: true });
  return path;
}

/** Registers the hooks of one journey file (see the top of this file). */
export function journey({ fresh = true } = {}) {
  const state = { browser: null, contexts: [] };
  before(async () => {
    startServer({ fresh });
    state.browser = await launchBrowser();
  });
  after(async () => {
    try {
      if (state.browser) await state.browser.close();
    } finally {
      stopServer();
    }
    assert.deepEqual(cgiErrors(), [], `the program reported errors in ${RUN}/cgi-stderr.log`);
  });
  return {
    get browser() {
      return state.browser;
    },
    /** A page in a new browser context; page.responses lists every
     *  response the page received, in order. */
    async newPage() {
      const context = await state.browser.newContext();
      state.contexts.push(context);
      const page = await context.newPage();
      page.responses = [];
      page.on('response', (r) => page.responses.push(r));
      return page;
    },
    screenshot,
  };
}

/** Logs in through the log-in page; true when the frame set came back,
 *  once its menu has loaded. */
export async function logIn(page, id, password = PASSWORD) {
  await page.goto(CGI_URL, { waitUntil: 'load' });
  await page.fill('input[name=uid]', id);
  await page.fill('input[name=upw]', password);
  await Promise.all([page.waitForNavigation(), page.click('input[name=sub]')]);
  if ((await page.locator('frame[name=FRM21]').count()) === 0) return false;
  await page.frameLocator('frame[name=FRM21]').locator('form').first().waitFor();
  return true;
}

/** Acts in the work frame (or in the frame named `from`) and waits for the
 *  work frame's next page; the work frame. */
export async function inWork(page, action, from = 'FRM22') {
  const work = page.frame({ name: 'FRM22' });
  await Promise.all([work.waitForNavigation(), action(page.frame({ name: from }))]);
  return work;
}

/** The submit button of the form that posts JOB `job` (`extra`: more of the form's selector). */
export const button = (job, extra = '') =>
  `form:has(input[name=JOB][value=${job}])${extra} input[type=submit]`;
