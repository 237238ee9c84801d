// The page that plays one Flash movie with Ruffle. The host opens it as
//   aurilo://app/player/player.html?movie=<address of the bytes>&base=<folder>
// where "movie" is served from the host's memory through the same scheme and
// "base" is the folder of the movie's real address, so that relative
// addresses inside the movie still reach the content server.
"use strict";

(function () {
    // This engine (Chromium 102 in Qt 6.4) refuses fetch() for custom schemes,
    // yet Ruffle fetches its .wasm and the movie. XMLHttpRequest still reaches
    // the scheme, so fetches of our own origin go through it.
    const nativeFetch = window.fetch.bind(window);
    window.fetch = function (input, init) {
        const isRequest = input instanceof Request;
        const url = new URL(isRequest ? input.url : String(input), location.href);
        if (url.protocol !== location.protocol) {
            return nativeFetch(input, init);
        }
        const method = (init && init.method) || (isRequest ? input.method : "GET");
        return new Promise(function (resolve, reject) {
            const xhr = new XMLHttpRequest();
            xhr.open(method, url.href);
            xhr.responseType = "arraybuffer";
            xhr.onload = function () {
                const status = xhr.status || 200;
                const headers = new Headers();
                const type = xhr.getResponseHeader("Content-Type");
                if (type) {
                    headers.set("Content-Type", type);
                }
                const response = new Response(status === 204 ? null : xhr.response, {
                    status: status,
                    statusText: xhr.statusText,
                    headers: headers,
                });
                // Ruffle takes the movie's address from the response.
                Object.defineProperty(response, "url", { value: url.href });
                resolve(response);
            };
            xhr.onerror = function () {
                reject(new TypeError("Failed to fetch " + url.href));
            };
            xhr.send();
        });
    };

    const query = new URLSearchParams(location.search);
    const movie = query.get("movie");
    const base = query.get("base");

    window.RufflePlayer = window.RufflePlayer || {};
    window.RufflePlayer.config = {
        publicPath: new URL("../ruffle/", location.href).href,
        // Play at once, with sound, without a click and without Ruffle's own
        // screens and menus in front of the movie.
        autoplay: "on",
        unmuteOverlay: "hidden",
        splashScreen: false,
        contextMenu: "off",
        showSwfDownload: false,
        warnOnUnsupportedContent: false,
        letterbox: "on",
        // A hidden page (window hidden or minimised) gets no animation frames;
        // with this Ruffle ticks the movie from a worker there instead of
        // pausing it, and the sound goes on.
        backgroundExecutionMode: "mainThread",
        polyfills: false,
        // Without script access Ruffle drops a movie's links to its own
        // window ("_self"); with it they reach the host's navigation check,
        // which hands http links to the desktop's browser. Script stays out
        // all the same: the page's security policy refuses "javascript:"
        // addresses and the Function that ExternalInterface calls go
        // through, and nothing in the page answers fscommand.
        allowScriptAccess: true,
        logLevel: "error",
    };

    // The host's browser may reach past the part of it that shows (the player
    // window hides its border and scroll bars that way); it tells the visible
    // part as window.auriloVisibleArea, in CSS pixels, and again through
    // auriloSetVisibleArea when it changes. The player fills that part, and
    // Ruffle's letterbox fits the movie whole into it, centred.
    function placePlayer() {
        const player = document.getElementById("player");
        const area = window.auriloVisibleArea;
        if (!player || !area) {
            return;
        }
        player.style.position = "absolute";
        player.style.left = area.left + "px";
        player.style.top = area.top + "px";
        player.style.width = area.width + "px";
        player.style.height = area.height + "px";
    }
    window.auriloSetVisibleArea = function (area) {
        window.auriloVisibleArea = area;
        placePlayer();
    };

    window.addEventListener("DOMContentLoaded", function () {
        if (!movie) {
            return;
        }
        const player = window.RufflePlayer.newest().createPlayer();
        player.id = "player";
        document.body.appendChild(player);
        placePlayer();
        const options = { url: movie };
        if (base) {
            options.base = base;
        }
        // Ruffle changes over to the worker only when the page turns hidden;
        // a movie that starts in an already hidden window must be told.
        player.addEventListener("loadedmetadata", function () {
            if (document.hidden) {
                document.dispatchEvent(new Event("visibilitychange"));
            }
        });
        player.ruffle().load(options).catch(function (error) {
            console.error("Ruffle could not load the movie: " + error);
        });
    });
})();
