// Runs inside the game's module before it starts. The game keeps its files
// (settings, scores, window mode, replays, log) in /vantor, a folder held in
// the browser's IndexedDB: it is read back before the game may start, and
// written out after every change the game makes to it.
//
// Each tab holds a copy of the folder, and writing one copy out replaces
// what another tab wrote (its rounds and replays would be lost). So one tab
// at a time saves: the one holding the "vantor-files" lock for as long as it
// is open. A tab opened while another holds it plays, saves nothing, and
// says so (Module.onSavesElsewhere); reloaded once the other is closed, it
// reads the other's rounds back and saves again.
Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  const folder = '/vantor';
  FS.mkdir(folder);
  FS.mount(IDBFS, {}, folder);

  // A save closes a file it wrote, renames it into place, or removes one;
  // the folder is written out once the frame that saved has ended. Writes
  // never overlap: one that comes during another runs after it.
  let syncing = false;
  let again = false;
  let queued = false;
  let saving = true;
  Module.savesFiles = function () { return saving; };
  function writeOut() {
    queued = false;
    if (!saving) return;
    if (syncing) {
      again = true;
      return;
    }
    syncing = true;
    FS.syncfs(false, function (error) {
      syncing = false;
      if (error) console.error('Saving the game files failed: ' + error);
      if (Module.onFilesSaved) Module.onFilesSaved(error);
      if (again) {
        again = false;
        writeOut();
      }
    });
  }
  function changed(path) {
    if (typeof path !== 'string' || !(path === folder || path.startsWith(folder + '/'))) return;
    if (queued) return;
    queued = true;
    setTimeout(writeOut, 0);
  }
  // Watches the game's saves, once the files are read back (reading them
  // makes folders and files too).
  function watchSaves() {
    const writeFlags = 3;  // O_WRONLY or O_RDWR
    const close = FS.close;
    FS.close = function (stream) {
      const wrote = stream && (stream.flags & writeFlags) !== 0;
      const result = close.apply(this, arguments);
      if (wrote) changed(stream.path);
      return result;
    };
    for (const name of ['rename', 'unlink', 'rmdir', 'mkdir']) {
      const original = FS[name];
      FS[name] = function (path) {
        const result = original.apply(this, arguments);
        changed(tryAbsolute(path));
        if (name === 'rename') changed(tryAbsolute(arguments[1]));
        return result;
      };
    }
  }
  function tryAbsolute(path) {
    try {
      return PATH_FS.resolve(path);
    } catch (e) {
      return path;
    }
  }

  function readBack() {
    FS.syncfs(true, function (error) {
      if (error && Module.onFilesFailed) Module.onFilesFailed(error);
      watchSaves();
      removeRunDependency('vantor-files');
    });
  }
  addRunDependency('vantor-files');
  if (!navigator.locks) {
    readBack();  // no locks outside a secure context (plain http to another host): every tab saves
    return;
  }
  navigator.locks.request('vantor-files', { ifAvailable: true }, function (lock) {
    saving = lock !== null;
    if (!saving && Module.onSavesElsewhere) Module.onSavesElsewhere();
    readBack();
    return saving ? new Promise(function () {}) : undefined;  // held until the page goes
  });
});

// The page's two ways in to the replays: the stored ones, listed for
// download, and one the player brings, played in the canvas.
Module.preRun.push(function () {
  const replays = '/vantor/Replays';
  // Named as the game names them ("<time>-<score>.vtreplay"); a write under
  // way ends in ".tmp" and is no replay yet.
  const replayName = /^-?\d+-\d+\.vtreplay$/;

  // The stored replays, newest first: { name, bytes }.
  Module.storedReplays = function () {
    let names = [];
    try {
      names = FS.readdir(replays);
    } catch (e) {
      return [];  // no round saved yet
    }
    const found = [];
    for (const name of names) {
      if (!replayName.test(name)) continue;
      try {
        const path = replays + '/' + name;
        if (!FS.isFile(FS.stat(path).mode)) continue;
        found.push({ name: name, time: Number(name.split('-').slice(0, -1).join('-')), bytes: FS.readFile(path) });
      } catch (e) {
        // gone meanwhile
      }
    }
    return found.sort(function (a, b) { return b.time - a.time; });
  };

  // Plays the bytes of a replay file in the canvas from the next frame; ""
  // when it will play, else the line saying why not. The file is kept outside
  // the game's folder, so it is never written out to IndexedDB.
  Module.watchReplay = function (bytes) {
    const path = '/tmp/watched.vtreplay';
    FS.writeFile(path, bytes);
    try {
      return ccall('vantor_watch_replay', 'string', ['string'], [path]);
    } finally {
      FS.unlink(path);
    }
  };
  Module.watching = function () {
    return ccall('vantor_watching', 'number', [], []) !== 0;
  };

  // Online play, on for name at server (the page's own site) or off; ""
  // when done, else the line saying why not.
  Module.turnOnline = function (server, name) {
    return ccall('vantor_online', 'string', ['string', 'string'], [server, name]);
  };
  Module.turnOffline = function () {
    return ccall('vantor_offline', 'string', [], []);
  };
  // The name online play is on for; "" when off.
  Module.onlineName = function () {
    return ccall('vantor_online_name', 'string', [], []);
  };
});
