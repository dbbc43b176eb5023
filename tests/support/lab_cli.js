// bessel-recurrence-lab asked what a query of the API asks, for the JavaScript tests and
// measurements: the lab's own bytes are what every answer of the API is held to.
'use strict';

const { spawnSync } = require('child_process');

// The lab's arguments for a query: "x=1&orders=30" -> --x 1 --orders 30.
function labArguments(query) {
  const args = [];
  for (const [name, value] of new URLSearchParams(query)) args.push('--' + name, value);
  return args;
}

// {status, stdout, stderr} of the lab (LAB_PROGRAM a path) with `args`, `input` its standard
// input.
function runLab(program, args, input) {
  const ran = spawnSync(program, args, { input, maxBuffer: 1 << 30 });
  if (ran.error) throw ran.error;
  return ran;
}

// The complaint a refusal's first line gives, without the program's name: the API's words.
function labComplaint(stderr) {
  return stderr.toString().split('\n')[0].replace(/^bessel-recurrence-lab: /, '');
}

module.exports = { labArguments, runLab, labComplaint };
