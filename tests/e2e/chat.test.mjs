// Journey 4: a chat room. Two users enter the room Lobby from the menu; one
// says a line in Japanese, the other sees it in the log frame after its
// reload; both leave and the room's notices show it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { journey, logIn, ADMIN, USER } from './lib/plazet.mjs';

const site = journey();
const LINE = 'こんにちは、今日の会議は三時からです';

// Opens the room from the menu and enters it, reloading the log every 10 s.
async function enterLobby(page) {
  const menu = page.frame({ name: 'FRM21' });
  await menu.click('a[target=FRM22]:has-text("Lobby")');
  const input = page.frameLocator('frame[name=FRM22]').frameLocator('frame[name=CHAT1]');
  await input.locator('input[name=SUB]').waitFor();
  await input.locator('select[name=RELOAD_TIME]').selectOption('10');
  await input.locator('input[name=SUB]').click();
  await input.locator('input[name=MTALK]').waitFor();
  return input;
}

const log = (page) =>
  page.frameLocator('frame[name=FRM22]').frameLocator('frame[name=CHAT2]').locator('body');

// The log's lines, newest first, that the room itself wrote.
async function notices(page) {
  const text = await log(page).innerText();
  return text.split('\n').filter((l) => l.startsWith('System >'));
}

test('two users talk in a chat room', async () => {
  const admin = await site.newPage();
  const user = await site.newPage();
  await logIn(admin, ADMIN);
  await logIn(user, USER);
  const adminInput = await enterLobby(admin);
  const userInput = await enterLobby(user);
  await assert.doesNotReject(log(user).filter({ hasText: 'Administrator' }).waitFor());

  // A line in Japanese: the sender's log frame shows it at once.
  await adminInput.locator('input[name=MTALK]').fill(LINE);
  await adminInput.locator('input[type=submit]').first().click();
  await log(admin).filter({ hasText: LINE }).waitFor({ timeout: 10_000 });
  assert.equal(await adminInput.locator('input[name=MTALK]').inputValue(), '');
  // The other user's log frame reloads by itself: every 30 seconds until the
  // user's own first line carries the chosen interval to it.
  await log(user).filter({ hasText: LINE }).waitFor({ timeout: 40_000 });
  assert.match(await log(user).innerText(), new RegExp(`^\\.Administrator > ${LINE}`));
  await site.screenshot(user, 'chat');

  // Both leave: the input frame offers to enter again, the log has the notices.
  for (const input of [userInput, adminInput]) {
    await input.locator('input[type=submit]').last().click();
    await input.locator('select[name=RELOAD_TIME]').waitFor();
  }
  await admin.frameLocator('frame[name=FRM22]').frameLocator('frame[name=CHAT2]')
    .locator('body').filter({ hasText: 'Taro Yamada' }).waitFor();
  await admin.waitForTimeout(11_000);  // one more reload of the log frame
  const lines = await notices(admin);
  assert.equal(lines.length, 4, lines.join('\n'));
  assert.match(lines[0], /^System > \.Administrator /);
  assert.match(lines[1], /^System > \.Taro Yamada /);
  assert.match(lines[2], /^System > \.Taro Yamada /);
  assert.match(lines[3], /^System > \.Administrator /);
  const tail = (line) => line.replace(/^System > \.\S+( Yamada)? /, '').replace(/\(.*$/, '');
  assert.equal(tail(lines[0]), tail(lines[1]));
  assert.notEqual(tail(lines[0]), tail(lines[3]));
  await site.screenshot(admin, 'chat-left');
});
