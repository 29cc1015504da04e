// Journey 3: a board in use. The administrator opens a board from the menu,
// posts a message with an attachment and replies to it; a second user sees
// both as unread, reads one, and the mark goes; the administrator deletes
// the reply.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { journey, logIn, inWork, button, ADMIN, USER } from './lib/plazet.mjs';

const site = journey();
const ATTACHMENT = 'Lunch menu\nrice, soup, tea\n';

// Opens the board News (number 2) inside the Dir Office: the Dir is opened
// in the menu first when it is closed.
async function openBoard(page) {
  const menu = page.frame({ name: 'FRM21' });
  const board = menu.locator('a[target=FRM22]:has-text("News")');
  if ((await board.count()) === 0) {
    await Promise.all([menu.waitForNavigation(), menu.click('a:has-text("Office")')]);
  }
  const work = page.frame({ name: 'FRM22' });
  await Promise.all([work.waitForNavigation(), board.click()]);
  await work.locator('text=[2]News').waitFor();
  return work;
}

const rows = (work) => work.locator('table[border] tr:has(a[href*="JOB=DETAILS"])');

test('post, reply, read as another user, delete', async () => {
  const admin = await site.newPage();
  admin.on('dialog', (d) => d.accept());
  await logIn(admin, ADMIN);
  let work = await openBoard(admin);
  assert.equal(await rows(work).count(), 0);

  // A new message with an attachment in slot 1.
  work = await inWork(admin, (w) => w.locator(button('BORDWRITE')).first().click());
  await work.fill('input[name=WRITE_TITLE]', 'Lunch plans');
  await work.fill('textarea[name=WRITE_DATA]', 'Meet at noon.\nBring a friend.');
  await work.setInputFiles('input[name=FILE1]', {
    name: 'menu.txt', mimeType: 'text/plain', buffer: Buffer.from(ATTACHMENT),
  });
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  assert.equal(await rows(work).count(), 1);
  assert.match(await rows(work).first().innerText(), /Lunch plans/);

  // The message page: body, attachment, and the file itself.
  work = await inWork(admin, (w) => w.click('a:has-text("Lunch plans")'));
  assert.match(await work.locator('body').innerText(), /Meet at noon\.\s+Bring a friend\./);
  const link = work.locator('a[href$="/menu.txt"]');
  assert.equal(await link.count(), 1);
  const href = await link.evaluate((a) => a.href);
  assert.match(new URL(href).pathname, /\/plazetpic\/2\/x1\/1\/menu\.txt$/);
  const file = await admin.request.get(href);
  assert.equal(file.status(), 200);
  assert.equal(await file.text(), ATTACHMENT);
  await site.screenshot(admin, 'message');

  // A reply, quoting the message.
  work = await inWork(admin, (w) =>
    w.locator(button('BORDWRITE', ':has(input[name=SEL_NO])')).click());
  assert.match(await work.inputValue('textarea[name=WRITE_DATA]'), /^>Meet at noon\./);
  await work.fill('input[name=WRITE_TITLE]', 'Count me in');
  await work.fill('textarea[name=WRITE_DATA]', 'See you there.');
  work = await inWork(admin, (w) => w.click('input[name=SUB]'));
  assert.equal(await rows(work).count(), 2);
  assert.match(await rows(work).nth(1).innerText(), /Re:\^1:Count me in/);
  assert.equal(await work.locator('img[src$="new.gif"]').count(), 0);  // his own messages

  // The second user: two unread, in the menu and in the listing.
  const user = await site.newPage();
  await logIn(user, USER);
  const menu = user.frame({ name: 'FRM21' });
  assert.match(await menu.locator('body').innerText(), /\(2\)Office/);  // the Dir sums its boards
  let seen = await openBoard(user);
  assert.match(await menu.locator('body').innerText(), /\(2\)News/);
  assert.equal(await seen.locator('img[src$="new.gif"]').count(), 2);
  seen = await inWork(user, (w) => w.click('a:has-text("Count me in")'));
  assert.match(await seen.locator('body').innerText(), /See you there\./);
  // The whole thread is listed under the message, the shown one marked.
  const thread = seen.locator('table[border]:has-text("NowDisp")');
  assert.equal(await thread.count(), 1);
  assert.match(await thread.innerText(), /Lunch plans[\s\S]*Count me in/);
  await site.screenshot(user, 'thread');
  seen = await openBoard(user);
  assert.equal(await seen.locator('img[src$="new.gif"]').count(), 1);
  await site.screenshot(user, 'listing-unread');

  // The administrator deletes the reply: a leaf goes away entirely.
  work = await openBoard(admin);
  work = await inWork(admin, (w) => w.click('a:has-text("Count me in")'));
  work = await inWork(admin, (w) => w.locator(button('DELMSG')).click());
  assert.equal(await rows(work).count(), 1);
  assert.match(await rows(work).first().innerText(), /Lunch plans/);
  await site.screenshot(admin, 'after-delete');
});
