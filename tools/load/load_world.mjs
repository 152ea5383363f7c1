// The world table's server under load and a kill -9, on 127.0.0.1 only.
//
// Starts vantor-server (its own SQLite folder, or the PostgreSQL database it
// is given), sends every valid round and every hostile body of the rounds
// folder (made by `vantor_bench daily-rounds`) from a few dozen connections
// at once, kills the server with SIGKILL once half the valid rounds are in,
// starts it again on the same port and carries on. Each round asks for a
// round token first and is sent once the token is a few seconds old (the
// round's 60 s then stand within the table's slack of the time since).
// Answers 503 and 429 are sent again after their Retry-After, and a request
// the kill cut off is sent again to the new server (with a new token): a
// round stored just before the kill comes back as 200, the same id.
//
// Then it checks the table, in the database itself and through the API:
// every acknowledged valid round stored exactly once, under its id, name,
// day, score and combo, with the very bytes sent; no hostile file stored; no
// row that was not acknowledged; no row without its player or with bytes
// that are not its hash's; the day's table holding each player's best. And
// it prints what the run cost: accepted rounds per second, the latency of
// the answers, the server's CPU (its own and its verifiers') per round.
//
// Bounded: at most --limit seconds, then the server is killed and the run
// fails. Exit status 0 when every check holds.
//
//   node load_world.mjs --server PROGRAM --rounds DIR --data DIR [--database URL]
//        [--valid N] [--hostile N] [--connections N] [--workers N] [--limit SECONDS]
//        [--plants drop,twice,hostile,half]   (after the checks pass, each fault
//        is put into a copy of the stored SQLite table, and the checks run again
//        must see it; see plant)
import { spawn, execFileSync } from 'node:child_process';
import { createHash, randomBytes } from 'node:crypto';
import { readFileSync, readdirSync, existsSync, copyFileSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const args = parseArgs(process.argv.slice(2));
const ticks = Number(execFileSync('getconf', ['CLK_TCK']).toString().trim()) || 100;
const started = Date.now();
const failures = [];
let quiet = false;  // while a planted fault is looked for
const fail = (line) => { if (!quiet && failures.length < 40) console.log('FAILED: ' + line); failures.push(line); };
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

function parseArgs(list) {
  const options = { valid: 60, hostile: 60, connections: 32, workers: 0, limit: 240, database: '', plants: '' };
  for (let i = 0; i + 1 < list.length; i += 2) {
    const key = list[i].replace(/^--/, '');
    if (!(key in options) && !['server', 'rounds', 'data'].includes(key)) throw new Error('unknown option ' + list[i]);
    options[key] = typeof options[key] === 'number' ? Number(list[i + 1]) : list[i + 1];
  }
  for (const needed of ['server', 'rounds', 'data']) if (!options[needed]) throw new Error('--' + needed + ' is needed');
  return options;
}

// ------------------------------------------------------------------ the bodies

function loadJobs() {
  const valid = readdirSync(path.join(args.rounds, 'valid')).filter((f) => f.endsWith('.vtreplay')).sort();
  const hostile = readdirSync(path.join(args.rounds, 'hostile')).filter((f) => f.endsWith('.vtreplay')).sort();
  if (valid.length < args.valid || hostile.length < args.hostile) {
    throw new Error(`${args.rounds} holds ${valid.length} valid and ${hostile.length} hostile rounds, not ${args.valid} and ${args.hostile}`);
  }
  const jobs = [];
  // Four rounds to a player's name: a name's later rounds are checked against
  // its claim, and the table shows each name's best.
  valid.slice(0, args.valid).forEach((file, i) => {
    const body = readFileSync(path.join(args.rounds, 'valid', file));
    const name = `load ${String(Math.floor(i / 4)).padStart(4, '0')}`;
    jobs.push({ kind: 'valid', file, body, hash: sha256(body), name, key: keyOf(name), expect: [201] });
  });
  hostileFiles = hostile.slice(0, args.hostile).map((file, i) => {
    const body = readFileSync(path.join(args.rounds, 'hostile', file));
    const [, kind, status] = file.replace('.vtreplay', '').split('-');
    const name = `hostile ${String(i).padStart(4, '0')}`;
    return { kind: 'hostile ' + kind, file, body, hash: sha256(body), name, key: keyOf(name), expect: [Number(status)] };
  });
  jobs.push(...hostileFiles);
  // And requests that carry a valid round but must be refused for what is
  // around it: one for every ten valid rounds.
  const misfits = [
    ['no token', (job) => ({ token: null, expect: [400] })],
    ['made-up token', (job) => ({ token: randomBytes(16).toString('hex'), expect: [422] })],
    ['no name', (job) => ({ player: ':' + job.key, expect: [400] })],
  ];
  for (let i = 0; i < Math.floor(args.valid / 10); ++i) {
    const round = jobs[i * 10 % args.valid];
    const [kind, make] = misfits[i % misfits.length];
    jobs.push({ ...round, kind: 'hostile request: ' + kind, hostileRequest: true, ...make(round) });
  }
  // A fixed shuffle, so two runs send the same order.
  let state = 20261209;
  for (let i = jobs.length - 1; i > 0; --i) {
    state = (Math.imul(state, 1103515245) + 12345) >>> 0;
    const j = state % (i + 1);
    [jobs[i], jobs[j]] = [jobs[j], jobs[i]];
  }
  return jobs;
}
let hostileFiles = [];

function keyOf(name) { return 'k' + sha256('load-world ' + name).slice(0, 39); }

// ------------------------------------------------------------------ the server

let server = null;  // { child, port, pid }
let port = 0;
const cpu = new Map();  // pid -> CPU seconds last seen (a server's counts its reaped verifiers)

function start() {
  return new Promise((resolve, reject) => {
    const listen = `127.0.0.1:${port}`;
    const options = ['--listen', listen, '--data', args.data, '--rate-player', '1000000/1', '--rate-address', '1000000/1'];
    if (args.database) options.push('--database', args.database);
    if (args.workers > 0) options.push('--workers', String(args.workers));
    const child = spawn(args.server, options, { stdio: ['ignore', 'pipe', 'pipe'] });
    writeFileSync(args.data + '.pid', String(child.pid));  // for the script's clean-up, should this end unawares
    let said = '';
    let errors = '';
    child.stderr.on('data', (chunk) => { errors = (errors + chunk).slice(-4000); });
    child.stdout.on('data', (chunk) => {
      said += chunk;
      const heard = /listening on 127\.0\.0\.1:(\d+)/.exec(said);
      if (heard && !server) {
        port = Number(heard[1]);
        server = { child, pid: child.pid };
        resolve();
      }
    });
    child.on('exit', (code, signal) => {
      if (!server || server.child !== child) reject(new Error(`the server ended at its start (${code ?? signal}): ${errors}`));
    });
  });
}

// Every process of the server: it and its verifiers.
function family(pid) {
  const members = [pid];
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      if (Number(fields[1]) === pid) members.push(Number(entry));
    } catch { /* gone meanwhile */ }
  }
  return members;
}

