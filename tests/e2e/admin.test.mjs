// Journey 4: administration. The administrator creates a group and a user
// with a Japanese name, puts the user in the group; the user logs in,
// changes the password on the own-data page, and logs in again with it.
// Every button of the menus and of the folder list opens a page.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { journey, logIn, inWork, button, ADMIN, PASSWORD } from './lib/plazet.mjs';

const site = journey();
const GROUP = '営業部';
const NAME = '山田花子';

test('a new user in a group changes the password on the own-data page', async () => {
  const admin = await site.newPage();
  assert.ok(await logIn(admin, ADMIN, PASSWORD));

  // Administration menu, group list, a new group with the number offered.
  let work = await inWork(admin, (m) => m.click(button('ADMIN')), 'FRM21');
  work = await inWork(admin, (w) => w.click(button('GROUPLIST')));
  work = await inWork(admin, (w) => w.click(button('NEWGROUP')));
  const number = await work.inputValue('input[name=T02_GROUP_ID]');
  await work.fill('input[name=T02_GROUP_NAME]', GROUP);
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  assert.equal(await work.locator(`a:has-text("${GROUP}")`).count(), 1);

  // A new user with a Japanese name; the form of the saved user follows.
  work = await inWork(admin, (w) => w.click(button('ADMIN')));
  work = await inWork(admin, (w) => w.click(button('USERLIST')));
  work = await inWork(admin, (w) => w.click(button('USERMENT')));
  await work.fill('input[name=USER_ID]', 'hanako');
  await work.fill('input[name=USER_PASS]', 'first1');
  await work.fill('input[name=USER_NAME]', NAME);
  await work.fill('input[name=USER_LEVEL]', '1');
  work = await inWork(admin, (w) => w.click('input[name=SUB1]'));
  assert.equal(await work.inputValue('input[name=USER_NAME]'), NAME);
  assert.equal(await work.locator('input[type=hidden][name=USER_ID]').getAttribute('value'), 'hanako');

  // Into the group.
  await work.selectOption('select[name=GROUPLIST]', number);
  work = await inWork(admin, (w) => w.click('input[name=GROUP_IN]'));
  assert.deepEqual(await work.locator('select[name=NOWGROUP] option').allInnerTexts(), [GROUP]);
  await site.screenshot(admin, 'user-form');

  // The list by ID shows her with her name and without a group of her own.
  work = await inWork(admin, (w) => w.click('input[name=SUB2]'));
  work = await inWork(admin, (w) => w.click(button('USERLIST', ':has(input[value=ORDER_ID])')));
  const row = work.locator('tr:has(a:has-text("hanako"))');
  assert.match(await row.innerText(), new RegExp(NAME));

  // She logs in and changes her password on her own page.
  const user = await site.newPage();
  assert.ok(await logIn(user, 'hanako', 'first1'));
  let own = await inWork(user, (m) => m.click(button('MYDATA')), 'FRM21');
  assert.equal(await own.inputValue('input[name=USER_NAME]'), NAME);
  await own.fill('input[name=USER_PASS]', 'second2');
  own = await inWork(user, (w) => w.click('input[name=SUB1]'));
  assert.equal(await own.inputValue('input[name=USER_PASS]'), 'second2');
  await site.screenshot(user, 'own-data');

  // Only the new password opens the site now.
  const again = await site.newPage();
  assert.equal(await logIn(again, 'hanako', 'first1'), false);
  assert.ok(await logIn(again, 'hanako', 'second2'));
});

test('every button of the folder menu, the administration menu and the folder list opens a page', async () => {
  const admin = await site.newPage();
  admin.on('dialog', (dialog) => dialog.accept());
  assert.ok(await logIn(admin, ADMIN, PASSWORD));
  const jobsIn = (frame) =>
    frame.locator('form input[name=JOB]').evaluateAll((inputs) => inputs.map((i) => i.value));
  // Opens a page in the work frame; a job that printed nothing is the web server's error.
  const opens = async (what, action, from = 'FRM22') => {
    const work = admin.frame({ name: 'FRM22' });
    const [response] = await Promise.all([work.waitForNavigation(), action(admin.frame({ name: from }))]);
    assert.equal(response.status(), 200, `${what}: HTTP ${response.status()}`);
    assert.notEqual((await work.locator('body').innerText()).trim(), '', `${what}: an empty page`);
    return work;
  };

  const menu = (await jobsIn(admin.frame({ name: 'FRM21' }))).filter((job) => job !== 'LOGOFF');
  assert.ok(menu.includes('ADMIN') && menu.includes('IDSINSEI'), menu.join(' '));
  for (const job of menu) await opens(job, (m) => m.click(button(job)), 'FRM21');

  const adminMenu = await jobsIn(await opens('ADMIN', (m) => m.click(button('ADMIN')), 'FRM21'));
  assert.ok(adminMenu.includes('FOLDERLIST') && adminMenu.includes('AccessLogDISP'), adminMenu.join(' '));
  for (const job of adminMenu) {
    await opens('ADMIN', (m) => m.click(button('ADMIN')), 'FRM21');
    await opens(job, (w) => w.click(button(job)));
  }

  const toList = async () => {
    await opens('ADMIN', (m) => m.click(button('ADMIN')), 'FRM21');
    return opens('FOLDERLIST', (w) => w.click(button('FOLDERLIST')));
  };
  for (const job of ['NEWFOLDER', 'DELFOLDER']) {
    await toList();
    await opens(job, (w) => w.click(button(job)));
  }
  for (const job of ['BORDCONFIG', 'BORDACCESS', 'BORDMOVE']) {
    await toList();
    await opens(job, (w) => w.click(`a[href*="JOB=${job}&"] >> nth=0`));
  }
});
