// TODO 3: pattern matching
/* outer /* nested */ still */
val s = s"Total: ${items.map { _.price /* each */ }.sum} /* no */" // interpolated
val r = raw"\d+ /* no */" // TODO -oMax: raw interpolator
val m = """
  // not a comment
  """ /* after triple */
val sym = 'symbol /* after a symbol */
val ch = 'x' // a char
val d = s"$$ and $" are escapes // no" // DONE: dollars
