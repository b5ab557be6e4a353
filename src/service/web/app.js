// The board's web page: a picture, two lines of text, a scrolling line, a
// clock, departures (a stop found by name in a timetable), a data line or a
// show file, the service's own preview of them, "Wyślij", a
// notification with its priority, the queue of notifications with a cancel
// for each, "Wygaś", the status, and the live board (and the second board
// behind CAN, when the content has one) drawn dot by dot from /api/live. Nothing here is fetched from
// anywhere but this service.
"use strict";

const WIDTH = 128;
const HEIGHT = 32;
const TOKEN_KEY = "tablica-token";
const SHOWING = {
  picture: "obraz",
  text: "tekst",
  show: "pokaz",
  notification: "powiadomienie",
  blank: "nic (tablica wygaszona)",
};

const $ = (id) => document.getElementById(id);
const SOURCES = ["picture", "text", "scroll", "clock", "departures", "data", "show"];
// The clock page's lines, by the choice.
const CLOCKS = {
  "time-date": ["{time:HH:mm}", "{date:d MMMM}"],
  seconds: ["{time:HH:mm:ss}"],
  day: ["{date:dddd}", "{date:d MMMM}"],
};
let picture = null; // {bytes, type, name}
let show = null; // the show file's text, checked to be a JSON object
let source = "picture";

// --- the board, drawn as the virtual board draws it -------------------------

function drawBoard(canvas, rows) {
  const context = canvas.getContext("2d");
  const border = 4;
  const pitch = (canvas.width - 2 * border) / WIDTH;
  const radius = pitch * 0.38;
  context.fillStyle = "#141210";
  context.fillRect(0, 0, canvas.width, canvas.height);
  for (const lit of [false, true]) {
    context.fillStyle = lit ? "#ffb020" : "#4a3820";
    context.beginPath();
    for (let y = 0; y < HEIGHT; y++) {
      const row = (rows && rows[y]) || ""; // no rows: every dot unlit
      for (let x = 0; x < WIDTH; x++) {
        if ((row[x] === "1") !== lit) continue;
        const cx = border + (x + 0.5) * pitch;
        const cy = border + (y + 0.5) * pitch;
        context.moveTo(cx + radius, cy);
        context.arc(cx, cy, radius, 0, 2 * Math.PI);
      }
    }
    context.fill();
  }
}

// --- talking to the service --------------------------------------------------

let tokenWaiters = null; // requests waiting for the dialog: {resolve, reject}
let tokenRefused = false; // the dialog was closed without a token
let tokenSavedWaiters = []; // what waits quietly for the next token

// Opens the dialog (once for any number of requests); a promise kept when
// a token is saved, broken when the dialog is closed without one.
function askForToken(problem) {
  if (!tokenWaiters) {
    tokenWaiters = [];
    $("tokenProblem").textContent = problem || "";
    $("token").value = "";
    $("tokenDialog").showModal();
  }
  return new Promise((resolve, reject) => tokenWaiters.push({ resolve, reject }));
}

// Kept when a token is saved, without asking for it.
function tokenSaved() {
  return new Promise((resolve) => tokenSavedWaiters.push(resolve));
}

function tokenGiven(event) {
  event.preventDefault();
  const token = $("token").value.trim();
  if (!token) return;
  sessionStorage.setItem(TOKEN_KEY, token);
  const waiters = tokenWaiters || [];
  const quiet = tokenSavedWaiters;
  tokenWaiters = null;
  tokenRefused = false;
  tokenSavedWaiters = [];
  $("tokenDialog").close();
  waiters.forEach((waiter) => waiter.resolve());
  quiet.forEach((resolve) => resolve());
}

// Esc, or the dialog closed otherwise without a token: what waited is told,
// and the next action asks again.
function tokenDialogClosed() {
  if (!tokenWaiters) return;
  const waiters = tokenWaiters;
  tokenWaiters = null;
  tokenRefused = true;
  const refusal = new Error("Bez żetonu dostępu tablica nie przyjmie polecenia; "
    + "podaj go przy następnej próbie.");
  waiters.forEach((waiter) => waiter.reject(refusal));
}

