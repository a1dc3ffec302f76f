// TODO 2 -cAndroid: coroutines
/* outer /* nested */ still */
val s = "Total: ${items.sumOf { it.price /* each */ }} /* not here */" // after template
val raw = """
    /* not a comment */ ${ "}" } \"""" // DONE: raw strings
val c = '"' // char
fun `test name // with slashes`() {} /* quoted function name */
