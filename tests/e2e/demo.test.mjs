// Journey 4: a first visitor on the demo site as scripts/serve lays it out,
// content included. The administrator finds Japanese threads, the
// attachment and the deleted parent kept for its replies; the ordinary user
// reads the club board that his group opens to him.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { journey, logIn, ADMIN, USER } from './lib/plazet.mjs';

process.env.PLAZET_DEMO_CONTENT = '1';  // tests/e2e/run leaves it out for the other journeys
const site = journey();

// Opens the board `name` from the menu, opening the Dirs above it first.
async function openBoard(page, name, dirs = []) {
  const menu = page.frame({ name: 'FRM21' });
  const board = menu.locator(`a[target=FRM22]:has-text("${name}")`);
  for (const dir of dirs) {
    if ((await board.count()) > 0) break;
    await Promise.all([menu.waitForNavigation(), menu.click(`a:has-text("${dir}")`)]);
  }
  const work = page.frame({ name: 'FRM22' });
  await Promise.all([work.waitForNavigation(), board.click()]);
  return work;
}

const titles = (work) =>
  work.locator('table[border] a[href*="JOB=DETAILS"]').allInnerTexts();

test('the administrator finds threads, an attachment and a kept parent', async () => {
  const page = await site.newPage();
  await logIn(page, ADMIN);
  const menu = page.frame({ name: 'FRM21' });
  assert.match(await menu.locator('body').innerText(), /サークル/);

  let work = await openBoard(page, 'General');
  assert.deepEqual(await titles(work),
    ['ようこそ Plazet へ', '質問: 添付ファイルの大きさ', 'Re:^1:大きさの目安']);
  await site.screenshot(page, 'demo-general');
  await Promise.all([work.waitForNavigation(), work.click('a:has-text("ようこそ Plazet へ")')]);
  const link = work.locator('a[href$="/guide.txt"]');
  assert.equal(await link.count(), 1);
  const file = await page.request.get(await link.evaluate((a) => a.href));
  assert.equal(file.status(), 200);
  assert.match(new TextDecoder('shift_jis').decode(await file.body()), /Plazet の使い方/);

  work = await openBoard(page, 'Plans', ['Office', 'Projects']);
  assert.deepEqual(await titles(work),
    ['--Delete--', 'Re:^1:案の修正について', 'Re:^2:予算表を作りました']);
});

test('the ordinary user reads the club board his group opens', async () => {
  const page = await site.newPage();
  await logIn(page, USER);
  const work = await openBoard(page, '釣り部', ['サークル']);
  assert.deepEqual(await titles(work), ['週末の釣行']);
  await site.screenshot(page, 'demo-club');
});