// The CPU seconds of the server and its verifiers, kept per process (the
// server's own count takes in the verifiers it has reaped).
function sampleCpu() {
  if (!server) return;
  for (const pid of family(server.pid)) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      // utime, stime, and for the server cutime and cstime (fields 14 to 17).
      let seconds = (Number(f[11]) + Number(f[12])) / ticks;
      if (pid === server.pid) seconds += (Number(f[13]) + Number(f[14])) / ticks;
      cpu.set(pid, Math.max(cpu.get(pid) ?? 0, seconds));
    } catch { /* gone meanwhile */ }
  }
}

let serverUp = false;
let killedOnce = false;
let orphans = [];

async function killAndRestart() {
  killedOnce = true;
  sampleCpu();
  orphans = family(server.pid).slice(1);
  const underWay = inFlight;
  const old = server;
  serverUp = false;
  const ended = new Promise((done) => old.child.on('exit', done));
  process.kill(old.pid, 'SIGKILL');
  await ended;
  server = null;
  console.log(`  kill -9 of the server after ${acked.size} acknowledged rounds, ${underWay} requests under way`);
  await start();
  serverUp = true;
}

// ------------------------------------------------------------------ requests

const agent = new http.Agent({ keepAlive: true, maxSockets: args.connections });

function request(method, pathName, body, headers = {}) {
  return new Promise((resolve) => {
    const began = performance.now();
    const req = http.request({ host: '127.0.0.1', port, method, path: pathName, agent, headers: {
      ...headers, ...(body ? { 'Content-Type': 'application/octet-stream', 'Content-Length': body.length } : {}),
    } }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks),
                                    ms: performance.now() - began }));
      res.on('error', (error) => resolve({ status: 0, error, ms: performance.now() - began }));
    });
    req.setTimeout(180000, () => req.destroy(new Error('no answer in 180 s')));
    req.on('error', (error) => resolve({ status: 0, error, ms: performance.now() - began }));
    if (body) req.write(body);
    req.end();
  });
}

