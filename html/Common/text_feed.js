// Text boxes whose text the program reads from buttons: a box with
// data-feed="<button ids>" copies its text into each button's attribute
// named by data-feed-attribute, and Enter presses the first button. The
// program empties a box through its "value" attribute.
"use strict";
document.querySelectorAll("input[data-feed]").forEach(function (box) {
    var buttons = box.getAttribute("data-feed").split(" ").map(function (id) {
        return document.getElementById(id);
    });
    var attribute = box.getAttribute("data-feed-attribute");
    function feed() {
        buttons.forEach(function (button) {
            button.setAttribute(attribute, box.value);
        });
    }
    box.addEventListener("input", feed);
    box.addEventListener("keydown", function (event) {
        if (event.key === "Enter") buttons[0].click();
    });
    new MutationObserver(function () {
        box.value = box.getAttribute("value") || "";
        feed();
    }).observe(box, { attributes: true, attributeFilter: ["value"] });
});
