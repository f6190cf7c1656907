// The receive page's service worker: answers the page's made-up download
// address with a stream that the page feeds chunk by chunk, so that the
// browser saves a file of any size to disk without holding it in memory.
'use strict';

// Download id -> {name, port}, from the page's message until its request.
const announced = new Map();

self.addEventListener('install', () => self.skipWaiting());
self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

self.addEventListener('message', (event) => {
  const {id, name} = event.data || {};
  const port = event.ports[0];
  if (typeof id !== 'string' || !port) return;
  announced.set(id, {name, port});
  port.postMessage('announced');
});

self.addEventListener('fetch', (event) => {
  const id = new URL(event.request.url).searchParams.get('quiver-download');
  const download = id && announced.get(id);
  if (!download) return;
  announced.delete(id);
  event.respondWith(new Response(StreamFrom(download.port), {
    headers: {
      'Content-Type': 'application/octet-stream',
      'Content-Disposition': "attachment; filename*=UTF-8''" + encodeURIComponent(download.name),
      'X-Content-Type-Options': 'nosniff',
    },
  }));
});

// The page posts {chunk: ArrayBuffer} messages, then {done: true} or
// {failed: true}. Each chunk is acknowledged with 'more' once the stream has
// room for it, so what waits in memory stays bounded; 'cancelled' tells the
// page that the browser gave up the download.
function StreamFrom(port) {
  let owed = 0;
  return new ReadableStream({
    start(controller) {
      port.onmessage = ({data}) => {
        if (data.chunk) {
          controller.enqueue(new Uint8Array(data.chunk));
          if (controller.desiredSize > 0) port.postMessage('more');
          else ++owed;
        } else if (data.done) {
          controller.close();
        } else if (data.failed) {
          controller.error(new Error('The file was not saved.'));
        }
      };
    },
    pull() {
      for (; owed > 0; --owed) port.postMessage('more');
    },
    cancel() {
      port.postMessage('cancelled');
    },
  }, new ByteLengthQueuingStrategy({highWaterMark: 4 * 1024 * 1024}));
}
