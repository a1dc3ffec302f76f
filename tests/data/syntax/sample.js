// TODO 3 -cWeb: bundle this
const re = /\/\*[^*]*\*\//g; // a regex that looks like a comment
const cls = /[/*]/; /* a class with slash and star */
const half = total / 2; const third = total / 3; // two divisions
const tpl = `Hello ${name /* a comment in a substitution */} /* not here */ ${`nested ${x} // no`}`;
const obj = `${JSON.stringify({a: "}"})} // still template`; // TODO: after template
function f(s) { return /'/.test(s); } // DONE: regex after return
const q = 'it\'s /* no */'; /* quote escapes */
const n = (a + b) / c / d; // divisions after a bracket
x = y /* c */ / z; /* after a comment the previous token counts */