function headers(more) {
  const all = Object.assign({}, more);
  const token = sessionStorage.getItem(TOKEN_KEY);
  if (token) all.Authorization = "Bearer " + token;
  return all;
}

// A request to the API; asks for the token (once) when the service wants
// one, and answers with the reply's JSON or throws its Polish error. A
// `background` request (the status every few seconds) does not ask again
// once the dialog was closed without a token.
async function api(method, path, body, type, background) {
  for (;;) {
    const reply = await fetch(path, {
      method,
      body,
      headers: headers(type ? { "Content-Type": type } : {}),
      cache: "no-store",
    });
    if (reply.status === 401) {
      const hadToken = sessionStorage.getItem(TOKEN_KEY) !== null;
      sessionStorage.removeItem(TOKEN_KEY);
      if (background && tokenRefused) throw new Error("Potrzebny żeton dostępu.");
      await askForToken(hadToken ? "Ten żeton nie pasuje. Spróbuj jeszcze raz." : "");
      continue;
    }
    let answer = null;
    try {
      answer = await reply.json();
    } catch (error) {
      answer = null;
    }
    if (!reply.ok) {
      throw new Error((answer && answer.error) || "Serwer odpowiedział błędem " + reply.status + ".");
    }
    return answer;
  }
}

function jsonContent(value) {
  return { query: "", body: JSON.stringify(value), type: "application/json" };
}

// What the page would show: the picture with its choices, the text, the
// scrolling line, the clock or the show file.
function currentContent() {
  if (source === "text") {
    // No text is no content, as over MQTT: never a blank board called text.
    if ($("line1").value === "" && $("line2").value === "") return null;
    const lines = [$("line1").value];
    if ($("line2").value !== "") lines.push($("line2").value);
    return jsonContent({ text: lines, align: $("align").value });
  }
  if (source === "scroll") {
    if ($("scrollText").value === "") return null;
    return jsonContent({ scroll: $("scrollText").value, speed: Number($("speed").value) || 16 });
  }
  if (source === "clock") return jsonContent({ text: CLOCKS[$("clockKind").value] });
  if (source === "departures") {
    // The service takes feeds only by their addresses, never files.
    const stops = $("stops").value.split(/[,;\s]+/).filter((stop) => stop !== "");
    if ($("feed").value.trim() === "" || stops.length === 0) return null;
    const departures = { feed: $("feed").value.trim(), stops,
      rows: Number($("rows").value) || 2 };
    for (const name of ["realtime", "alerts"]) {
      if ($(name).value.trim() !== "") departures[name] = $(name).value.trim();
    }
    return jsonContent({ departures });
  }
  if (source === "data") {
    if ($("dataUrl").value.trim() === "") return null;
    return jsonContent({ data: { url: $("dataUrl").value.trim(), pointer: $("dataPointer").value,
      text: $("dataText").value || "{value}" } });
  }
  if (source === "show") {
    return show === null ? null : { query: "", body: show, type: "application/json" };
  }
  if (!picture) return null;
  const query = new URLSearchParams();
  query.set("place", $("place").value);
  const dots = $("dots").value;
  if (dots === "threshold") {
    query.set("dots", "threshold");
    query.set("threshold", $("threshold").value);
  } else if (dots !== "auto") {
    query.set("dots", dots);
  }
  query.set("lit", $("lit").value);
  return { query: query.toString(), body: picture.bytes, type: picture.type };
}

function withQuery(path, query, more) {
  const all = new URLSearchParams(query);
  for (const [key, value] of Object.entries(more || {})) all.set(key, value);
  const text = all.toString();
  return text ? path + "?" + text : path;
}

// --- preview -----------------------------------------------------------------

let previewTimer = null;
let previewAsked = 0;

function schedulePreview() {
  clearTimeout(previewTimer);
  previewTimer = setTimeout(updatePreview, 120);
}