async function token() {
  for (;;) {
    const res = await request('POST', '/api/v1/daily/token', null);
    if (res.status === 201) return { text: JSON.parse(res.body).token, at: Date.now() };
    await sleep(res.status === 0 ? 200 : retryAfter(res));
  }
}

function retryAfter(res) { return 1000 * Math.min(Number(res.headers?.['retry-after'] ?? 1) || 1, 10); }

const acked = new Map();   // hash -> { id, score, combo, name, job }
const latency = { accepted: [], refused: [] };
const counts = { busy: 0, tooMany: 0, cutOff: 0, retried: 0, sameId: 0 };
let inFlight = 0;

async function send(job, spare) {
  for (let attempt = 0; ; ++attempt) {
    if (attempt > 0) counts.retried++;
    while (!serverUp) await sleep(50);
    let tokenText = job.token;
    if (tokenText === undefined) {
      const t = spare.token && Date.now() - spare.token.at < 90000 ? spare.token : await token();
      spare.token = null;
      // The round's minute must stand within the slack of the time since its token.
      const wait = t.at + 2200 - Date.now();
      if (wait > 0) await sleep(wait);
      tokenText = t.text;
    }
    const headers = { 'X-Vantor-Player': job.player ?? `${job.name}:${job.key}` };
    if (tokenText) headers['X-Vantor-Token'] = tokenText;
    inFlight++;
    const res = await request('POST', '/api/v1/rounds', job.body, headers);
    inFlight--;
    if (job.token === undefined && serverUp) spare.token = await token();  // aged by the next round
    if (res.status === 0) {
      // A body over the limit may be refused before it is all sent: the
      // connection is closed under it.
      if (job.expect[0] === 413 && serverUp && res.error?.code === 'EPIPE') return { status: 413, ms: res.ms };
      counts.cutOff++;
      await sleep(100);
      continue;
    }
    if (res.status === 503) { counts.busy++; await sleep(retryAfter(res)); continue; }
    if (res.status === 429) { counts.tooMany++; await sleep(retryAfter(res)); continue; }
    return { status: res.status, ms: res.ms, body: res.body };
  }
}

async function runJob(job, spare) {
  const res = await send(job, spare);
  const text = res.body ? res.body.toString() : '';
  if (job.kind === 'valid') {
    if (res.status !== 201 && res.status !== 200) return fail(`valid round ${job.file} answered ${res.status}: ${text}`);
    const answer = JSON.parse(text);
    if (res.status === 200) counts.sameId++;  // stored before the kill, its answer lost
    acked.set(job.hash, { id: answer.id, score: answer.score, combo: answer.combo, name: job.name, job });
    latency.accepted.push(res.ms);
    if (!killedOnce && acked.size >= Math.ceil(args.valid / 2)) await killAndRestart();
    return;
  }
  latency.refused.push(res.ms);
  if (res.status >= 200 && res.status < 300) return fail(`${job.kind} (${job.file}) was accepted: ${text}`);
  if (!job.expect.includes(res.status)) fail(`${job.kind} (${job.file}) answered ${res.status}, not ${job.expect}: ${text}`);
}

// ------------------------------------------------------------------ the checks

function sql(query) {
  if (args.database) {
    return execFileSync('psql', ['-X', '-At', '-F', '|', '-d', args.database, '-c', query], { maxBuffer: 1 << 28 }).toString();
  }
  return execFileSync('sqlite3', ['-readonly', '-separator', '|', databaseFile, query], { maxBuffer: 1 << 28 }).toString();
}
let databaseFile = path.join(args.data, 'world.sqlite');

