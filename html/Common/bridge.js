// Connects a page of the program to the program: answers its document
// requests, reports the clicks and mouse-overs it listens to, and keeps the
// browser to what a desktop dialog allows.
(function () {
    "use strict";
    var script = document.currentScript;
    var token = new URL(script.src).pathname.split("/")[1];
    var dialogId = new URLSearchParams(location.search).get("dlg") || "main";
    var REPLACED = 4000;

    var socket = null;
    var listening = { click: [], mouseover: [] };
    var elements = new Map();
    var nextHandle = 1;
    var lastOver = null;
    var lastFocus = null;

    function handleOf(element) {
        if (!element.__veltraneHandle) {
            element.__veltraneHandle = nextHandle++;
        }
        elements.set(element.__veltraneHandle, element);
        return element.__veltraneHandle;
    }

    function attributesOf(element) {
        var attributes = {};
        for (var i = 0; i < element.attributes.length; i++) {
            attributes[element.attributes[i].name] = element.attributes[i].value;
        }
        return attributes;
    }

    function send(message) {
        if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
    }

    // Whatever the content policy stopped is told to the program, which
    // traces it: none of its own pages needs the policy to stop anything.
    var violations = [];
    function sendViolations() {
        while (violations.length && socket && socket.readyState === WebSocket.OPEN) {
            send(violations.shift());
        }
    }
    document.addEventListener("securitypolicyviolation", function (event) {
        if (violations.length < 50) {
            violations.push({ t: "violation", directive: String(event.effectiveDirective || ""),
                              blocked: String(event.blockedURI || "").slice(0, 200) });
        }
        sendViolations();
    });

    function perform(request) {
        if (request.op === "raise") {
            // Browsers may ignore this (a background tab): the program opens
            // the page anew unless the page says it can be seen.
            window.focus();
            window.dispatchEvent(new CustomEvent("veltrane:raise"));
            return { ok: true, value: document.visibilityState };
        }
        if (request.op === "find") {
            var found = document.getElementById(request.id);
            return { ok: true, value: found ? handleOf(found) : null };
        }
        var element = elements.get(request.handle);
        if (!element) return { ok: false };
        switch (request.op) {
            case "getAttr":
                return { ok: true, value: element.getAttribute(request.name) };
            case "setAttr":
                element.setAttribute(request.name, request.value);
                return { ok: true };
            case "setHtml":
                element.innerHTML = request.value;
                return { ok: true };
            case "setText":
                element.innerText = request.value;
                return { ok: true };
        }
        return { ok: false };
    }

    // A dialog is a box of the size its page asks for, centred in the browser
    // window, or a frame centred over the page of the dialog that owns it.
    function applySize(width, height) {
        var frame = window.frameElement;
        if (frame) {
            frame.style.width = width + "px";
            frame.style.height = height + "px";
            return;
        }
        var body = document.body;
        body.classList.add("dialog");
        body.style.width = width + "px";
        body.style.height = height + "px";
    }

    var FOCUSABLE = "button:not([disabled]), [href], input:not([disabled]), select:not([disabled]), " +
                    "textarea:not([disabled]), [tabindex]:not([tabindex='-1'])";

    // The frame of the modal dialog on top, or null.
    function topModalCover() {
        var covers = document.querySelectorAll(".dialog-cover[data-modal]");
        return covers.length ? covers[covers.length - 1] : null;
    }

    // Under a modal dialog everything else is inert: no pointer, no focus, no keys.
    function updateInert() {
        var top = topModalCover();
        Array.prototype.forEach.call(document.body.children, function (child) {
            if (top && child !== top) child.setAttribute("inert", "");
            else child.removeAttribute("inert");
        });
        return top;
    }

    function focusInto(cover) {
        var frame = cover.querySelector("iframe");
        var inner = frame && frame.contentDocument;
        var target = null;
        if (inner && frame.contentWindow.veltraneBridge) {
            target = inner.querySelector("[autofocus]") || inner.querySelector(".dlg-buttons .primary") ||
                     inner.querySelector(FOCUSABLE);
            frame.focus();
        } else {
            target = cover.querySelector(".dialog-failed button");
        }
        if (target) target.focus();
    }

    function sendCloseFrame(dlg) {
        send({ t: "closeFrame", dlg: String(dlg) });
    }

    // The frame's page could not be loaded (missing, refused): a short word
    // and a Close that ends the dialog in the program.
    function showFrameFailure(cover, frame) {
        var failed = document.createElement("div");
        failed.className = "dialog-failed";
        var text = document.createElement("p");
        text.textContent = "This dialog could not be opened.";
        var buttons = document.createElement("div");
        buttons.className = "dlg-buttons";
        var close = document.createElement("button");
        close.type = "button";
        close.className = "btn primary";
        close.textContent = "Close";
        close.addEventListener("click", function () {
            sendCloseFrame(cover.dataset.dlg);
        });
        buttons.appendChild(close);
        failed.appendChild(text);
        failed.appendChild(buttons);
        frame.replaceWith(failed);
        if (cover === topModalCover() || !cover.dataset.modal) close.focus();
    }

    function openFrame(message) {
        closeFrame(message);
        var cover = document.createElement("div");
        cover.className = "dialog-cover";
        cover.dataset.dlg = message.dlg;
        var box = document.createElement("div");
        box.className = "dialog-frame";
        box.setAttribute("role", "dialog");
        if (message.modal) {
            cover.dataset.modal = "1";
            box.setAttribute("aria-modal", "true");
        }
        box.setAttribute("aria-label", message.title);
        var caption = document.createElement("div");
        caption.className = "dialog-caption";
        var title = document.createElement("span");
        title.textContent = message.title;
        var close = document.createElement("button");
        close.className = "dialog-close";
        close.tabIndex = -1;
        close.textContent = "\u00d7";
        close.addEventListener("click", function () {
            sendCloseFrame(message.dlg);
        });
        caption.appendChild(title);
        caption.appendChild(close);
        var frame = document.createElement("iframe");
        frame.addEventListener("load", function () {
            var inner = null;
            try {
                inner = frame.contentWindow.veltraneBridge;
            } catch (error) {
                inner = null;
            }
            if (!inner) {
                showFrameFailure(cover, frame);
                return;
            }
            if (cover === topModalCover()) focusInto(cover);
        });
        // On the page's own origin, whichever loopback name it was opened by:
        // the session's cookie and the policy's 'self' are that origin's.
        var target = new URL(message.url, location.href);
        frame.src = target.pathname + target.search;
        box.appendChild(caption);
        box.appendChild(frame);
        cover.appendChild(box);
        if (message.modal && !topModalCover()) {
            lastFocus = document.activeElement;
        }
        document.body.appendChild(cover);
        if (updateInert() === cover && document.activeElement) document.activeElement.blur();
    }

    function closeFrame(message) {
        var covers = document.querySelectorAll(".dialog-cover");
        var closed = false;
        covers.forEach(function (cover) {
            if (cover.dataset.dlg === String(message.dlg)) {
                cover.remove();
                closed = true;
            }
        });
        if (!closed) return;
        var top = updateInert();
        if (top) {
            focusInto(top);
        } else if (lastFocus && lastFocus.isConnected) {
            lastFocus.focus();
            lastFocus = null;
        }
    }

    function receive(message) {
        switch (message.t) {
            case "call":
                var reply;
                try {
                    reply = perform(message);
                } catch (error) {
                    reply = { ok: false };
                }
                reply.t = "reply";
                reply.seq = message.seq;
                send(reply);
                break;
            case "listen":
                listening = { click: message.events.click || [], mouseover: message.events.mouseover || [] };
                send({ t: "complete" });
                break;
            case "release":
                var element = elements.get(message.handle);
                if (element) {
                    elements.delete(message.handle);
                }
                break;
            case "size":
                applySize(message.width, message.height);
                break;
            case "raise":
                window.focus();
                window.dispatchEvent(new CustomEvent("veltrane:raise"));
                break;
            case "openFrame":
                openFrame(message);
                break;
            case "closeFrame":
                closeFrame(message);
                break;
        }
    }

    function connect() {
        socket = new WebSocket("ws://" + location.host + "/" + token + "/socket?dlg=" +
                               encodeURIComponent(dialogId));
        socket.onmessage = function (event) {
            receive(JSON.parse(event.data));
        };
        socket.onclose = function (event) {
            socket = null;
            document.documentElement.classList.add("detached");
            // A newer page took over; any other loss is retried, so that the
            // page comes back when the program answers again.
            if (event.code !== REPLACED) setTimeout(connect, 1000);
        };
        socket.onopen = function () {
            document.documentElement.classList.remove("detached");
            sendViolations();
        };
    }

    // The name an element is listened to by: its id, or a name ending in
    // "*" that stands for every id beginning with the rest ("idError_*").
    function listenedName(kind, id) {
        var names = listening[kind];
        for (var i = 0; i < names.length; i++) {
            var name = names[i];
            if (name === id) return name;
            if (name.slice(-1) === "*" && id.indexOf(name.slice(0, -1)) === 0) return name;
        }
        return null;
    }

    function listened(kind, target) {
        for (var node = target; node && node.nodeType === 1; node = node.parentNode) {
            var name = node.id && listenedName(kind, node.id);
            if (name) return { element: node, name: name };
        }
        return null;
    }

    function report(kind, found) {
        send({ t: "event", kind: kind, id: found.name, handle: handleOf(found.element),
               attrs: attributesOf(found.element) });
    }

    document.addEventListener("click", function (event) {
        var found = listened("click", event.target);
        if (found) report("click", found);
        // The window's own close box, in every layout.
        if (event.target.closest && event.target.closest("[data-close-window]")) requestClose();
    });
    document.addEventListener("mouseover", function (event) {
        var found = listened("mouseover", event.target);
        var element = found && found.element;
        if (found && element !== lastOver) report("mouseover", found);
        lastOver = element;
    });

    // No zoom, no context menu, no new windows, and of the browser's
    // commands only copy, paste, delete and select-all.
    window.addEventListener("wheel", function (event) {
        if (event.ctrlKey) event.preventDefault();
    }, { passive: false, capture: true });
    document.addEventListener("contextmenu", function (event) {
        event.preventDefault();
    }, true);
    document.addEventListener("auxclick", function (event) {
        event.preventDefault();
    }, true);
    document.addEventListener("click", function (event) {
        if (event.ctrlKey || event.shiftKey || event.metaKey) event.preventDefault();
    }, true);
    window.addEventListener("keydown", function (event) {
        var key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
        var control = event.ctrlKey || event.metaKey;
        var allowed =
            (control && !event.altKey && !event.shiftKey && "cva".indexOf(key) >= 0 && key.length === 1) ||
            (control && !event.altKey && key === "Insert") ||
            (event.shiftKey && !control && !event.altKey && key === "Insert") ||
            (!control && !event.altKey && key === "Delete");
        var command = control || event.altKey || /^F\d+$/.test(key) || key === "BrowserBack" ||
                      key === "BrowserForward" || key === "BrowserRefresh";
        if (command && !allowed) event.preventDefault();
    }, true);

    // In a dialog's frame: Esc closes it, Enter presses its default button,
    // and Tab goes round its own controls without ever leaving it.
    var framed = window.frameElement !== null && window.parent !== window;
    function focusables() {
        return Array.prototype.filter.call(document.querySelectorAll(FOCUSABLE), function (element) {
            return element.offsetParent !== null || element === document.activeElement;
        });
    }
    if (framed) {
        window.addEventListener("keydown", function (event) {
            if (event.defaultPrevented) return;
            if (event.key === "Escape") {
                event.preventDefault();
                requestClose();
            } else if (event.key === "Enter") {
                // A button or link takes its own Enter, and so does a box the
                // user types into (its page may give Enter a meaning there).
                var active = document.activeElement;
                var tag = active ? active.tagName : "";
                var typed = tag === "INPUT" && !/^(checkbox|radio)$/i.test(active.type);
                if (tag === "BUTTON" || tag === "A" || tag === "TEXTAREA" || tag === "SELECT" ||
                    typed || (active && active.isContentEditable)) return;
                var fallback = document.querySelector(".dlg-buttons .primary");
                if (fallback) {
                    event.preventDefault();
                    fallback.click();
                }
            } else if (event.key === "Tab") {
                var list = focusables();
                if (!list.length) {
                    event.preventDefault();
                    return;
                }
                var at = list.indexOf(document.activeElement);
                var next = event.shiftKey ? (at <= 0 ? list.length - 1 : at - 1)
                                          : (at < 0 || at === list.length - 1 ? 0 : at + 1);
                event.preventDefault();
                list[next].focus();
            }
        });
    }
    // The page under a modal frame: focus that lands outside goes back in,
    // and Esc still reaches the frame.
    document.addEventListener("focusin", function (event) {
        var top = topModalCover();
        if (top && !top.contains(event.target)) focusInto(top);
    });
    window.addEventListener("keydown", function (event) {
        var top = topModalCover();
        if (!top || (top.contains(event.target) && event.key !== "Escape")) return;
        if (event.key === "Escape") {
            event.preventDefault();
            sendCloseFrame(top.dataset.dlg);
        } else if (event.key === "Enter" || event.key === "Tab" || event.key === " ") {
            event.preventDefault();
            focusInto(top);
        }
    });

    // A dialog in a frame asks through its parent's page when its own socket
    // is not open yet (a key pressed while it connects).
    function requestClose() {
        if (socket && socket.readyState === WebSocket.OPEN) {
            send({ t: "close" });
            return;
        }
        var parentBridge = framed && window.parent.veltraneBridge;
        if (parentBridge) parentBridge.closeFrame(dialogId);
    }

    window.veltraneBridge = {
        requestClose: requestClose,
        closeFrame: sendCloseFrame
    };

    if (document.readyState === "loading") {
        document.addEventListener("DOMContentLoaded", connect);
    } else {
        connect();
    }
})();