async function updatePreview() {
  const content = currentContent();
  const asked = ++previewAsked;
  if (!content) {
    drawBoard($("preview"), null);
    $("previewProblem").textContent = "";
    return;
  }
  try {
    const board = await api("POST", withQuery("/api/preview", content.query), content.body,
      content.type);
    if (asked !== previewAsked) return;
    drawBoard($("preview"), board.rows);
    $("previewProblem").textContent = "";
  } catch (error) {
    if (asked === previewAsked) $("previewProblem").textContent = error.message;
  }
}

// --- actions -----------------------------------------------------------------

const NOTHING_CHOSEN = "Najpierw wybierz obraz albo wpisz tekst.";
// What each source still lacks, when it lacks it.
const MISSING = {
  departures: "Podaj adres rozkładu i choć jeden przystanek.",
  data: "Podaj adres dokumentu JSON.",
};

function nothingChosen() {
  return MISSING[source] || NOTHING_CHOSEN;
}

function showResult(text, bad) {
  $("result").textContent = text;
  $("result").className = bad ? "bad" : "";
}

async function act(work, done) {
  showResult("Wysyłam…", false); // the last action's message goes at once
  try {
    await work();
    showResult(done, false);
  } catch (error) {
    showResult(error.message, true);
  }
  refreshStatus();
}

function send() {
  const content = currentContent();
  if (!content) return showResult(nothingChosen(), true);
  act(() => api("POST", withQuery("/api/board", content.query), content.body, content.type),
    "Wysłano na tablicę.");
}

function notify() {
  const content = currentContent();
  if (!content) return showResult(nothingChosen(), true);
  const hold = $("hold").checked;
  const seconds = $("seconds").value;
  const more = hold ? { hold: "1" } : { seconds };
  more.priority = $("priority").value;
  act(async () => {
    const answer = await api("POST", withQuery("/api/notify", content.query, more), content.body,
      content.type);
    refreshQueue();
    return answer;
  }, (hold ? "Powiadomienie do odwołania" : "Powiadomienie na " + seconds + " s") +
    " w kolejce.");
}

function blank() {
  act(() => api("DELETE", "/api/board"), "Tablica wygaszona.");
}

// --- the queue of notifications ------------------------------------------------

function cancelNotice(id) {
  act(async () => {
    await api("DELETE", "/api/notify/" + encodeURIComponent(id));
    refreshQueue();
  }, "Powiadomienie odwołane.");
}

function cancelAll() {
  act(async () => {
    await api("DELETE", "/api/notify");
    refreshQueue();
  }, "Wszystkie powiadomienia odwołane.");
}

async function refreshQueue() {
  let queue = [];
  try {
    queue = (await api("GET", "/api/notify")).queue;
  } catch (error) {
    $("queueEmpty").textContent = error.message;
    return;
  }
  const list = $("queue");
  list.replaceChildren();
  for (const notice of queue) {
    const item = document.createElement("li");
    item.className = notice.showing ? "showing" : "";
    item.dataset.id = notice.id;
    const what = document.createElement("span");
    const left = notice.seconds_left === null ? "do odwołania" : "jeszcze " + notice.seconds_left + " s";
    what.textContent = notice.id + " · priorytet " + notice.priority + " · " + left +
      (notice.showing ? " · na tablicy" : "");
    const cancel = document.createElement("button");
    cancel.type = "button";
    cancel.textContent = "Odwołaj";
    cancel.addEventListener("click", () => cancelNotice(notice.id));
    item.append(what, cancel);
    list.append(item);
  }
  $("queueEmpty").textContent = queue.length ? "" : "Nic nie czeka.";
  $("cancelAll").hidden = queue.length === 0;
}

// --- the stops of a timetable -----------------------------------------------

