// The box of Settings where a domain to keep is typed. The program reads the
// typed domain from the Add button's "domain" attribute; Enter adds it too.
"use strict";
(function () {
    var domainBox = document.getElementById("tx_KeepDomain");
    var addButton = document.getElementById("btn_KeepAdd");
    domainBox.addEventListener("input", function () {
        addButton.setAttribute("domain", domainBox.value);
    });
    domainBox.addEventListener("keydown", function (event) {
        if (event.key === "Enter") addButton.click();
    });
    // The program empties the box through its "value" attribute once a domain is added.
    new MutationObserver(function () {
        domainBox.value = domainBox.getAttribute("value") || "";
        addButton.setAttribute("domain", domainBox.value);
    }).observe(domainBox, { attributes: true, attributeFilter: ["value"] });
})();
