// Journey 6: the administrator builds a board inside a new folder, gives a
// group the write right, moves the board to the top and finds it in the
// menu; a user applies for an ID, the administrator accepts it, and the new
// account logs in with the applied password.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { journey, logIn, inWork, button, ADMIN, PASSWORD, USER } from './lib/plazet.mjs';

const site = journey();

const iconLink = (job, name) => `a[href*="JOB=${job}&"]:has(img[alt="${name}"])`;

async function newFolder(admin, work, { place, inside, kind, name }) {
  work = await inWork(admin, (w) => w.click(button('NEWFOLDER')));
  if (place) {
    const value = await work
      .locator(`select[name=DISPNO] option`, { hasText: `:${place}` })
      .getAttribute('value');
    await work.selectOption('select[name=DISPNO]', value);
  }
  await work.selectOption('select[name=CLASS]', inside ? '2' : '1');
  await work.selectOption('select[name=MODE]', kind);
  await work.fill('input[name=NAME]', name);
  return inWork(admin, (w) => w.click('input[name=SUB]'));
}

test('a board made inside a folder, given a group, moved to the top of the menu', async () => {
  const admin = await site.newPage();
  assert.ok(await logIn(admin, ADMIN, PASSWORD));
  let work = await inWork(admin, (m) => m.click(button('ADMIN')), 'FRM21');
  // A group to give the right to.
  work = await inWork(admin, (w) => w.click(button('GROUPLIST')));
  work = await inWork(admin, (w) => w.click(button('NEWGROUP')));
  const group = await work.inputValue('input[name=T02_GROUP_ID]');
  await work.fill('input[name=T02_GROUP_NAME]', 'Journey Group');
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  work = await inWork(admin, (w) => w.click(button('ADMIN')));
  work = await inWork(admin, (w) => w.click(button('FOLDERLIST')));
  work = await newFolder(admin, work, { kind: '1', name: 'Journey Dir' });
  work = await newFolder(admin, work, {
    place: 'Journey Dir',
    inside: true,
    kind: '2',
    name: 'Journey Board',
  });
  // The board sits right under Journey Dir, one level deeper.
  const names = await work.locator('table[border] tr td:nth-child(3)').allInnerTexts();
  const at = names.findIndex((n) => n.trim() === 'Journey Dir');
  assert.ok(at >= 0);
  assert.equal(names[at + 1].trim(), 'Journey Board');

  // The write right for a group on the access page.
  work = await inWork(admin, (w) => w.click(iconLink('BORDACCESS', 'Journey Board')));
  await work.selectOption('select[name=GROUPLIST]', group);
  await work.selectOption('select[name=GROUPMODE]', '2');
  work = await inWork(admin, (w) => w.click('input[name=GROUP_ADD]'));
  const right = (await work.locator('select[name=GROUPMODE] option[value="2"]').innerText()).trim();
  assert.deepEqual(await work.locator('select[name=NOWGROUP] option').allInnerTexts(), [
    `Journey Group[${right}]`,
  ]);
  await site.screenshot(admin, 'board-access');

  // Moved to the top of the tree.
  work = await inWork(admin, (w) => w.click(button('FOLDERLIST')));
  work = await inWork(admin, (w) => w.click(iconLink('BORDMOVE', 'Journey Board')));
  await work.selectOption('select[name=DISPNO]', '0');
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  const first = await work.locator('table[border] tr:nth-child(2) td:nth-child(3)').innerText();
  assert.equal(first.trim(), 'Journey Board');
  await site.screenshot(admin, 'folder-list');

  // The menu shows it.
  const menu = admin.frame({ name: 'FRM21' });
  await Promise.all([
    menu.waitForNavigation(),
    menu.evaluate(() => setTimeout(() => location.reload(), 0)),
  ]);
  assert.ok((await menu.locator('text=Journey Board').count()) > 0);
});

test('an ID application accepted by the administrator opens the site', async () => {
  const user = await site.newPage();
  assert.ok(await logIn(user, USER, PASSWORD));
  let work = await inWork(user, (m) => m.click(button('IDSINSEI')), 'FRM21');
  await work.fill('input[name=USER_ID]', 'newcomer');
  await work.fill('input[name=USER_PASS]', 'applied1');
  await work.fill('input[name=USER_NAME]', 'New Comer');
  work = await inWork(user, (w) => w.click('input[name=SUB]'));
  assert.ok((await work.locator('td', { hasText: 'newcomer' }).count()) > 0);

  const admin = await site.newPage();
  assert.ok(await logIn(admin, ADMIN, PASSWORD));
  work = await inWork(admin, (m) => m.click(button('ADMIN')), 'FRM21');
  work = await inWork(admin, (w) => w.click(button('IDSINSEIlist2')));
  await work.check('input[type=checkbox][name=USER_ID][value=newcomer]');
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  assert.equal(await work.locator('input[type=checkbox][value=newcomer]').count(), 0);

  const newcomer = await site.newPage();
  assert.ok(await logIn(newcomer, 'newcomer', 'applied1'));
});
