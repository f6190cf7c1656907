// Headless Chromium for the receive page's tests and benchmark, driven over
// the DevTools protocol. Reads one JSON request per line on standard input,
// {"link": URL, "downloads": folder}, opens the link in a new tab without the
// File System Access API (nothing can answer its picker headless), presses
// Save, waits until the page says the save ended and the browser's download,
// if one began, is finished, and answers with one JSON line:
// {"state", "reason", "text", "name", "size", "compression", "encryption",
//  "heapMax" (the most the page's JS heap and its array buffers, the
//  module's memory among them, were seen to hold while saving, bytes),
//  "seconds"}.
import puppeteer from 'puppeteer-core';
import readline from 'node:readline';

const kTimeoutMs = 300000;

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu'],
});
const cdp = await browser.target().createCDPSession();
const downloads = new Map();  // guid -> state
cdp.on('Browser.downloadWillBegin', ({guid}) => downloads.set(guid, 'inProgress'));
cdp.on('Browser.downloadProgress', ({guid, state}) => downloads.set(guid, state));

function Settled() {
  return [...downloads.values()].every((state) => state !== 'inProgress');
}

async function Open({link, downloads: folder}) {
  downloads.clear();
  await cdp.send('Browser.setDownloadBehavior',
                 {behavior: 'allow', downloadPath: folder, eventsEnabled: true});
  const page = await browser.newPage();
  const session = await page.createCDPSession();
  await page.evaluateOnNewDocument(() => { delete window.showSaveFilePicker; });
  await page.goto(link);
  await page.waitForSelector('#status:not([data-state="loading"])', {timeout: kTimeoutMs});
  const shown = await page.$eval('#status', (s) => s.dataset.state);
  let heapMax = 0;
  let seconds = 0;
  if (shown === 'ready') {
    const started = Date.now();
    let sampling = true;
    const sampler = (async () => {
      while (sampling) {
        // Array buffers live outside the JS heap proper: counted too.
        const {usedSize, backingStorageSize} = await session.send('Runtime.getHeapUsage');
        heapMax = Math.max(heapMax, usedSize + (backingStorageSize || 0));
        await new Promise((resolve) => setTimeout(resolve, 100));
      }
    })();
    await page.click('#save');
    await page.waitForSelector('#status[data-state="saved"], #status[data-state="failed"]',
                               {timeout: kTimeoutMs});
    seconds = (Date.now() - started) / 1000;
    sampling = false;
    await sampler;
  }
  const answer = await page.evaluate(() => {
    const text = (id) => document.getElementById(id).textContent;
    const status = document.getElementById('status');
    return {state: status.dataset.state, reason: status.dataset.reason, text: text('status'),
            name: text('name'), size: text('size'), compression: text('compression'),
            encryption: text('encryption')};
  });
  await WaitForDownloads();
  await page.close();
  return {...answer, heapMax, seconds};
}

// The browser reports a download's end as an event; a finished one may
// still be renamed from its temporary name just after.
async function WaitForDownloads() {
  const end = Date.now() + kTimeoutMs;
  while (!Settled()) {
    if (Date.now() > end) throw new Error('the download did not finish');
    await new Promise((resolve) => {
      const done = () => resolve();
      cdp.once('Browser.downloadProgress', done);
      setTimeout(done, 1000);
    });
  }
}

for await (const line of readline.createInterface({input: process.stdin})) {
  let answer;
  try {
    answer = await Open(JSON.parse(line));
  } catch (error) {
    answer = {state: 'driver-error', text: String(error)};
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
}
await browser.close();
