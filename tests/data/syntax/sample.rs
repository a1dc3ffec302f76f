//! crate docs TODO: not at the start
/* outer /* inner */ still outer */
fn longest<'a>(x: &'a str, y: &'a str) -> &'a str { x } // TODO 2: lifetimes
const RAW: &str = r#"a "raw" string /* no */ "#; /* after raw */
const RAW2: &str = r##"has "# inside // no"##;
const BYTES: &[u8] = br"\"; // raw: the backslash does not escape
const MULTI: &str = "first line
// still a string \" escaped
"; // DONE: multi-line strings
const C: char = '"'; // char with a quote
const E: char = '\u{1F600}'; /* unicode escape */
fn main() { 'outer: loop { break 'outer; } } /// doc comment
