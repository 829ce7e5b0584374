// The check boxes of the scan report. Every row a clean would remove
// (data-item: its key) gets a ticked box; every group (data-group: a folder,
// a domain, a profile, the whole report of a plug-in) a box that ticks or
// unticks the rows and groups inside it (data-in-group names the group
// around), mixed when they differ. The unticked keys last until the next scan,
// also while other plug-ins' reports are shown; the clean button carries
// them to the program in "data-kept" (a JSON list) when it is pressed.
// Keys and row texts come from the machine: they are only ever read and set
// as text and attribute values, never as markup.
//
// All boxes are added in one go before the report's first frame: drawing the
// rows after the first screen later made the whole table be laid out again,
// which cost more than it saved.
"use strict";
(function () {
    var OBSERVED = { childList: true, subtree: true };
    var kept = new Set();
    var scheduled = false;
    var observer;

    // One box of each kind, cloned for every row or group: cheaper than
    // making and setting up each anew.
    var templates = {};
    ["item", "group"].forEach(function (kind) {
        var box = document.createElement("input");
        box.type = "checkbox";
        box.className = "keep-box";
        box.setAttribute("data-box", kind);
        templates[kind] = box;
    });

    function cleanButton() {
        return document.querySelector('[cid="btn_clean"]');
    }

    // The element a group's or row's box goes into: a table row's first cell,
    // a section's title, else the element itself.
    function boxPlace(element) {
        if (element.tagName === "TR") return element.cells[0] || element;
        if (element.tagName === "SECTION") return element.querySelector(".report-title") || element;
        return element;
    }

    function labelText(element, prefix) {
        var text = (element.tagName === "SECTION"
            ? (element.querySelector(".report-title") || element).textContent
            : element.textContent).replace(/\s+/g, " ").trim();
        if (text.length > 200) text = text.slice(0, 200) + "\u2026";
        return prefix + text;
    }

    function addBox(element, kind) {
        var box = templates[kind].cloneNode(false);
        box.setAttribute("aria-label", labelText(element,
            kind === "item" ? "Remove: " : "Remove everything in: "));
        var place = boxPlace(element);
        place.insertBefore(box, place.firstChild);
        return box;
    }

    function ownBox(element) {
        var place = boxPlace(element);
        var first = place.firstElementChild;
        return first && first.classList.contains("keep-box") ? first : null;
    }

    // Boxes added without the observer hearing of each: what it had heard
    // before is handled first, as it would have been.
    function quietly(work) {
        var records = observer.takeRecords();
        observer.disconnect();
        work();
        observer.observe(document.body, OBSERVED);
        if (records.length) onMutations(records);
    }

    // Every group of the report with its box, its parent group and the
    // counts of its rows (all the way down) that are ticked and unticked.
    function collectGroups(root) {
        var groups = new Map();
        root.querySelectorAll("[data-group]").forEach(function (element) {
            groups.set(element.getAttribute("data-group"), {
                element: element,
                parent: element.getAttribute("data-in-group"),
                ticked: 0,
                unticked: 0
            });
        });
        return groups;
    }

    // Adds the missing boxes and sets every box from the kept keys.
    function refresh() {
        scheduled = false;
        var area = document.getElementById("DetailsArea");
        if (!area || !cleanButton()) return;
        var groups = collectGroups(area);
        var rows = area.querySelectorAll("[data-item]");
        // Each row is counted in its own group first, then each group's
        // counts are added to every group around it.
        var own = new Map();
        quietly(function () {
            for (var i = 0; i < rows.length; i++) {
                var row = rows[i];
                var ticked = !kept.has(row.getAttribute("data-item"));
                (ownBox(row) || addBox(row, "item")).checked = ticked;
                if (row.classList.contains("kept-by-you") === ticked)
                    row.classList.toggle("kept-by-you", !ticked);
                var key = row.getAttribute("data-in-group");
                var counts = own.get(key) || own.set(key, { ticked: 0, unticked: 0 }).get(key);
                if (ticked) counts.ticked++; else counts.unticked++;
            }
        });
        own.forEach(function (counts, groupKey) {
            // A loop in data-in-group ends once a group is met again.
            var seen = new Set();
            for (var key = groupKey; key && !seen.has(key);) {
                seen.add(key);
                var group = groups.get(key);
                if (!group) break;
                group.ticked += counts.ticked;
                group.unticked += counts.unticked;
                key = group.parent;
            }
        });
        quietly(function () {
            groups.forEach(function (group) {
                if (group.ticked + group.unticked === 0) return;
                var box = ownBox(group.element) || addBox(group.element, "group");
                box.checked = group.unticked === 0;
                box.indeterminate = group.ticked > 0 && group.unticked > 0;
            });
        });
    }

    function schedule() {
        if (scheduled) return;
        scheduled = true;
        Promise.resolve().then(refresh);
    }

    // The rows inside a group, however deep, by the data-in-group chain.
    function rowsOfGroup(area, groupKey) {
        var inside = new Set([groupKey]);
        var grew = true;
        var groupElements = area.querySelectorAll("[data-group]");
        while (grew) {
            grew = false;
            groupElements.forEach(function (element) {
                var key = element.getAttribute("data-group");
                if (!inside.has(key) && inside.has(element.getAttribute("data-in-group"))) {
                    inside.add(key);
                    grew = true;
                }
            });
        }
        return Array.prototype.filter.call(area.querySelectorAll("[data-item]"), function (row) {
            return inside.has(row.getAttribute("data-in-group"));
        });
    }

    // One listener for every box of the page.
    document.addEventListener("change", function (event) {
        var box = event.target;
        if (!box.classList || !box.classList.contains("keep-box")) return;
        var area = document.getElementById("DetailsArea");
        if (!area) return;
        var rows = box.getAttribute("data-box") === "item"
            ? [box.closest("[data-item]")]
            : rowsOfGroup(area, box.closest("[data-group]").getAttribute("data-group"));
        rows.forEach(function (row) {
            if (!row) return;
            var key = row.getAttribute("data-item");
            if (box.checked) kept.delete(key); else kept.add(key);
        });
        refresh();
    });

    // Before the bridge reports the click (it listens on the way up).
    document.addEventListener("click", function (event) {
        var button = event.target.closest && event.target.closest('[cid="btn_clean"]');
        if (button) button.setAttribute("data-kept", JSON.stringify(Array.from(kept)));
    }, true);

    function isOwnBox(node) {
        return node.classList !== undefined && node.classList.contains("keep-box");
    }

    function onMutations(records) {
        // A new scan starts afresh: every row ticked again.
        if (document.querySelector(".mode-scan")) kept.clear();
        var changed = records.some(function (record) {
            return record.removedNodes.length > 0 ||
                !Array.prototype.every.call(record.addedNodes, isOwnBox);
        });
        if (changed) schedule();
    }

    observer = new MutationObserver(onMutations);
    observer.observe(document.body, OBSERVED);
})();