// What the table holds against what was acknowledged and refused.
function checkStored(today) {
  const hex = args.database ? "encode(bytes, 'hex')" : 'hex(bytes)';
  const rows = sql(`SELECT id, replay_hash, player, day, score, combo, ${hex} FROM rounds ORDER BY id`)
    .split('\n').filter(Boolean).map((line) => {
      const [id, hash, player, day, score, combo, bytes] = line.split('|');
      return { id: Number(id), hash, player, day, score: Number(score), combo: Number(combo), bytes: Buffer.from(bytes ?? '', 'hex') };
    });
  const byHash = new Map();
  for (const row of rows) {
    byHash.set(row.hash, (byHash.get(row.hash) ?? 0) + 1);
    if (row.bytes.length === 0 || sha256(row.bytes) !== row.hash) fail(`row ${row.id}: its bytes are not its hash's (${row.bytes.length} bytes)`);
    if (row.day !== today) fail(`row ${row.id} is of ${row.day}, not today`);
  }
  for (const [hash, round] of acked) {
    const matching = rows.filter((row) => row.hash === hash);
    if (matching.length !== 1) { fail(`acknowledged round ${round.job.file} (id ${round.id}) is stored ${matching.length} times`); continue; }
    const row = matching[0];
    if (row.id !== round.id || row.player !== round.name || row.score !== round.score || row.combo !== round.combo) {
      fail(`acknowledged round ${round.job.file} stored as id ${row.id} of ${row.player} (${row.score}, ${row.combo}), ` +
           `answered id ${round.id} of ${round.name} (${round.score}, ${round.combo})`);
    }
  }
  for (const job of hostileFiles) if (byHash.has(job.hash)) fail(`hostile ${job.file} is stored`);
  const unacknowledged = rows.filter((row) => !acked.has(row.hash));
  if (unacknowledged.length > 0) fail(`${unacknowledged.length} stored rows were never acknowledged (first: id ${unacknowledged[0].id})`);
  const orphaned = Number(sql('SELECT COUNT(*) FROM rounds LEFT JOIN players ON players.name = rounds.player WHERE players.name IS NULL'));
  if (orphaned !== 0) fail(`${orphaned} rounds without their player`);
  if (!args.database) {
    const integrity = sql('PRAGMA integrity_check').trim();
    if (integrity !== 'ok') fail(`SQLite's integrity check: ${integrity}`);
  }
  return rows.length;
}

// The API's view: the day's table and the stored bytes.
async function checkServed(today) {
  const res = await request('GET', `/api/v1/table?date=${today}&limit=1000`, null);
  if (res.status !== 200) return fail(`the table answered ${res.status}`);
  const lines = JSON.parse(res.body).rounds;
  const best = new Map();
  for (const round of acked.values()) {
    const held = best.get(round.name);
    if (!held || round.score > held.score || (round.score === held.score && round.id < held.id)) best.set(round.name, round);
  }
  if (best.size <= 1000 && lines.length !== best.size) fail(`the table shows ${lines.length} players, not ${best.size}`);
  for (const line of lines) {
    const round = best.get(line.name);
    if (!round || round.id !== line.id || round.score !== line.score) fail(`the table's line of ${line.name} (id ${line.id}) is not its best round`);
  }
  for (let i = 1; i < lines.length; ++i) {
    if (lines[i].score > lines[i - 1].score) fail(`the table is not sorted at rank ${lines[i].rank}`);
  }
  let sample = 0;
  for (const round of acked.values()) {
    if (sample++ % 7 !== 0) continue;
    const bytes = await request('GET', `/api/v1/rounds/${round.id}/replay`, null);
    if (bytes.status !== 200 || !bytes.body.equals(round.job.body)) fail(`round ${round.id}'s replay is not the file sent`);
  }
}

// A fault put into a copy of the stored table, which the checks must see:
//   drop     an acknowledged round deleted
//   twice    a stored round stored again under another hash
//   hostile  a hostile file stored as a round
//   half     a round's bytes cut short
const storedFile = databaseFile;
function plant(kind) {
  const copy = path.join(args.data, `planted-${kind}.sqlite`);
  copyFileSync(storedFile, copy);
  for (const suffix of ['-wal', '-shm']) if (existsSync(storedFile + suffix)) copyFileSync(storedFile + suffix, copy + suffix);
  const some = [...acked.values()][0];
  const h = hostileFiles.find((job) => job.expect[0] === 422) ?? hostileFiles[0];
  const change = {
    drop: `DELETE FROM rounds WHERE id = ${some.id}`,
    twice: `INSERT INTO rounds (replay_hash, player, day, score, combo, time, bytes, pauses) SELECT 'x' || replay_hash, player, day, score, combo, time, bytes, pauses FROM rounds WHERE id = ${some.id}`,
    hostile: `INSERT INTO rounds (replay_hash, player, day, score, combo, time, bytes, pauses) SELECT '${h.hash}', player, day, score, combo, time, X'${h.body.toString('hex')}', pauses FROM rounds WHERE id = ${some.id}`,
    half: `UPDATE rounds SET bytes = substr(bytes, 1, 100) WHERE id = ${some.id}`,
  }[kind];
  if (!change) throw new Error('unknown fault ' + kind);
  execFileSync('sqlite3', [copy, change]);
  databaseFile = copy;
}

