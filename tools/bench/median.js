// The middle of a run's timings: one slow round (a garbage collection, the
// machine busy elsewhere) does not move it.
"use strict";

function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = Math.floor(sorted.length / 2);
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

module.exports = { median };
