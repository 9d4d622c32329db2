// The Gloam widget: asks the plug-in for a new picture of the Earth's day and
// night once a minute and whenever the page is shown again, and keeps the
// night-shade level on its settings side. Every call goes through the host's
// window.GloamPlugin, whose calls are synchronous and throw when the host is
// gone; the page then keeps its last picture, says so, and tries again. The
// caption names the instant of the picture shown, never of one that was not
// drawn.
(function () {
  "use strict";

  var RENDER_EVERY_MS = 60 * 1000;
  // Short enough that a restarted host is picked up at once, long enough
  // not to hammer a host that is away.
  var RETRY_EVERY_MS = 3000;
  // A dragged slider settles for this long before the map is drawn again.
  var SETTLE_MS = 180;
  var PICTURE_PATH = "Images/current.png";
  var BRIDGE_PATH = "/_bridge/bridge.js";
  var IDENTITY_PATH = "/_bridge/identity/";

  var widget = document.getElementById("widget");
  var front = document.getElementById("front");
  var back = document.getElementById("back");
  var placeholder = document.getElementById("placeholder");
  var notice = document.getElementById("notice");
  var backNotice = document.getElementById("back-notice");
  var when = document.getElementById("when");
  var showSettingsButton = document.getElementById("show-settings");
  var doneButton = document.getElementById("done");
  var slider = document.getElementById("shadow");
  var sliderValue = document.getElementById("shadow-value");
  var preview = document.getElementById("preview");

  var renders = 0;           // every render asked for; a late picture of an older one is dropped
  var shownPicture = false;  // a picture has been shown at least once
  var nextRender = 0;        // the pending timer of the next render or retry
  var settleTimer = 0;
  var hostLevel = null;      // the level the host holds, as far as this page knows
  var wantedLevel = null;    // a level the user chose that the host has not taken yet
  var reloadingBridge = false;

  // --- the host ---------------------------------------------------------

  function HostUnavailable(message) {
    this.name = "HostUnavailable";
    this.message = message;
  }

  // The host's script object. Without it the bridge script did not load
  // (the host was away when the page came); it is fetched again so that
  // the page recovers by itself once the host is back.
  function plugin() {
    if (window.GloamPlugin)
      return window.GloamPlugin;
    if (!reloadingBridge) {
      reloadingBridge = true;
      var script = document.createElement("script");
      script.src = BRIDGE_PATH + "?retry=" + Date.now().toString(36);
      script.onload = script.onerror = function () {
        script.remove();
        reloadingBridge = false;
        if (window.GloamPlugin)
          render();
      };
      document.head.appendChild(script);
    }
    throw new HostUnavailable("The widget host cannot be reached.");
  }

  // Runs one call on the plug-in; on failure says why and returns undefined
  // with `ok` false in the answer.
  function call(method, args) {
    try {
      var object = plugin();
      var result = object[method].apply(object, args || []);
      return {ok: true, value: result};
    } catch (e) {
      hostTrouble(e);
      return {ok: false};
    }
  }

  function hostTrouble(error) {
    var message = error && error.message ? String(error.message) : String(error);
    var unreachable = error instanceof HostUnavailable || /cannot be reached/.test(message);
    var text = unreachable
      ? "The Gloam host cannot be reached. Trying again…"
      : "The Gloam host failed: " + message.replace(/\.$/, "") + ". Trying again…";
    widget.classList.add("offline");
    widget.dataset.host = unreachable ? "unreachable" : "failing";
    say(notice, text);
    say(backNotice, text);
  }

  function hostBack() {
    if (!widget.classList.contains("offline"))
      return;
    widget.classList.remove("offline");
    widget.dataset.host = "ok";
    say(notice, "");
    say(backNotice, "");
  }

  function say(element, text) {
    if (element.textContent !== text)
      element.textContent = text;
    element.hidden = text === "";
  }

  // --- rendering --------------------------------------------------------

  function schedule(delay) {
    clearTimeout(nextRender);
    nextRender = 0;
    if (document.visibilityState !== "hidden")
      nextRender = setTimeout(render, delay);
  }

  // The identity of the picture file as the host tells it, or null when
  // there is no picture. A request that could not write its picture leaves
  // the identity as it was.
  function pictureIdentity() {
    var request = new XMLHttpRequest();
    try {
      request.open("GET", IDENTITY_PATH + PICTURE_PATH, false);
      request.send();
    } catch (e) {
      return null;
    }
    return request.status === 200 && request.responseText !== "" ? request.responseText : null;
  }

  // One composite request, then its picture. The host is asked for the
  // level first when it may have changed behind the page's back (a first
  // call, or a host that was away and may have restarted).
  function render() {
    clearTimeout(nextRender);
    nextRender = 0;
    if (!syncLevel()) {
      schedule(RETRY_EVERY_MS);
      return;
    }
    var before = pictureIdentity();
    var answer = call("getCurrentComposite");
    if (!answer.ok) {
      schedule(RETRY_EVERY_MS);
      return;
    }
    hostBack();
    schedule(RENDER_EVERY_MS);
    var number = ++renders;
    var after = pictureIdentity();
    if (after === null || after === before)
      pictureNotReplaced();
    else
      loadPicture(number, String(answer.value));
  }

  // Fetches the new picture off screen under a fresh address (so no cache
  // can hand back the last one) and swaps it in only once it is decoded:
  // the old picture stays until then, so nothing flickers.
  function loadPicture(number, text) {
    var next = new Image();
    next.decoding = "async";
    next.onload = function () {
      var ready = next.decode ? next.decode() : Promise.resolve();
      ready.catch(function () {}).then(function () {
        if (number === renders)
          showPicture(next, text);
      });
    };
    next.onerror = function () {
      if (number === renders)
        pictureNotReplaced();
    };
    next.src = PICTURE_PATH + "?render=" + Date.now().toString(36) + "-" + number;
  }

  function showPicture(next, text) {
    var current = document.getElementById("picture");
    next.id = current.id;
    next.className = current.className;
    next.width = current.width;
    next.height = current.height;
    next.alt = "The Earth's day and night at " + text;
    current.replaceWith(next);
    placeholder.hidden = true;
    shownPicture = true;
    showTime(text);
    drawPreview();
    widget.dataset.picture = "fresh";
    if (!widget.classList.contains("offline"))
      say(notice, "");
  }

  // The host answered but drew no new picture (its disk may be full): the
  // last picture stays with its own time, and the page says the map is not
  // current; with none yet, the map says it could not be drawn.
  function pictureNotReplaced() {
    if (!shownPicture) {
      placeholder.textContent = "The map could not be drawn.";
      placeholder.hidden = false;
      placeholder.classList.add("failed");
      widget.dataset.picture = "missing";
      return;
    }
    say(notice, "The map could not be updated.");
    widget.dataset.picture = "stale";
  }

  function showTime(text) {
    when.textContent = text;
    when.title = "The instant drawn";
  }

  // The back side's small copy of the map, drawn at the screen's density.
  function drawPreview() {
    var picture = document.getElementById("picture");
    if (!shownPicture || !picture.naturalWidth)
      return;
    var density = window.devicePixelRatio || 1;
    var width = Math.round(preview.clientWidth * density) || preview.width;
    var height = Math.round(preview.clientHeight * density) || preview.height;
    if (preview.width !== width || preview.height !== height) {
      preview.width = width;
      preview.height = height;
    }
    var context = preview.getContext("2d");
    context.imageSmoothingQuality = "high";
    context.drawImage(picture, 0, 0, width, height);
  }

  // --- the shadow level -------------------------------------------------

  function showLevel(level) {
    var shown = Math.min(1, Math.max(0, level));
    slider.value = String(shown);
    showSliderValue();
  }

  function showSliderValue() {
    var level = Number(slider.value);
    sliderValue.textContent = Math.round(level * 100) + "%";
    slider.style.setProperty("--fill", (level * 100).toFixed(2) + "%");
  }

  // Brings page and host to one level: a level the user chose and the host
  // has not taken is sent; otherwise the host's level is shown. False when
  // the host could not be asked.
  function syncLevel() {
    if (wantedLevel !== null) {
      if (!call("setShadowLevel", [wantedLevel]).ok)
        return false;
      hostLevel = wantedLevel;
      wantedLevel = null;
      return true;
    }
    if (hostLevel !== null && !widget.classList.contains("offline"))
      return true;
    var answer = call("getShadowLevel");
    if (!answer.ok)
      return false;
    hostLevel = Number(answer.value);
    showLevel(hostLevel);
    return true;
  }

  function commitLevel() {
    clearTimeout(settleTimer);
    settleTimer = 0;
    if (wantedLevel !== null)
      render();
  }

  // The choice is taken at once, so that no render in between (the minute's,
  // or a retry that reads the host's level) can undo a move still settling.
  function chooseLevel() {
    showSliderValue();
    var level = Number(slider.value);
    wantedLevel = level === hostLevel ? null : level;
  }

  slider.addEventListener("input", function () {
    chooseLevel();
    clearTimeout(settleTimer);
    settleTimer = setTimeout(commitLevel, SETTLE_MS);
  });
  slider.addEventListener("change", function () {
    chooseLevel();
    commitLevel();
  });

  // --- the two sides ----------------------------------------------------

  function showSettings() {
    widget.classList.add("flipped");
    front.inert = true;
    back.inert = false;
    drawPreview();
    slider.focus({preventScroll: true});
  }

  function showFront() {
    if (settleTimer)
      commitLevel();
    widget.classList.remove("flipped");
    back.inert = true;
    front.inert = false;
    showSettingsButton.focus({preventScroll: true});
  }

  showSettingsButton.addEventListener("click", showSettings);
  doneButton.addEventListener("click", showFront);
  document.addEventListener("keydown", function (event) {
    if (event.key === "Escape" && widget.classList.contains("flipped")) {
      event.preventDefault();
      showFront();
    }
  });

  // A page that comes back into view shows now, not up to a minute ago;
  // a hidden one draws nothing.
  document.addEventListener("visibilitychange", function () {
    if (document.visibilityState === "hidden") {
      clearTimeout(nextRender);
      nextRender = 0;
    } else {
      render();
    }
  });

  widget.dataset.host = "ok";
  showSliderValue();
  render();
})();