// ------------------------------------------------------------------ the run

function quantile(values, q) {
  if (values.length === 0) return 0;
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

async function main() {
  const jobs = loadJobs();
  const deadline = setTimeout(() => {
    console.log(`FAILED: the run passed its ${args.limit} s; the server is killed`);
    if (server) process.kill(server.pid, 'SIGKILL');
    process.exit(1);
  }, args.limit * 1000);
  await start();
  serverUp = true;
  const today = new Date().toISOString().slice(0, 10);
  console.log(`  ${args.valid} valid rounds, ${hostileFiles.length} hostile files and ${jobs.length - args.valid - hostileFiles.length} ` +
              `hostile requests of ${today} from ${args.connections} connections to 127.0.0.1:${port} (${args.database ? 'PostgreSQL' : 'SQLite'})`);
  const sampler = setInterval(sampleCpu, 500);
  const began = Date.now();
  let next = 0;
  await Promise.all(Array.from({ length: args.connections }, async () => {
    const spare = { token: null };
    while (next < jobs.length) await runJob(jobs[next++], spare);
  }));
  const seconds = (Date.now() - began) / 1000;
  sampleCpu();
  clearInterval(sampler);
  await sleep(300);
  const leftOver = orphans.filter((pid) => existsSync(`/proc/${pid}`));
  if (leftOver.length > 0) fail(`the killed server's verifiers ${leftOver} still run`);

  await checkServed(today);
  const stopped = new Promise((done) => server.child.on('exit', done));
  process.kill(server.pid, 'SIGTERM');
  await stopped;
  clearTimeout(deadline);
  const rows = checkStored(today);

  const cpuSeconds = [...cpu.values()].reduce((a, b) => a + b, 0);
  const ms = (v) => v.toFixed(0) + ' ms';
  console.log(`  ${acked.size} valid rounds acknowledged in ${seconds.toFixed(1)} s: ${(acked.size / seconds).toFixed(2)} accepted rounds/s; ` +
              `${rows} rows stored, ${counts.sameId} answered 200 with the id stored before the kill`);
  console.log(`  latency of an accepted round: p50 ${ms(quantile(latency.accepted, 0.5))}, p99 ${ms(quantile(latency.accepted, 0.99))}; ` +
              `of a refusal: p50 ${ms(quantile(latency.refused, 0.5))}, p99 ${ms(quantile(latency.refused, 0.99))}`);
  console.log(`  server CPU (with its verifiers): ${cpuSeconds.toFixed(1)} s, ${(1000 * cpuSeconds / Math.max(acked.size, 1)).toFixed(0)} ms per accepted round ` +
              `(${(1000 * cpuSeconds / jobs.length).toFixed(0)} ms per request of any kind)`);
  console.log(`  sent again: ${counts.retried} (503 busy ${counts.busy}, 429 ${counts.tooMany}, no connection: cut off by the kill or the server down ${counts.cutOff}); ` +
              `${args.workers || 'one per core'} verifiers; ${((Date.now() - started) / 1000).toFixed(0)} s in all`);
  if (failures.length > 0) {
    console.log(`FAILED: ${failures.length} checks`);
    process.exit(1);
  }
  console.log(`  every acknowledged round stored once with its bytes, no hostile one, no row unacknowledged or half stored`);
  if (!args.plants || args.database) return;
  const kinds = args.plants.split(',');
  const missed = kinds.filter((kind) => {
    quiet = true;
    plant(kind);
    checkStored(today);
    quiet = false;
    const seen = failures.length > 0;
    failures.length = 0;
    return !seen;
  });
  console.log(`  planted faults in a copy of the stored table caught: ${kinds.length - missed.length} of ${kinds.length}` +
              (missed.length ? ` (missed: ${missed})` : ''));
  if (missed.length > 0) process.exit(1);
}

main().catch((error) => {
  console.log('FAILED: ' + (error.stack ?? error));
  if (server) process.kill(server.pid, 'SIGKILL');
  process.exit(1);
});
