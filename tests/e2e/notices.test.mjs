// Journey 4: unread notices, search and batch upload. The administrator
// posts three messages with one batch file (one title holds a Japanese
// word); a second user finds them on his unread page, ticks all, confirms,
// and the menu's counts go to zero; he takes a board out of his notices and
// back, and finds the Japanese word with the search.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { CGI_URL, journey } from './lib/plazet.mjs';

const site = journey();
const ADMIN = process.env.PLAZET_DEMO_ADMIN ?? 'admin';
const USER = process.env.PLAZET_DEMO_USER ?? 'taro';
const PASSWORD = process.env.PLAZET_DEMO_PASSWORD ?? 'plazet';

// "会議" (meeting) and "月曜" (Monday) in Shift-JIS, the site's character set.
const KAIGI = Buffer.from([0x89, 0xef, 0x8b, 0x63]);
const GETSUYO = Buffer.from([0x8c, 0x8e, 0x97, 0x6a]);
const text = (s) => Buffer.from(s, 'latin1');
// News is board 2 and General board 5 in the demo tree.
const BATCH = Buffer.concat([
  text('Notes for the batch.\n;board2\nRe:0\nWeekly '), KAIGI, text('\nPr:0\n'),
  KAIGI, text(' on '), GETSUYO, text('.\n..\nRCK:1\nHTM:0\n'),
  text(';board2\nRe:1\nAgenda\nPr:0\nRoom 3 at ten.\n..\nRCK:1\nHTM:0\n'),
  text(';board5\nRe:0\nLunch\nPr:0\nSoup today.\n..\nRCK:1\nHTM:0\n'),
]);

async function logIn(page, id) {
  await page.goto(CGI_URL, { waitUntil: 'load' });
  await page.fill('input[name=uid]', id);
  await page.fill('input[name=upw]', PASSWORD);
  await Promise.all([page.waitForNavigation(), page.click('input[name=sub]')]);
  await page.frameLocator('frame[name=FRM21]').locator('table').first().waitFor();
}

// Clicks in a frame and waits until the work frame has loaded its next page.
async function toWork(page, frameName, selector) {
  const work = page.frame({ name: 'FRM22' });
  await Promise.all([work.waitForNavigation(), page.frame({ name: frameName }).click(selector)]);
  return work;
}

const menuButton = (job) => `form:has(input[name=JOB][value=${job}]) input[type=submit]`;

test('batch upload, unread notices, notice settings and search', async () => {
  // The administrator posts three messages at once.
  const admin = await site.newPage();
  await logIn(admin, ADMIN);
  let work = await toWork(admin, 'FRM21', menuButton('BATCH_UPLOAD'));
  await work.setInputFiles('input[name=FILE1]', {
    name: 'batch.txt', mimeType: 'text/plain', buffer: BATCH,
  });
  work = await toWork(admin, 'FRM22', 'input[type=submit]');
  const result = await work.locator('body').innerText();
  assert.match(result, /write board\[2\],res\[1\] Weekly 会議/);
  assert.match(result, /write board\[2\],res\[2\] Agenda/);
  assert.match(result, /write board\[5\],res\[1\] Lunch/);
  await site.screenshot(admin, 'batch-result');

  // The second user: three unread messages, in the menu and on his unread page.
  const user = await site.newPage();
  user.on('dialog', (d) => d.accept());
  await logIn(user, USER);
  const menu = user.frame({ name: 'FRM21' });
  const counts = async () => (await menu.locator('body').innerText()).match(/\(\d+\)/g) ?? [];
  assert.deepEqual(await counts(), ['(2)', '(1)']);  // Office (News inside), General

  work = await toWork(user, 'FRM21', menuButton('NRDETAILS'));
  const boxes = work.locator('input[name=FOLSEL]');
  assert.equal(await boxes.count(), 3);
  assert.equal(await work.locator('input[name=FOLSEL]:checked').count(), 0);
  assert.match(await work.locator('body').innerText(), /会議 on 月曜\./);

  // Tick all reloads the page with every box ticked; confirming marks them read.
  // (The list's form encloses the tick-all form: only direct children tell them apart.)
  work = await toWork(user, 'FRM22', 'form:has(> input[name=CHK_ALL]) > input[type=submit]');
  assert.equal(await work.locator('input[name=FOLSEL]:checked').count(), 3);
  await site.screenshot(user, 'unread-ticked');
  work = await toWork(user, 'FRM22', 'input[type=submit][onclick*=confirm]');
  assert.equal(await work.locator('input[name=FOLSEL]').count(), 0);
  assert.match(await work.locator('body').innerText(), /\[2\]News[\s\S]*\[5\]General/);
  await menu.goto(menu.url());
  assert.deepEqual(await counts(), []);

  // General leaves the notices and comes back.
  work = await toWork(user, 'FRM21', menuButton('SETNOREAD'));
  const leftOut = () => work.locator('select[name=NOWNOREAD] option').allInnerTexts();
  assert.deepEqual(await leftOut(), []);
  await work.selectOption('select[name=BOARDLIST]', { label: 'General' });
  work = await toWork(user, 'FRM22', 'input[name=BOARD_IN]');
  assert.deepEqual(await leftOut(), ['General']);
  await work.selectOption('select[name=NOWNOREAD]', { label: 'General' });
  work = await toWork(user, 'FRM22', 'input[name=BOARD_OUT]');
  assert.deepEqual(await leftOut(), []);

  // The search finds the Japanese word in the title of the first message.
  work = await toWork(user, 'FRM21', menuButton('SEARCH'));
  await work.fill('input[name=CONDITION]', '会議');
  work = await toWork(user, 'FRM22', 'input[name=SUB]');
  const hits = work.locator('a[href*="JOB=DETAILS"]:has-text("会議")');
  assert.ok((await hits.count()) >= 1);
  assert.match(await work.locator('body').innerText(), /Weekly 会議[\s\S]*会議 on 月曜\./);
  assert.doesNotMatch(await work.locator('body').innerText(), /Soup today/);
  await site.screenshot(user, 'search-result');
});
