// Journey 1: a visitor opens the program's address and sees the log-in page.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { CGI_URL, journey } from './lib/plazet.mjs';

const site = journey();

test('log-in page shows the form, the title and the log-in picture', async () => {
  const page = await site.newPage();
  const response = await page.goto(CGI_URL, { waitUntil: 'load' });

  assert.equal(response.status(), 200);
  assert.match(response.headers()['content-type'] ?? '', /^text\/html/);

  const title = await page.title();
  assert.ok(title.startsWith('Welcome to Plazet Ver2.13'), `title was ${JSON.stringify(title)}`);

  // One form, posted back to the program itself.
  assert.equal(await page.locator('form').count(), 1);
  const form = await page.locator('form').evaluate((f) => ({
    action: f.getAttribute('action'),
    actionUrl: f.action,
    method: f.method,
    fields: [...f.elements].map((e) => ({
      name: e.name,
      type: e.type,
      value: e.value,
      maxLength: e.maxLength,
    })),
  }));
  assert.equal(form.action, 'plazet.cgi');
  assert.equal(form.actionUrl, CGI_URL);
  assert.equal(form.method, 'post');

  const field = (name) => {
    const found = form.fields.filter((f) => f.name === name);
    assert.equal(found.length, 1, `exactly one form field named ${name}`);
    return found[0];
  };
  assert.equal(field('uid').type, 'text');
  assert.equal(field('uid').maxLength, 20);
  assert.equal(field('upw').type, 'password');
  assert.equal(field('upw').maxLength, 20);
  assert.equal(field('JOB').type, 'hidden');
  assert.equal(field('JOB').value, 'TOP');
  assert.equal(field('sub').type, 'submit');
  assert.ok(await page.locator('input[type=submit][name=sub]').isVisible());
  assert.ok(await page.locator('input[name=uid]').isEditable());
  assert.ok(await page.locator('input[name=upw]').isEditable());

  // The log-in picture comes from the picture directory and is decoded.
  const img = page.locator('img[src$="title.jpg"]');
  assert.equal(await img.count(), 1);
  const src = await img.evaluate((i) => i.src);
  assert.equal(new URL(src).pathname, '/plazetpic/title.jpg');
  const picture = page.responses.find((r) => r.url() === src);
  assert.ok(picture, `no response for ${src}`);
  assert.equal(picture.status(), 200);
  assert.match(picture.headers()['content-type'] ?? '', /^image\/jpeg/);
  const naturalWidth = await img.evaluate((i) => (i.complete ? i.naturalWidth : 0));
  assert.ok(naturalWidth > 0, `title.jpg naturalWidth ${naturalWidth}`);

  // Everything else the page loaded (background picture, ...) was found.
  const failed = page.responses
    .filter((r) => r.status() >= 400 && !r.url().endsWith('/favicon.ico'))
    .map((r) => `${r.status()} ${r.url()}`);
  assert.deepEqual(failed, []);

  await site.screenshot(page, 'login');
});