// The service reads the timetable at its address (once; it keeps it) and
// answers the stops whose names hold the search.
async function searchStops() {
  const feed = $("feed").value.trim();
  const found = $("stopsFound");
  found.replaceChildren();
  found.hidden = true;
  if (feed === "") {
    $("stopsNote").textContent = "Najpierw podaj adres rozkładu.";
    return;
  }
  $("stopsNote").textContent = "Szukam w rozkładzie…";
  try {
    const asked = JSON.stringify({ feed, search: $("stopSearch").value.trim() });
    const answer = await api("POST", "/api/stops", asked, "application/json");
    for (const stop of answer.stops) {
      const option = document.createElement("option");
      option.value = stop.id;
      option.textContent = stop.name + (stop.station ? " (stacja ze wszystkimi peronami)" : "") +
        " – " + stop.id;
      found.append(option);
    }
    found.hidden = answer.stops.length === 0;
    $("stopsNote").textContent = answer.stops.length === 0
      ? "Żaden przystanek tego rozkładu nie ma tego w nazwie."
      : (answer.more ? "Pokazano tylko pierwsze; wpisz więcej liter nazwy. " : "") +
        "Wybierz przystanek, by dodać go do odjazdów.";
  } catch (error) {
    $("stopsNote").textContent = error.message;
  }
}

function addStop() {
  const id = $("stopsFound").value;
  if (!id) return;
  const stops = $("stops").value.split(/[,;\s]+/).filter((stop) => stop !== "");
  if (!stops.includes(id)) stops.push(id);
  $("stops").value = stops.join(", ");
  schedulePreview();
}

// --- status ------------------------------------------------------------------

function timeOf(iso) {
  const moment = new Date(iso);
  return isNaN(moment) ? iso : moment.toLocaleString("pl-PL");
}

async function refreshStatus() {
  try {
    const status = await api("GET", "/api/status", undefined, undefined, true);
    $("boardName").textContent = status.name ? "„" + status.name + "”" : "";
    $("statusPort").textContent = status.port === null ? "nie wybrano" : "COM" + status.port;
    $("statusShowing").textContent = SHOWING[status.showing] || status.showing;
    const last = status.last_send;
    const lastText = !last ? "jeszcze żadnej"
      : last.ok ? "wysłana, " + timeOf(last.at)
      : "nieudana, " + timeOf(last.at) + (last.message ? ": " + last.message : "");
    $("statusLast").textContent = lastText;
    $("statusLast").className = last && !last.ok ? "bad" : "";
    $("statusSends").textContent = status.sends + " / " + status.failed_sends;
    $("statusVersion").textContent = status.version;
    // What the service wants its operator to know (its name used twice ...).
    $("statusNotice").textContent = status.notice || "";
    $("statusNotice").hidden = !status.notice;
  } catch (error) {
    $("statusShowing").textContent = error.message;
  }
}

// --- the live board ----------------------------------------------------------

const LIVE_NOTE = "Na żywo: każda ramka wysłana na tablicę.";

function liveNote(text) {
  $("liveState").textContent = text;
}

async function followLive() {
  for (;;) {
    try {
      const reply = await fetch("/api/live", { headers: headers({}), cache: "no-store" });
      if (reply.status === 401) {
        sessionStorage.removeItem(TOKEN_KEY);
        liveNote("Podgląd na żywo czeka na żeton dostępu.");
        await (tokenRefused ? tokenSaved() : askForToken("").catch(tokenSaved));
        continue;
      }
      if (!reply.ok || !reply.body) {
        let text = "Podgląd na żywo niedostępny (" + reply.status + ").";
        try { text = (await reply.json()).error || text; } catch (error) { /* keep */ }
        throw new Error(text);
      }
      liveNote(LIVE_NOTE);
      const reader = reply.body.getReader();
      const decoder = new TextDecoder();
      let buffered = "";
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        buffered += decoder.decode(value, { stream: true });
        let end;
        while ((end = buffered.indexOf("\n\n")) >= 0) {
          liveEvent(buffered.slice(0, end));
          buffered = buffered.slice(end + 2);
        }
      }
      throw new Error("Połączenie z tablicą przerwane; łączę ponownie…");
    } catch (error) {
      liveNote(error.message);
      await new Promise((resolve) => setTimeout(resolve, 3000));
    }
  }
}

let statusSoon = null;

