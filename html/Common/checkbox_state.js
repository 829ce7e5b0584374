// The program reads a box's state from its "checked" attribute: every check
// box of the page keeps it up to date.
"use strict";
document.querySelectorAll("input[type=checkbox]").forEach(function (box) {
    box.addEventListener("click", function () {
        box.setAttribute("checked", box.checked ? "true" : "false");
    });
});
