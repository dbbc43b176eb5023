// The laboratory in a Web Worker. Emscripten's module (bessel-recurrence-wasm.js) comes just
// before this in the same script: it is started once, then each message {id, path, query} is
// answered with {id, status, type, body}, the web server's answer to the same request. A run
// cannot be interrupted from inside: the page ends the worker instead, and starts another.
// Where the module fails (it could not start, or memory ran out), the answer is a 500 with
// `ended` set, and the page starts another worker for its next request.
'use strict';

const started = BesselRecurrenceLab();

self.onmessage = async (event) => {
  const { id, path, query } = event.data;
  try {
    const lab = await started;
    const answer = lab.answer(String(path), String(query));
    self.postMessage({ id, status: answer.status, type: answer.type, body: answer.body });
  } catch (error) {
    const complaint = 'the laboratory stopped in this browser (' + String(error && error.message || error) +
      '): ask for fewer orders, or run bessel-recurrence-lab';
    self.postMessage({ id, status: 500, type: 'application/json', body: JSON.stringify({ error: complaint }),
      ended: true });
    self.close();
  }
};
