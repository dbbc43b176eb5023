// Starts bessel-recurrence-web on a free port of the loopback and stops it: the server the
// tests of one worker talk to. With BESSEL_STATIC_SITE naming a folder of scripts/static-site,
// a plain file server of that folder instead (Python's), with no laboratory behind it.
const { spawn } = require('child_process');

const STATIC_SITE = process.env.BESSEL_STATIC_SITE || '';

const START_DEADLINE_MS = 30 * 1000;
const STOP_DEADLINE_MS = 10 * 1000;

function requiredProgram(variable) {
  const program = process.env[variable];
  if (!program) throw new Error(`${variable} must name the program (a path)`);
  return program;
}

// Resolves to {url, child} once the server prints its URL ("http://127.0.0.1:PORT/").
function startServer() {
  const [program, args] = STATIC_SITE
    ? ['python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', STATIC_SITE, '0']]
    : [requiredProgram('BESSEL_WEB_PROGRAM'), ['--listen', '127.0.0.1:0']];
  const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let pending = '';
    let found = false;
    const fail = (error) => {
      clearTimeout(timer);
      if (!found) reject(error);
    };
    const timer = setTimeout(() => {
      child.kill('SIGTERM');
      fail(new Error(`${program} printed no URL within ${START_DEADLINE_MS / 1000} s`));
    }, START_DEADLINE_MS);
    // stdout is read to its end, so that the server never blocks on a full pipe.
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      if (found) return;
      pending += chunk;
      const lines = pending.split('\n');
      pending = lines.pop();
      const line = lines.find((text) => text.includes('http://'));
      if (!line) return;
      found = true;
      clearTimeout(timer);
      const url = line.slice(line.indexOf('http://')).split(/\s/)[0].replace(/[.,;)]+$/, '');
      resolve({ url: url.endsWith('/') ? url : url + '/', child });
    });
    child.on('error', fail);
    child.on('exit', (code, signal) => fail(new Error(`${program} ended (${code ?? signal}) before printing its URL`)));
  });
}

// SIGTERM, then waits for the exit (SIGKILL past the deadline).
function stopServer(server) {
  if (!server) return Promise.resolve();
  const { child } = server;
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    const timer = setTimeout(() => child.kill('SIGKILL'), STOP_DEADLINE_MS);
    child.on('exit', () => {
      clearTimeout(timer);
      resolve();
    });
    child.kill('SIGTERM');
  });
}

module.exports = { startServer, stopServer, requiredProgram, STATIC_SITE };
