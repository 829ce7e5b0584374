// The pages of Settings: a tab shows its page; the arrow keys move between
// the tabs. And a rule's Edit button puts the rule into the rule box, the
// rule box's Add button then saving it in the rule's place.
"use strict";
(function () {
    var tabs = Array.prototype.slice.call(document.querySelectorAll("[role=tab]"));
    function show(tab) {
        tabs.forEach(function (other) {
            var selected = other === tab;
            other.setAttribute("aria-selected", selected ? "true" : "false");
            other.tabIndex = selected ? 0 : -1;
            document.getElementById(other.getAttribute("aria-controls")).hidden = !selected;
        });
    }
    tabs.forEach(function (tab, index) {
        tab.addEventListener("click", function () {
            show(tab);
        });
        tab.addEventListener("keydown", function (event) {
            var step = event.key === "ArrowRight" ? 1 : event.key === "ArrowLeft" ? -1 : 0;
            if (!step) return;
            var next = tabs[(index + step + tabs.length) % tabs.length];
            show(next);
            next.focus();
        });
    });

    var box = document.getElementById("tx_Rule");
    var save = document.getElementById("btn_RuleAdd");
    // The list is rebuilt by the program: one listener for every Edit button.
    document.getElementById("RuleList").addEventListener("click", function (event) {
        var edit = event.target.closest("button.rule-edit");
        if (!edit) return;
        box.value = edit.getAttribute("rule");
        box.dispatchEvent(new Event("input"));
        save.setAttribute("editing", edit.getAttribute("rule"));
        box.focus();
    });
    // The program ends an edit by emptying "editing".
    function label() {
        save.textContent = save.getAttribute("editing") ? "Save" : "Add";
    }
    new MutationObserver(label).observe(save, { attributes: true, attributeFilter: ["editing"] });
    label();
})();
