// Journey 2: the demo administrator logs in and gets the frame set; a wrong
// password brings the log-in page back; the session key keeps working.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { CGI_URL, journey } from './lib/plazet.mjs';

const site = journey();
const ADMIN = process.env.PLAZET_DEMO_ADMIN ?? 'admin';
const PASSWORD = process.env.PLAZET_DEMO_PASSWORD ?? 'plazet';

async function logIn(page, id, password) {
  await page.goto(CGI_URL, { waitUntil: 'load' });
  await page.fill('input[name=uid]', id);
  await page.fill('input[name=upw]', password);
  await Promise.all([page.waitForLoadState('load'), page.click('input[name=sub]')]);
  await page.waitForLoadState('load');
}

test('a wrong password shows the log-in page again', async () => {
  const page = await site.newPage();
  await logIn(page, ADMIN, 'wrong-password');
  assert.ok((await page.title()).startsWith('Welcome to Plazet'));
  assert.equal(await page.locator('input[name=uid]').count(), 1);
  assert.equal(await page.locator('frameset').count(), 0);
});

test('the administrator logs in, ID typed in capitals, and gets the frame set', async () => {
  const page = await site.newPage();
  await logIn(page, ADMIN.toUpperCase(), PASSWORD);

  const frames = await page.locator('frame').evaluateAll((fs) =>
    fs.map((f) => ({ name: f.name, src: f.getAttribute('src') })));
  assert.equal(frames.length, 2);
  assert.equal(frames[0].name, 'FRM21');
  assert.match(frames[0].src, /^plazet\.cgi\?SKEY=\d+&JOB=FRM21$/);
  assert.equal(frames[1].name, 'FRM22');
  assert.equal(frames[1].src, '/plazetpic/info.html');

  // The right-hand frame shows the installation's start page.
  const work = page.frame({ name: 'FRM22' });
  assert.ok(work, 'frame FRM22');
  assert.ok((await work.content()).length > 0);
  const infoResponse = page.responses.find((r) => r.url().endsWith('/plazetpic/info.html'));
  assert.equal(infoResponse?.status(), 200);

  // The key carried in the menu link is accepted on a later request: an
  // empty JOB brings the frame set again.
  const key = frames[0].src.match(/SKEY=(\d+)/)[1];
  const again = await site.newPage();
  await again.goto(`${CGI_URL}?SKEY=${key}&JOB=`, { waitUntil: 'load' });
  assert.equal(await again.locator('frame[name=FRM21]').count(), 1);

  // A made-up key gets the invalid-key page, whose button leaves the frames.
  const forged = await site.newPage();
  await forged.goto(`${CGI_URL}?SKEY=${Number(key) ^ 1}&JOB=TOP`, { waitUntil: 'load' });
  assert.equal(await forged.locator('form[target=_parent] input[type=submit]').count(), 1);
  await Promise.all([forged.waitForLoadState('load'),
    forged.click('form[target=_parent] input[type=submit]')]);
  await forged.waitForLoadState('load');
  assert.equal(await forged.locator('input[name=uid]').count(), 1);

  await site.screenshot(page, 'frames');
});