function liveEvent(text) {
  let name = "message";
  let data = "";
  for (const line of text.split("\n")) {
    if (line.startsWith("event:")) name = line.slice(6).trim();
    else if (line.startsWith("data:")) data += line.slice(5).trim();
  }
  if (name !== "frame" || !data) return;
  const frame = JSON.parse(data);
  drawBoard($("live"), frame.rows);
  $("secondLive").hidden = !frame.second;
  if (frame.second) drawBoard($("live2"), frame.second);
  $("live").dataset.frames = String(Number($("live").dataset.frames || 0) + 1);
  liveNote(frame.ok ? LIVE_NOTE : "Ramka nie dotarła do tablicy: " + (frame.message || ""));
  // The status follows the frames, at most a few times a second.
  if (!statusSoon) {
    statusSoon = setTimeout(() => { statusSoon = null; refreshStatus(); refreshQueue(); }, 500);
  }
}

// --- the page ----------------------------------------------------------------

function choose(which) {
  source = which;
  for (const name of SOURCES) {
    $(name + "Tab").setAttribute("aria-selected", String(which === name));
    $(name + "Panel").hidden = which !== name;
  }
  schedulePreview();
}

// A show file is read here only far enough to know it is a JSON object; the
// service checks the rest.
async function takeShow(file) {
  if (!file) return;
  const text = await file.text();
  let problem = "";
  try {
    const value = JSON.parse(text);
    if (value === null || typeof value !== "object" || Array.isArray(value)) {
      problem = "Plik pokazu musi być obiektem JSON (z polem „pages”).";
    }
  } catch (error) {
    problem = "Plik „" + file.name + "” nie jest poprawnym JSON-em.";
  }
  show = problem ? null : text;
  $("showName").textContent = file.name;
  choose("show");
  if (problem) $("previewProblem").textContent = problem;
}

async function takeFile(file) {
  if (!file) return;
  picture = { bytes: await file.arrayBuffer(), type: file.type || "application/octet-stream",
    name: file.name };
  $("pictureName").textContent = file.name;
  choose("picture");
}

function start() {
  drawBoard($("live"), null);
  drawBoard($("preview"), null);
  for (const name of SOURCES) $(name + "Tab").addEventListener("click", () => choose(name));
  $("showFile").addEventListener("change", (event) => takeShow(event.target.files[0]));
  $("hold").addEventListener("change", () => { $("seconds").disabled = $("hold").checked; });
  $("pictureFile").addEventListener("change", (event) => takeFile(event.target.files[0]));
  const drop = $("drop");
  for (const name of ["dragenter", "dragover"]) {
    drop.addEventListener(name, (event) => { event.preventDefault(); drop.classList.add("over"); });
  }
  for (const name of ["dragleave", "drop"]) {
    drop.addEventListener(name, () => drop.classList.remove("over"));
  }
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    takeFile(event.dataTransfer.files[0]);
  });
  $("dots").addEventListener("change", () => {
    $("threshold").disabled = $("dots").value !== "threshold";
  });
  $("threshold").addEventListener("input", () => {
    $("thresholdValue").textContent = $("threshold").value;
  });
  for (const id of ["place", "dots", "threshold", "lit", "line1", "line2", "align", "scrollText",
    "speed", "clockKind", "feed", "stops", "rows", "realtime", "alerts", "dataUrl", "dataPointer",
    "dataText"]) {
    $(id).addEventListener("input", schedulePreview);
    $(id).addEventListener("change", schedulePreview);
  }
  $("stopSearchButton").addEventListener("click", searchStops);
  $("stopSearch").addEventListener("keydown", (event) => {
    if (event.key === "Enter") searchStops();
  });
  $("stopsFound").addEventListener("change", addStop);
  $("send").addEventListener("click", send);
  $("notify").addEventListener("click", notify);
  $("blank").addEventListener("click", blank);
  $("cancelAll").addEventListener("click", cancelAll);
  $("tokenForm").addEventListener("submit", tokenGiven);
  $("tokenDialog").addEventListener("close", tokenDialogClosed);
  refreshStatus();
  refreshQueue();
  setInterval(() => { refreshStatus(); refreshQueue(); }, 10000);
  followLive();
}

document.addEventListener("DOMContentLoaded", start);
