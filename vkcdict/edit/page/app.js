// The editor's page. Texts from the dictionary are data: they reach the
// page only through textContent and value, never as markup. The list shows
// a window of rows; the server pages and searches, and the page keeps a
// bounded cache of pages, so its memory does not grow with the dictionary.
"use strict";

const ROW = 28;             // px per list row
const MAX_SCROLL = 8e6;     // px: browsers cap an element's height
const PAGE = 100;           // rows per request
const CACHED_PAGES = 12;

const $ = (id) => document.getElementById(id);
let lang = localStorage.getItem("vkcdict-lang") ||
  ((navigator.language || "").toLowerCase().startsWith("zh") ? "zh" : "en");
const S = () => STRINGS[lang];

const state = {
  total: 0, pages: new Map(), queryKey: "", selected: -1, record: null,
  saved: { chi: "", remark: "" }, previewTimer: 0, previews: 0, searchTimer: 0, progress: null,
};

async function api(path, body) {
  const options = { credentials: "same-origin", headers: {} };
  if (body !== undefined) {
    options.method = "POST";
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  let data = {};
  try { data = await response.json(); } catch (e) { data = { error: response.statusText }; }
  return { status: response.status, data };
}

function query() {
  const p = new URLSearchParams();
  p.set("filter", $("filter").value);
  if ($("filter").value === "findings" && $("check").value) p.set("check", $("check").value);
  if ($("search").value) { p.set("q", $("search").value); p.set("in", $("searchIn").value); }
  return p;
}

// ---- Words.
function applyLanguage() {
  document.documentElement.lang = lang === "zh" ? "zh-CN" : "en";
  $("lang").value = lang;
  for (const el of document.querySelectorAll("[data-s]")) el.textContent = S()[el.dataset.s];
  $("search").setAttribute("aria-label", S().search);
  $("jump").setAttribute("aria-label", S().jump);
  const table = $("keyTable");
  table.replaceChildren();
  for (const [key, what] of S().keyList) {
    const tr = document.createElement("tr");
    const k = document.createElement("td");
    const kbd = document.createElement("kbd");
    kbd.textContent = key;
    k.append(kbd);
    const w = document.createElement("td");
    w.textContent = what;
    tr.append(k, w);
    table.append(tr);
  }
  const any = $("check").querySelector("option[value='']");
  if (any) any.textContent = S().anyCheck;
  showProgress(state.progress);
  renderRows();
  if (state.record) showRecord(state.record, false);
}

function showProgress(p) {
  if (!p) return;
  state.progress = p;
  $("progress").textContent = S().progress(p.translated, p.total, p.withFindings);
}

// ---- The list.
function listQueryChanged() {
  state.pages.clear();
  state.queryKey = query().toString();
  loadWindow(true);
}

async function fetchPage(page) {
  const key = state.queryKey;
  const p = query();
  p.set("offset", page * PAGE);
  p.set("limit", PAGE);
  const { status, data } = await api("/api/records?" + p.toString());
  if (status !== 200 || key !== state.queryKey) return;
  state.total = data.total;
  state.pages.set(page, data.rows);
  while (state.pages.size > CACHED_PAGES) state.pages.delete(state.pages.keys().next().value);
  showProgress(data.progress);
}

function geometry() {
  const scroller = $("scroller");
  const visible = Math.ceil(scroller.clientHeight / ROW) + 1;
  const height = Math.min(state.total * ROW, MAX_SCROLL);
  const room = Math.max(height - scroller.clientHeight, 1);
  const first = state.total * ROW <= MAX_SCROLL
    ? Math.floor(scroller.scrollTop / ROW)
    : Math.round(scroller.scrollTop / room * Math.max(state.total - visible + 1, 0));
  return { visible, height, room, first: Math.max(0, Math.min(first, Math.max(state.total - 1, 0))) };
}

function scrollToPosition(position) {
  const scroller = $("scroller");
  const g = geometry();
  if (state.total * ROW <= MAX_SCROLL) {
    if (position < g.first + 1 || position >= g.first + g.visible - 2) {
      scroller.scrollTop = Math.max(0, (position - 2) * ROW);
    }
  } else {
    scroller.scrollTop = position / Math.max(state.total - g.visible + 1, 1) * g.room;
  }
}

let loading = false;
async function loadWindow(reset) {
  if (reset) await fetchPage(0);
  const g = geometry();
  $("spacer").style.height = g.height + "px";
  $("count").textContent = S().matches(state.total);
  const wanted = new Set();
  for (let i = g.first; i < Math.min(g.first + g.visible, state.total); ++i) wanted.add(Math.floor(i / PAGE));
  if (!loading) {
    loading = true;
    try {
      for (const page of wanted) if (!state.pages.has(page)) await fetchPage(page);
    } finally { loading = false; }
  }
  renderRows();
}

function highlighted(text, needle, fold) {
  const span = document.createElement("span");
  if (!needle) { span.textContent = text; return span; }
  const hay = fold ? text.replace(/[A-Z]/g, (c) => c.toLowerCase()) : text;
  const want = fold ? needle.replace(/[A-Z]/g, (c) => c.toLowerCase()) : needle;
  let at = 0;
  for (let hit = hay.indexOf(want); hit >= 0; hit = hay.indexOf(want, at)) {
    span.append(text.slice(at, hit));
    const mark = document.createElement("mark");
    mark.textContent = text.slice(hit, hit + want.length);
    span.append(mark);
    at = hit + want.length;
  }
  span.append(text.slice(at));
  return span;
}

function renderRows() {
  const rows = $("rows");
  const g = geometry();
  rows.style.transform = `translateY(${$("scroller").scrollTop}px)`;
  rows.replaceChildren();
  const needle = $("search").value;
  const section = $("searchIn").value;
  for (let k = g.first; k < Math.min(g.first + g.visible, state.total); ++k) {
    const page = state.pages.get(Math.floor(k / PAGE));
    const r = page && page[k % PAGE];
    const row = document.createElement("div");
    row.className = "row";
    if (!r) { row.classList.add("pending"); rows.append(row); continue; }
    row.dataset.n = r.n;
    row.dataset.position = k;
    row.classList.add(r.state);
    if (r.n === state.selected) row.classList.add("selected");
    const num = document.createElement("span");
    num.className = "num";
    num.textContent = r.n;
    const st = document.createElement("span");
    st.className = "state";
    st.textContent = (r.changed ? "✎ " : "") + S()[r.state === "findings" ? "withFindings" : r.state];
    row.append(num,
      highlighted(r.eng, section === "eng" ? needle : "", true),
      highlighted(r.chi, section === "chi" ? needle : "", false),
      highlighted(r.remark, section === "remark" ? needle : "", false), st);
    row.addEventListener("click", () => select(r.n, k));
    rows.append(row);
  }
}

// ---- The selected record.
function fillList(list, items, make) {
  list.replaceChildren();
  if (items.length === 0) {
    const li = document.createElement("li");
    li.className = "none";
    li.textContent = S().none;
    list.append(li);
  }
  for (const item of items) list.append(make(item));
}

function showFindings(findings) {
  fillList($("findings"), findings, (f) => {
    const li = document.createElement("li");
    const id = document.createElement("code");
    id.textContent = f.check;
    li.append(id, " " + f.message);
    li.dataset.check = f.check;
    return li;
  });
}

function gbkBytes(text) {
  let n = 0;
  for (const c of text) n += c === "\n" ? 2 : c.codePointAt(0) < 0x80 ? 1 : 2;
  return n;
}

function showBytes() {
  const r = state.record;
  if (!r) return;
  const n = gbkBytes($("chi").value);
  $("bytes").textContent = S().bytes(n, r.budget) + (r.budget >= 0 && n > r.budget ? " · " + S().overBudget : "");
  $("bytes").classList.toggle("over", r.budget >= 0 && n > r.budget);
}

function showRecord(r, resetTexts) {
  state.record = r;
  $("editor").hidden = false;
  $("recordTitle").textContent = S().recordTitle(r.n, r.line);
  const eng = $("eng");
  eng.replaceChildren();
  for (const piece of r.eng) {
    const span = document.createElement(piece.code ? "mark" : "span");
    if (piece.code) span.className = "code";
    span.textContent = piece.text;
    eng.append(span);
  }
  if (resetTexts) {
    $("chi").value = r.chi;
    $("remark").value = r.remark;
    state.saved = { chi: r.chi, remark: r.remark };
  }
  $("chi").readOnly = !!r.chiReadOnly;
  $("remark").readOnly = !!r.remarkReadOnly;
  $("chiRo").textContent = r.chiReadOnly ? S().readOnly(r.chiReadOnly) : "";
  $("remarkRo").textContent = r.remarkReadOnly ? S().readOnly(r.remarkReadOnly) : "";
  showFindings(r.findings);
  fillList($("glossary"), r.glossary, (g) => {
    const li = document.createElement("li");
    const button = document.createElement("button");
    button.type = "button";
    button.className = "term";
    button.title = S().insert;
    button.textContent = g.chi;
    button.addEventListener("click", () => insertTerm(g.chi));
    li.append(g.eng + " → ", button);
    return li;
  });
  fillList($("scripts"), r.scripts, (o) => {
    const li = document.createElement("li");
    const where = document.createElement("span");
    where.className = "where";
    where.textContent = `${o.file}:${o.line}`;
    const line = document.createElement("code");
    line.textContent = o.text;
    li.append(where, " ", line);
    return li;
  });
  showBytes();
}

function status(text, kind) {
  $("status").textContent = text;
  $("status").className = kind || "";
}

async function select(n, position) {
  const { status: code, data } = await api("/api/record?n=" + n);
  if (code !== 200) { status(S().failed + data.error, "error"); return; }
  state.selected = n;
  showRecord(data, true);
  status("");
  $("reloadFile").hidden = true;
  if (position !== undefined) scrollToPosition(position);
  renderRows();
}

// Shows record n in the list (its position under the current filter, or
// under no filter when the filter hides it) and selects it.
async function goTo(n) {
  const p = query();
  p.set("at", n);
  p.set("limit", 0);
  let { data } = await api("/api/records?" + p.toString());
  if (data.position === undefined || data.position < 0) {
    $("filter").value = "all";
    $("search").value = "";
    $("check").hidden = true;
    state.pages.clear();
    state.queryKey = query().toString();
    state.total = data.progress ? data.progress.total : state.total;
    data = { position: n };
  }
  await loadWindow(false);
  scrollToPosition(data.position);
  await loadWindow(false);
  await select(n);
}

function insertTerm(text) {
  const chi = $("chi");
  if (chi.readOnly) return;
  const start = chi.selectionStart, end = chi.selectionEnd;
  chi.setRangeText(text, start, end, "end");
  chi.focus();
  edited();
}

function edited() {
  showBytes();
  clearTimeout(state.previewTimer);
  state.previewTimer = setTimeout(preview, 300);
}

async function preview() {
  const r = state.record;
  if (!r) return;
  const asked = ++state.previews;
  const { status: code, data } = await api("/api/preview", { n: r.n, chi: $("chi").value, remark: $("remark").value });
  // A later preview, a commit or another record makes this answer stale.
  if (asked !== state.previews || state.record !== r) return;
  if (code === 200) {
    showFindings(data.findings);
    const dirty = $("chi").value !== state.saved.chi || $("remark").value !== state.saved.remark;
    if (dirty) status(S().unsaved, "pending");
  } else {
    status(S().refused + data.error, "error");
  }
}

// Commits the record; true when it was saved.
async function commit() {
  const r = state.record;
  if (!r) return false;
  clearTimeout(state.previewTimer);
  ++state.previews;
  const body = { n: r.n, version: r.version };
  if (!r.chiReadOnly && $("chi").value !== state.saved.chi) body.chi = $("chi").value;
  if (!r.remarkReadOnly && $("remark").value !== state.saved.remark) body.remark = $("remark").value;
  status(S().saving, "pending");
  const { status: code, data } = await api("/api/commit", body);
  if (code === 200) {
    showRecord(data.record, true);
    showProgress(data.progress);
    status(S().saved, "saved");
    state.pages.clear();
    await loadWindow(false);
    return true;
  }
  if (code === 409 && data.conflict === "record") {
    // The typed text stays; the current one is shown, and the next commit
    // is based on it.
    state.record = Object.assign({}, data.record);
    state.saved = { chi: data.record.chi, remark: data.record.remark };
    status(S().staleRecord + " " + data.record.chi, "error");
  } else if (code === 409 && data.conflict === "file") {
    status(S().changedOnDisk, "error");
    $("reloadFile").hidden = false;
  } else {
    status(S().refused + data.error, "error");
  }
  return false;
}

async function reloadFile() {
  const { status: code, data } = await api("/api/reload", {});
  if (code !== 200) { status(S().failed + data.error, "error"); return; }
  $("reloadFile").hidden = true;
  showProgress(data.progress);
  state.pages.clear();
  await loadWindow(true);
  if (state.record) {
    const again = await api("/api/record?n=" + state.record.n);
    if (again.status === 200) {
      state.saved = { chi: again.data.chi, remark: again.data.remark };
      showRecord(again.data, false);
    }
  }
  status(S().reloaded, "pending");
}

async function locate(to, dir) {
  const from = state.selected < 0 ? (dir > 0 ? -1 : 0) : state.selected;
  const { data } = await api(`/api/locate?from=${Math.max(from, 0)}&dir=${dir}&to=${to}`);
  if (data.n === undefined || data.n < 0) { status(S().noMore, "pending"); return; }
  await goTo(data.n);
}

async function step(dir) {
  const rows = [...document.querySelectorAll("#rows .row[data-n]")];
  const at = rows.findIndex((row) => Number(row.dataset.n) === state.selected);
  if (at >= 0 && rows[at + dir]) {
    await select(Number(rows[at + dir].dataset.n), Number(rows[at + dir].dataset.position));
    return;
  }
  const n = state.selected + dir;
  if (n >= 0 && n < (state.progress ? state.progress.total : 0)) await goTo(n);
}

async function jump() {
  const value = Number($("jump").value);
  if (!Number.isInteger(value) || value < 0) return;
  if ($("jumpKind").value === "line") {
    const { data } = await api("/api/locate?line=" + value);
    if (data.n !== undefined) await goTo(data.n);
  } else if (state.progress && value < state.progress.total) {
    await goTo(value);
  }
}

function revertField(field) {
  field.value = state.saved[field.id];
  edited();
}

document.addEventListener("keydown", async (e) => {
  if (e.key === "Enter" && (e.ctrlKey || e.metaKey)) {
    e.preventDefault();
    if (await commit()) await locate("untranslated", 1);
  } else if (e.key === "Escape" && (e.target === $("chi") || e.target === $("remark"))) {
    e.preventDefault();
    revertField(e.target);
  } else if (e.altKey && (e.key === "ArrowDown" || e.key === "ArrowUp")) {
    e.preventDefault();
    await locate("finding", e.key === "ArrowDown" ? 1 : -1);
  } else if (e.ctrlKey && (e.key === "ArrowDown" || e.key === "ArrowUp")) {
    e.preventDefault();
    await step(e.key === "ArrowDown" ? 1 : -1);
  } else if (e.ctrlKey && e.shiftKey && (e.key === "F" || e.key === "f")) {
    e.preventDefault();
    $("search").focus();
  } else if (e.ctrlKey && e.shiftKey && (e.key === "G" || e.key === "g")) {
    e.preventDefault();
    $("jump").focus();
  } else if (e.key === "F1") {
    e.preventDefault();
    $("keys").showModal();
  }
});

async function start() {
  applyLanguage();
  const { status: code, data } = await api("/api/info");
  if (code !== 200) { status(data.error, "error"); return; }
  $("file").textContent = data.file;
  document.title = data.file + " · vkcdict edit";
  const check = $("check");
  const any = document.createElement("option");
  any.value = "";
  any.textContent = S().anyCheck;
  check.append(any);
  for (const c of data.checks) {
    const o = document.createElement("option");
    o.value = c.id;
    o.textContent = c.id;
    check.append(o);
  }
  showProgress(data.progress);
  $("scroller").addEventListener("scroll", () => loadWindow(false));
  window.addEventListener("resize", () => loadWindow(false));
  $("filter").addEventListener("change", () => {
    $("check").hidden = $("filter").value !== "findings";
    listQueryChanged();
  });
  $("check").addEventListener("change", listQueryChanged);
  $("searchIn").addEventListener("change", listQueryChanged);
  $("search").addEventListener("input", () => {
    clearTimeout(state.searchTimer);
    state.searchTimer = setTimeout(listQueryChanged, 250);
  });
  $("jump").addEventListener("keydown", (e) => { if (e.key === "Enter") jump(); });
  $("chi").addEventListener("input", edited);
  $("remark").addEventListener("input", edited);
  $("commit").addEventListener("click", commit);
  $("revert").addEventListener("click", () => { revertField($("chi")); revertField($("remark")); });
  $("reloadFile").addEventListener("click", reloadFile);
  $("keysButton").addEventListener("click", () => $("keys").showModal());
  $("keysClose").addEventListener("click", () => $("keys").close());
  $("lang").addEventListener("change", () => {
    lang = $("lang").value;
    localStorage.setItem("vkcdict-lang", lang);
    applyLanguage();
  });
  listQueryChanged();
}

start();
